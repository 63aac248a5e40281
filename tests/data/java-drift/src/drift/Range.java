package drift;

import java.util.function.BinaryOperator;

/** A range of comparable values: a class with a type variable and a generic method. */
public class Range<T extends Comparable<T>> {
    private final T low;
    private final T high;

    public Range(T low, T high) {
        this.low = low;
        this.high = high;
    }

    public boolean contains(T value) {
        return low.compareTo(value) <= 0 && value.compareTo(high) <= 0;
    }

    public <R> R fold(R seed, BinaryOperator<R> step) {
        return step.apply(seed, seed);
    }

    public T getLow() {
        return low;
    }
}
