package drift;

/** An abstract class whose objects come from a factory of a subclass's type. */
public abstract class Shape {
    protected Shape() {
    }

    public static Square square(double side) {
        return new Square(side);
    }

    public abstract double area();

    public String describe() {
        return getClass().getSimpleName() + " of " + area();
    }
}
