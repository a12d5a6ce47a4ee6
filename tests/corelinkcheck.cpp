// The core's link test: the build links every object of the core library
// into this program with Qt Core and Gui only (see CMakeLists.txt). That
// the link succeeds is the test; the program does nothing.
int main()
{
    return 0;
}
