package drift;

/**
 * A temperature: its constructor is private, its objects come from public
 * factories (the one with the fewest parameters, then by name: of), and the
 * model draws none of them.
 */
public final class Celsius {
    private final double degrees;

    private Celsius(double degrees) {
        this.degrees = degrees;
    }

    public static Celsius parse(String text) {
        return new Celsius(Double.parseDouble(text));
    }

    public static Celsius of(double degrees) {
        return new Celsius(degrees);
    }

    public static Celsius between(Celsius low, Celsius high) {
        return new Celsius((low.degrees + high.degrees) / 2);
    }

    /** Not public: no test's factory, though it takes nothing. */
    static Celsius zero() {
        return new Celsius(0);
    }

    public double fahrenheit() {
        return degrees * 9 / 5 + 32;
    }
}
