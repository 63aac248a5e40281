package ztunittest.runtime;

/**
 * The base of every generated test class: it opens the test's datapool as
 * `dp` and runs the test, logging an exception that escapes it as a failure.
 */
public abstract class UnitTest {
    /** The datapool of this test. */
    protected final Datapool dp;

    protected UnitTest(String datapoolName) {
        dp = Datapool.open(datapoolName);
    }

    /** The body of the test: reads its inputs from `dp`, calls, logs the result. */
    public abstract void test() throws Exception;

    /**
     * Runs `test`; an exception it throws is logged as a failure. The result
     * is the exit status for a test program: 0 when no failure was logged.
     */
    public static int run(UnitTest test) {
        String name = test.getClass().getName();
        try {
            test.test();
        } catch (Exception | AssertionError e) {
            TestLog.message("Exception", TestLog.KTS_LOG_RESULT_FAIL, name + " stopped by " + e);
        }
        return TestLog.failures() == 0 ? 0 : 1;
    }
}
