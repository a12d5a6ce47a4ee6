class LastLine {
    int x = 1;
}
// a last line with no line break: "text" int