package drift;

/** A generic superclass: its methods are inherited with its type variable replaced. */
public class Box<T> {
    private T value;

    public T get() {
        return value;
    }

    public void set(T value) {
        this.value = value;
    }
}
