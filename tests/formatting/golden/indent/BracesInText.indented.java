/**
 * Braces in {@code strings}, comments and characters count as well.
 */
class BracesInText {
	String open = "{";
	String close = "}";
	char brace = '{';
// a comment with a closing brace }
	int[] values = {1, 2, 3};
	Runnable r = () -> {
		run();
	};
	Object o = new Object() {
		public String toString() { return "}{"; }
	};
	/* a comment
	 * over lines { with a brace
	 */
	void run() {
	}
}
