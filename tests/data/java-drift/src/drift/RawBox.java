package drift;

/** A raw supertype: Box's T stays, and a test names it by its bound. */
@SuppressWarnings("rawtypes")
public class RawBox extends Box {
}
