package drift;

/** Numbers for names: its objects come from a factory, its constructor is private. */
public final class Ids {
    private int last;

    private Ids() {
    }

    public static Ids create() {
        return new Ids();
    }

    public String next(String prefix) {
        return prefix + (++last);
    }

    public static int width() {
        return 8;
    }
}
