package drift;

/**
 * A generic class: a test names it raw, and a raw type inherits Box's
 * methods erased, T as its bound (Object), whatever N is.
 */
public class NumberBox<N extends Number> extends Box<N> {
}
