import geometry.Shape;

/** The class ShapesDemo of examples/shapes-java.json, in the root package. */
public class ShapesDemo {
    public double totalArea(Shape[] shapes) {
        double total = 0;
        for (Shape shape : shapes) {
            total += shape.area();
        }
        return total;
    }
}
