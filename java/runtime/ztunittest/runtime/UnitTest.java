package ztunittest.runtime;

/**
 * The base of every generated test class: it names the test's datapool,
 * `dp`, and has the test's body in test(), which reads its inputs from the
 * current row of `dp`, calls the operation under test and logs the result
 * with TestLog. run() runs the body once per row and reports on standard
 * output; DatapoolTests runs it under JUnit 5.
 */
public abstract class UnitTest {
    /** The datapool of this test. */
    protected final Datapool dp;

    protected UnitTest(String datapoolName) {
        dp = Datapool.open(datapoolName);
    }

    /** The body of the test for the current row of `dp`. */
    public abstract void test() throws Exception;

    /**
     * Runs `test` once for every row of its datapool, each preceded by a line
     * "DATA  row N: field=value, ...". An exception that escapes a row is
     * logged as a failure and the next row runs. When recording
     * (Recording), the datapool is written after each row. The result is the exit
     * status for a test program: 0 when no failure was logged.
     */
    public static int run(UnitTest test) {
        String name = test.getClass().getName();
        try {
            if (test.dp.rowCount() == 0) {
                TestLog.PRINTER.fail("Datapool", "the datapool " + test.dp.name() + " (" + test.dp.file()
                        + ") has no rows: add rows with \"ztunittest datapool import\" and export it again", null, null);
            }
            for (int row = 0; row < test.dp.rowCount(); row++) {
                test.dp.select(row);
                System.out.println("DATA  " + test.dp.rowLabel(row));
                TestLog.begin(test.dp, TestLog.PRINTER);
                try {
                    test.test();
                    Recording.write(test.dp);
                } catch (RowAbortedException e) {
                    if (Recording.on()) {
                        TestLog.PRINTER.fail("Datapool", Recording.notRecorded(test.dp, e.getMessage()), null, null);
                    } else {
                        TestLog.PRINTER.skip("Datapool", e.getMessage());
                    }
                } catch (Exception | AssertionError e) {
                    TestLog.PRINTER.fail("Exception", name + " stopped by " + e, null, null);
                } finally {
                    TestLog.end();
                }
            }
        } catch (DatapoolException e) {
            TestLog.PRINTER.fail("Datapool", e.getMessage(), null, null);
        }
        return TestLog.failures() == 0 ? 0 : 1;
    }
}
