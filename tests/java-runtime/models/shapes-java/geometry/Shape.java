package geometry;

/** The abstract class Shape of examples/shapes-java.json. */
public abstract class Shape implements Drawable {
    public abstract double area();

    public abstract double perimeter();

    @Override
    public void draw(String canvas) {
        System.out.println(getClass().getSimpleName() + " on " + canvas);
    }
}
