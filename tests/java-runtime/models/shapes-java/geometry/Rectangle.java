package geometry;

/** The class Rectangle of examples/shapes-java.json; a new rectangle is a unit square. */
public class Rectangle extends Shape {
    public double width = 1.0;
    public double height = 1.0;

    @Override
    public double area() {
        return width * height;
    }

    @Override
    public double perimeter() {
        return 2 * (width + height);
    }

    public void resize(double width, double height) {
        this.width = width;
        this.height = height;
    }
}
