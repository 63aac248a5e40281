package ztunittest.runtime;

/**
 * A datapool that cannot be read, or a value of it that is not what the
 * test reads it as. The message says which datapool, file, row or field,
 * and what to do.
 */
public class DatapoolException extends RuntimeException {
    private static final long serialVersionUID = 1L;

    public DatapoolException(String message) {
        super(message);
    }

    public DatapoolException(String message, Throwable cause) {
        super(message, cause);
    }
}
