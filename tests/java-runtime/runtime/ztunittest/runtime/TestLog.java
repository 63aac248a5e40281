package ztunittest.runtime;

/**
 * The log of a generated test. Every result goes to standard output as one
 * line, "PASS|FAIL  event: detail"; the failures of the process are counted
 * so that a test's exit status can tell whether any check failed.
 */
public final class TestLog {
    /** The result of a check that held. */
    public static final int KTS_LOG_RESULT_PASS = 1;
    /** The result of a check that did not hold. */
    public static final int KTS_LOG_RESULT_FAIL = 2;

    private static int failures;

    private TestLog() {
    }

    /** Logs one result: an event ("Expected result"), its result and a detail text. */
    public static synchronized void message(String event, int result, String detail) {
        String word;
        if (result == KTS_LOG_RESULT_PASS) {
            word = "PASS";
        } else if (result == KTS_LOG_RESULT_FAIL) {
            word = "FAIL";
            failures++;
        } else {
            word = "INFO";
        }
        System.out.println(word + "  " + event + ": " + detail);
    }

    /** How many failures were logged since the process started. */
    public static synchronized int failures() {
        return failures;
    }
}
