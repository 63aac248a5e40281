package javax.ejb;

public class RemoveException extends Exception {
    private static final long serialVersionUID = 1L;

    public RemoveException() {
    }

    public RemoveException(String message) {
        super(message);
    }
}
