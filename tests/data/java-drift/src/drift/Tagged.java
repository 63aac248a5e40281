package drift;

/** A generic interface with a method its implementations inherit. */
public interface Tagged<X> {
    default X tag(X tag) {
        return tag;
    }
}
