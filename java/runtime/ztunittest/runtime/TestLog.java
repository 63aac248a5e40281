package ztunittest.runtime;

import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * The log of a generated test: its checks call message() with a result.
 *
 * While a test runs one row of its datapool (UnitTest.run, DatapoolTests),
 * the run's reporter takes the results: on standard output every result is
 * one line, "PASS|FAIL|SKIP|INFO  event: detail", and failures are counted
 * for the exit status; under JUnit a failed check is an assertion failure.
 * A failure names the expected result of the row beside the actual one,
 * and the row's inputs.
 * When the test read the row's expected result (the field "expectedReturn")
 * and it is empty, the result of a check is not known: the check is skipped
 * (under JUnit the test is aborted), whatever the comparison gave. When
 * recording (Recording), every result is only told, as information.
 */
public final class TestLog {
    /** The result of a check that held. */
    public static final int KTS_LOG_RESULT_PASS = 1;
    /** The result of a check that did not hold. */
    public static final int KTS_LOG_RESULT_FAIL = 2;

    /** Where the results of a running test go. */
    interface Reporter {
        void pass(String event, String detail);

        /** `expected` and `actual` are null when they are not known. */
        void fail(String event, String message, String expected, String actual);

        /** A failure caused by `cause`, whose trace a test framework keeps. */
        default void fail(String event, String message, Throwable cause) {
            fail(event, message, null, null);
        }

        void skip(String event, String message);

        void info(String event, String detail);
    }

    // The actual value in the failure text of a generated check:
    // "Call to m returned unexpected value, 4.5."
    private static final Pattern ACTUAL = Pattern.compile("returned unexpected value, (.*)\\.$", Pattern.DOTALL);

    private static final ThreadLocal<Datapool> ROW = new ThreadLocal<>();
    private static final ThreadLocal<Reporter> REPORTER = new ThreadLocal<>();
    private static int failures;

    /** Results on standard output; failures are counted. */
    static final Reporter PRINTER = new Reporter() {
        @Override
        public void pass(String event, String detail) {
            line("PASS", event, detail);
        }

        @Override
        public void fail(String event, String message, String expected, String actual) {
            synchronized (TestLog.class) {
                failures++;
            }
            line("FAIL", event, message);
        }

        @Override
        public void skip(String event, String message) {
            line("SKIP", event, message);
        }

        @Override
        public void info(String event, String detail) {
            line("INFO", event, detail);
        }

        private void line(String word, String event, String detail) {
            System.out.println(word + "  " + event + ": " + detail);
        }
    };

    private TestLog() {
    }

    /** Results of this thread go to `reporter`, checks compare with the current row of `datapool`. */
    static void begin(Datapool datapool, Reporter reporter) {
        ROW.set(datapool);
        REPORTER.set(reporter);
    }

    static void end() {
        ROW.remove();
        REPORTER.remove();
    }

    /** The datapool whose current row this thread's test runs; null outside a run. */
    static Datapool row() {
        return ROW.get();
    }

    static Reporter reporter() {
        Reporter reporter = REPORTER.get();
        return reporter == null ? PRINTER : reporter;
    }

    /** Logs one result: an event ("Expected result"), its result and a detail text. */
    public static void message(String event, int result, String detail) {
        Reporter reporter = reporter();
        Datapool row = ROW.get();
        if (result != KTS_LOG_RESULT_PASS && result != KTS_LOG_RESULT_FAIL || Recording.on()) {
            // Recording judges nothing: a check's result is only told.
            reporter.info(event, detail);
            return;
        }
        String expected = row == null || !row.expectedResultRead() ? null : row.text(Datapool.EXPECTED_RESULT);
        Matcher matcher = ACTUAL.matcher(detail);
        String actual = matcher.find() ? matcher.group(1) : null;
        if (expected != null && expected.trim().isEmpty()) {
            reporter.skip("Expected result", "the expected result (" + Datapool.EXPECTED_RESULT + ") of " + row.where()
                    + " is empty: the check of the result was skipped"
                    + (actual != null ? "; the call returned " + actual : ""));
        } else if (result == KTS_LOG_RESULT_PASS) {
            reporter.pass(event, detail);
        } else {
            String message = detail;
            if (expected != null) {
                message += " ==> expected: <" + expected + ">" + (actual != null ? " but was: <" + actual + ">" : "");
            }
            reporter.fail(event, Results.inRow(message), expected, actual);
        }
    }

    /** How many failures were logged on standard output since the process started. */
    public static synchronized int failures() {
        return failures;
    }
}
