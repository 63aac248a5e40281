package ztunittest.runtime;

/**
 * A row of a datapool that a test cannot run: no value of the type of one of
 * its fields can be made (an interface, an abstract class, a class without a
 * usable constructor). The row is aborted, not failed: under JUnit its test
 * is aborted, on standard output it is a SKIP line.
 */
public class RowAbortedException extends RuntimeException {
    private static final long serialVersionUID = 1L;

    public RowAbortedException(String message) {
        super(message);
    }
}
