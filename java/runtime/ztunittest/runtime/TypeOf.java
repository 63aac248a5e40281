package ztunittest.runtime;

import java.lang.reflect.ParameterizedType;
import java.lang.reflect.Type;

/**
 * The full type of a value a test reads, type arguments included, kept by
 * an anonymous subclass: {@code new TypeOf<List<String>>() {}}. A generated
 * test reads every input that is not a primitive, a String or a BigDecimal
 * with {@code dp.value("field").as(new TypeOf<T>() {})}.
 */
public abstract class TypeOf<T> {
    private final Type type;

    protected TypeOf() {
        Type superclass = getClass().getGenericSuperclass();
        if (!(superclass instanceof ParameterizedType)) {
            throw new IllegalStateException("TypeOf needs its type argument: new TypeOf<T>() {}");
        }
        type = ((ParameterizedType) superclass).getActualTypeArguments()[0];
    }

    /** The type T. */
    public Type type() {
        return type;
    }
}
