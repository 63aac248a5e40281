package geometry;

/** The interface Drawable of examples/shapes-java.json. */
public interface Drawable {
    void draw(String canvas);
}
