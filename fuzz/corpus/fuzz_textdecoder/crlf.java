class A {
  int x;
}
