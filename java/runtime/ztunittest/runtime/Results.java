package ztunittest.runtime;

import java.lang.reflect.Array;
import java.math.BigDecimal;
import java.util.ArrayList;
import java.util.Collection;
import java.util.Iterator;
import java.util.List;
import java.util.Map;
import java.util.Optional;
import java.util.Set;

/**
 * The oracles of a generated test: how its call's outcome is judged against
 * the current row of its datapool (docs/java.md, "Oracles").
 *
 * - same(expected, actual): results compare by value. Floating-point
 *   numbers are equal within the row's field "tolerance" (empty: the
 *   default), NaN equals NaN; BigDecimal compares by value (19 equals
 *   19.00); arrays, lists, sets, maps and Optionals by their content, each
 *   element by these rules; any other object by its equals, which may throw
 *   without the check throwing.
 * - threw(method, thrown) and returned(method): the row's field
 *   "expectedException" names the exception the call must throw (its simple
 *   or qualified class name; a subclass counts); empty, the call must return.
 *
 * When recording (Recording), nothing is judged: the result or the
 * exception is recorded as the row's expectation, and the checks hold.
 */
public final class Results {
    /** The tolerance of doubles when the row gives none. */
    public static final double DEFAULT_TOLERANCE = 1e-9;
    /** The tolerance of floats when the row gives none: about their precision. */
    public static final double DEFAULT_FLOAT_TOLERANCE = 1e-6;

    private Results() {
    }

    public static boolean same(long expected, long actual) {
        return recorded(actual) || expected == actual;
    }

    public static boolean same(char expected, char actual) {
        return recorded(actual) || expected == actual;
    }

    public static boolean same(float expected, float actual) {
        return recorded(actual) || close(expected, actual, tolerance(DEFAULT_FLOAT_TOLERANCE));
    }

    public static boolean same(double expected, double actual) {
        return recorded(actual) || close(expected, actual, tolerance(DEFAULT_TOLERANCE));
    }

    /** Whether `actual` is the same as `expected` by the rules above; when recording, `actual` is recorded. */
    public static boolean same(Object expected, Object actual) {
        return recorded(actual) || equal(expected, actual);
    }

    // When recording, records `actual` as the row's expected result: the check then holds.
    private static boolean recorded(Object actual) {
        if (!Recording.on()) {
            return false;
        }
        Recording.result(actual);
        return true;
    }

    static boolean equal(Object expected, Object actual) {
        if (expected == null || actual == null) {
            return expected == actual;
        }
        if (expected instanceof Float && actual instanceof Float) {
            return close((Float) expected, (Float) actual, tolerance(DEFAULT_FLOAT_TOLERANCE));
        }
        if (expected instanceof Double && actual instanceof Double) {
            return close((Double) expected, (Double) actual, tolerance(DEFAULT_TOLERANCE));
        }
        if (expected instanceof BigDecimal && actual instanceof BigDecimal) {
            BigDecimal difference = ((BigDecimal) expected).subtract((BigDecimal) actual).abs();
            Double given = givenTolerance();
            return given == null ? difference.signum() == 0 : difference.compareTo(BigDecimal.valueOf(given)) <= 0;
        }
        if (expected.getClass().isArray() && actual.getClass().isArray()) {
            return sameSequence(elements(expected), elements(actual));
        }
        if (expected instanceof Set && actual instanceof Set) {
            return sameSet((Set<?>) expected, (Set<?>) actual);
        }
        if (expected instanceof Collection && actual instanceof Collection) {
            return sameSequence((Collection<?>) expected, (Collection<?>) actual);
        }
        if (expected instanceof Map && actual instanceof Map) {
            return sameMap((Map<?, ?>) expected, (Map<?, ?>) actual);
        }
        if (expected instanceof Optional && actual instanceof Optional) {
            return equal(((Optional<?>) expected).orElse(null), ((Optional<?>) actual).orElse(null));
        }
        try {
            return expected.equals(actual);
        } catch (RuntimeException e) {
            return false;
        }
    }

    /**
     * The call of `method` (or the making of its object) threw `thrown`:
     * passes when the row expects that exception, fails naming both when it
     * expects another, and fails with `thrown` as its cause when it expects
     * none. A DatapoolException or RowAbortedException, which the reads of
     * the row's fields raise, is thrown on.
     */
    public static void threw(String method, Throwable thrown) {
        // A field the test could not read is no outcome of the call.
        if (thrown instanceof DatapoolException) {
            throw (DatapoolException) thrown;
        }
        if (thrown instanceof RowAbortedException) {
            throw (RowAbortedException) thrown;
        }
        if (Recording.on()) {
            Recording.threw(thrown);
            TestLog.reporter().pass("Recorded exception", "Call to " + method + " threw " + thrown);
            return;
        }
        String expected = expectedException();
        if (expected.isEmpty()) {
            TestLog.reporter().fail("Unexpected exception", inRow("Call to " + method + " threw " + thrown), thrown);
            return;
        }
        String actual = thrown.getClass().getName();
        if (isA(thrown.getClass(), expected)) {
            TestLog.reporter().pass("Expected exception", "Call to " + method + " threw " + actual);
        } else {
            TestLog.reporter().fail("Unexpected exception", inRow("Call to " + method + " threw " + thrown
                    + ", not the expected " + expected), expected, actual);
        }
    }

    /**
     * The call of `method` returned: true when the row expects no exception;
     * otherwise the row fails (false on standard output, where the run goes on).
     */
    public static boolean returned(String method) {
        if (Recording.on()) {
            Recording.returned();
            return true;
        }
        String expected = expectedException();
        if (expected.isEmpty()) {
            return true;
        }
        TestLog.reporter().fail("Unexpected result",
                inRow("Call to " + method + " returned instead of throwing the expected " + expected), expected,
                "no exception");
        return false;
    }

    /** `message` with the inputs of the current row after it, as a failure names them. */
    static String inRow(String message) {
        Datapool row = TestLog.row();
        return row == null ? message : message + " (" + row.inputLabel() + ")";
    }

    private static String expectedException() {
        Datapool row = TestLog.row();
        String text = row == null ? null : row.text(Datapool.EXPECTED_EXCEPTION);
        return text == null ? "" : text.trim();
    }

    // Whether `c` or one of its superclasses is named `name`, simply or qualified.
    private static boolean isA(Class<?> c, String name) {
        for (Class<?> k = c; k != null; k = k.getSuperclass()) {
            if (k.getName().equals(name) || k.getSimpleName().equals(name) || k.getCanonicalName() != null
                    && k.getCanonicalName().equals(name)) {
                return true;
            }
        }
        return false;
    }

    // The row's tolerance, or `fallback` when it gives none.
    private static double tolerance(double fallback) {
        Double given = givenTolerance();
        return given == null ? fallback : given;
    }

    private static Double givenTolerance() {
        Datapool row = TestLog.row();
        if (row == null || !row.hasField(Datapool.TOLERANCE) || row.text(Datapool.TOLERANCE).trim().isEmpty()) {
            return null;
        }
        double tolerance = row.value(Datapool.TOLERANCE).doubleValue();
        if (!(tolerance >= 0)) {
            throw new DatapoolException(row.where() + ": the field " + Datapool.TOLERANCE + " holds "
                    + tolerance + ", which is no tolerance (a number from 0 up)");
        }
        return tolerance;
    }

    private static boolean close(double expected, double actual, double tolerance) {
        if (expected == actual || (Double.isNaN(expected) && Double.isNaN(actual))) {
            return true;
        }
        if (Double.isInfinite(expected) || Double.isInfinite(actual)) {
            return false;
        }
        return Math.abs(expected - actual) <= tolerance * Math.max(1.0, Math.abs(expected));
    }

    private static List<Object> elements(Object array) {
        List<Object> list = new ArrayList<>();
        for (int i = 0; i < Array.getLength(array); i++) {
            list.add(Array.get(array, i));
        }
        return list;
    }

    private static boolean sameSequence(Collection<?> expected, Collection<?> actual) {
        if (expected.size() != actual.size()) {
            return false;
        }
        Iterator<?> other = actual.iterator();
        for (Object element : expected) {
            if (!equal(element, other.next())) {
                return false;
            }
        }
        return true;
    }

    private static boolean sameSet(Set<?> expected, Set<?> actual) {
        if (expected.size() != actual.size()) {
            return false;
        }
        for (Object element : expected) {
            boolean found = false;
            for (Object candidate : actual) {
                if (equal(element, candidate)) {
                    found = true;
                    break;
                }
            }
            if (!found) {
                return false;
            }
        }
        return true;
    }

    private static boolean sameMap(Map<?, ?> expected, Map<?, ?> actual) {
        if (expected.size() != actual.size()) {
            return false;
        }
        for (Map.Entry<?, ?> entry : expected.entrySet()) {
            Object key = entry.getKey();
            Object value = null;
            boolean found = false;
            for (Map.Entry<?, ?> candidate : actual.entrySet()) {
                if (equal(key, candidate.getKey())) {
                    value = candidate.getValue();
                    found = true;
                    break;
                }
            }
            if (!found || !equal(entry.getValue(), value)) {
                return false;
            }
        }
        return true;
    }
}
