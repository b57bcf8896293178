package qtokcom;

/** What QTOKJNI raises for every failure; the message is "ER: 0x%08x" of the result. */
public class ComFailException extends RuntimeException {
    private static final long serialVersionUID = 1L;

    public ComFailException(String message) {
        super(message);
    }
}
