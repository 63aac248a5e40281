package drift;

/** Neither a constructor nor a public factory a test can call. */
public final class Latch {
    private boolean open;

    private Latch() {
    }

    /** Not public. */
    static Latch make() {
        return new Latch();
    }

    public static int count() {
        return 1;
    }

    public boolean open() {
        open = true;
        return open;
    }
}
