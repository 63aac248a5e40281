package drift;

/** Box's T is the class's own N, which a test names by its bound. */
public class NumberBox<N extends Number> extends Box<N> {
}
