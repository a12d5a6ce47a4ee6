/**
 * A class with every kind of comment. It's {@code Comments}, and its
 * methods return {@link String}s.
 *
 * @author nobody
 */
public class Comments { // a line comment after a brace
    int a; // it's an apostrophe
    int b; /* a block comment on one line */ int c;
    /* a block comment
       over two lines with a "string" and 'char' inside */
    int d = 1 /* inline */ + 2;
    // a line comment holding /* a block start
    int e = 3;
    /* a block comment holding // a line comment */ int f;
    String s = "/* a string, not a comment */"; // but this is one
    /**/ int g;
    /* "//" in a string in a comment */ int n;
    /*/ still one comment */ int h;
    /* first */ int i; /* second */
    // commented out: if (a == b) { return null; }
    /*
     * Stars at the start of each line.
     */
    int j; /* a comment that does not close here
    int k; and closes here */ int l;
    int m; /* a comment that never closes
}
