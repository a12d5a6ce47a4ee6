class Strings {
    String plain = "hello, world";
    String empty = "";
    String quoted = "she said \"hi\" twice";
    String backslashLast = "C:\\temp\\";
    String escapes = "tab\there\nnewline \u0041 \\ done";
    String comments = "// not a comment /* nor this */";
    String url = "http://example.org/a?b=c";
    String keywords = "if while class null true {;}";
    String two = "one" + " and " + "two";
    String unterminated = "runs to 'the' end of the line;
    String mixed = "apostrophe ' inside", other = 'x' + "y";
    char c1 = 'a', c2 = '"', c3 = '\'', c4 = '\\', c5 = '{';
    String single = "a" + 'b' + "c";
    String unicode = "caf\u00e9 café naïve 😀 done";
    String block = """
        a text block "with quotes" and // slashes
        """;
    String joined = "first line "
        + "second line";
}
