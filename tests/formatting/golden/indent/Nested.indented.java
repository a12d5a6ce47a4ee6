class Nested {
	int x;
	void f() {
		x = 1;
		if (x > 0) {
			while (x < 10) {
				x++;
			}
		}
	}


	void g()
	{
		int y;
		{
			y = 2;
		}
	}
}
