package geometry;

/** The class Circle of examples/shapes-java.json; a new circle has the radius 1. */
public class Circle extends Shape {
    public double radius = 1.0;

    @Override
    public double area() {
        return Math.PI * radius * radius;
    }

    @Override
    public double perimeter() {
        return 2 * Math.PI * radius;
    }

    public void scale(double factor) {
        radius *= factor;
    }
}
