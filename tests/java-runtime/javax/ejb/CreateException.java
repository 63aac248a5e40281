package javax.ejb;

public class CreateException extends Exception {
    private static final long serialVersionUID = 1L;

    public CreateException() {
    }

    public CreateException(String message) {
        super(message);
    }
}
