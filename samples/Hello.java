// A small program to try the editor on: colouring, indenting and the
// Tools menu's Compile and Run.

import java.util.ArrayList;
import java.util.List;

public class Hello {
    private static final String GREETING = "Hello";

    /* Builds one greeting per name; an empty list greets the world. */
    static List<String> greetings(String[] names) {
        List<String> out = new ArrayList<>();
        if (names.length == 0) {
            out.add(GREETING + ", world!");
        } else {
            for (String name : names) {
                out.add(GREETING + ", " + name + '!');
            }
        }
        return out;
    }

    public static void main(String[] args) {
        int count = 0;
        for (String line : greetings(args)) {
            System.out.println(line);
            count++;
        }
        System.out.println(count + " greeting(s)");
    }
}
