package javax.ejb;

public class FinderException extends Exception {
    private static final long serialVersionUID = 1L;

    public FinderException() {
    }

    public FinderException(String message) {
        super(message);
    }
}
