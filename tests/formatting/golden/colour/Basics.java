package org.example.shapes;

import java.util.ArrayList;
import java.util.List;

/* Keywords are whole words: newValue, classic, $int and int_x stay plain. */
public abstract class Shape implements Comparable<Shape> {
    private static final int SIDES = 0;
    protected double area = 0.5e3, scale = 1.0f;
    public int int_x = 0x1F, $int = 07, int2;
    long newValue = 10L;
    boolean classic = true, hidden = false;
    Object nothing = null;
    char initial;
    byte b; short s; float f;
    transient volatile int counter;

    enum Kind { ROUND, SQUARE }

    public Shape() {
        super();
        this.area = 0;
    }

    @Override
    public int compareTo(Shape other) {
        assert other != null;
        return Double.compare(area, other.area);
    }

    abstract double perimeter();

    static synchronized native void poke() throws InterruptedException;

    strictfp double scaled(double d) {
        var list = new ArrayList<List<String>>();
        int[] squares = {1, 4, 9};
        if (d instanceof Double) return d;
        return d * scale;
    }

    interface Visitor extends java.io.Serializable { }

    final class Square extends Shape {
        double perimeter() { return 4 * SIDES; }
    }
}
