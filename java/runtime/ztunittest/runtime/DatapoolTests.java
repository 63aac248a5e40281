package ztunittest.runtime;

import java.util.stream.IntStream;
import java.util.stream.Stream;

import org.junit.jupiter.api.DynamicTest;
import org.opentest4j.AssertionFailedError;
import org.opentest4j.TestAbortedException;

/**
 * A generated test under JUnit 5: one dynamic test per row of its datapool,
 * named after the row ("row 2: amount=7.5, expectedReturn=10"). A failed
 * check is an AssertionFailedError that carries the expected and the
 * actual value; a check whose expected result is empty aborts the test, and
 * so does a field of a type of which the runtime can make no value; an
 * exception that escapes the body fails it. A datapool that cannot be read,
 * or has no rows, gives one failing test that says so. When recording
 * (Recording), a row fails only when it cannot be recorded.
 *
 *     &#64;TestFactory
 *     Stream&lt;DynamicTest&gt; datapoolRows() {
 *         return DatapoolTests.rows(this);
 *     }
 */
public final class DatapoolTests {
    private static final TestLog.Reporter JUNIT = new TestLog.Reporter() {
        @Override
        public void pass(String event, String detail) {
        }

        @Override
        public void fail(String event, String message, String expected, String actual) {
            if (expected != null && actual != null) {
                throw new AssertionFailedError(message, expected, actual);
            }
            throw new AssertionFailedError(message);
        }

        @Override
        public void fail(String event, String message, Throwable cause) {
            throw new AssertionFailedError(message, cause);
        }

        @Override
        public void skip(String event, String message) {
            throw new TestAbortedException(message);
        }

        @Override
        public void info(String event, String detail) {
        }
    };

    private DatapoolTests() {
    }

    /** The dynamic tests of `test`, one per row of its datapool. */
    public static Stream<DynamicTest> rows(UnitTest test) {
        Datapool dp = test.dp;
        try {
            if (dp.rowCount() == 0) {
                return Stream.of(DynamicTest.dynamicTest("no rows", () -> {
                    throw new AssertionFailedError("the datapool " + dp.name() + " (" + dp.file()
                            + ") has no rows: add rows with \"ztunittest datapool import\" and export it again");
                }));
            }
        } catch (DatapoolException e) {
            return Stream.of(DynamicTest.dynamicTest(dp.name(), () -> {
                throw e;
            }));
        }
        return IntStream.range(0, dp.rowCount())
                .mapToObj(row -> DynamicTest.dynamicTest(dp.rowLabel(row), () -> runRow(test, row)));
    }

    private static void runRow(UnitTest test, int row) throws Exception {
        test.dp.select(row);
        TestLog.begin(test.dp, JUNIT);
        try {
            test.test();
        } catch (RowAbortedException e) {
            if (Recording.on()) {
                throw new AssertionFailedError(Recording.notRecorded(test.dp, e.getMessage()), e);
            }
            throw new TestAbortedException(e.getMessage(), e);
        } finally {
            TestLog.end();
        }
        Recording.write(test.dp);
    }
}
