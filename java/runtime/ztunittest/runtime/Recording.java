package ztunittest.runtime;

import java.io.IOException;
import java.lang.reflect.Type;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.IdentityHashMap;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * Record mode (docs/java.md, "Recorded expectations"): run with the system
 * property ztunittest.record=DIR, each test writes DIR/NAME.csv, its
 * datapool NAME with the expected result of every row taken from the run:
 * the returned value in its text form in "expectedReturn" (and
 * "expectedException" emptied), or the thrown exception's class in
 * "expectedException" (and "expectedReturn" emptied). Nothing is judged in
 * this mode; a row fails only when it cannot be recorded: a value whose text
 * form does not read back as the same value, a field the datapool lacks, a
 * row that could not run. "Reads back" is tried, not assumed: the text goes
 * through the datapool file as the runtime reads it (UTF-8, which has no
 * lone surrogate) and as "ztunittest datapool import" takes it (no NUL),
 * and is read back as the type the test reads its expected result as. The
 * file is written after every row: the rows recorded so far, a row that
 * failed as it was, the rows not run yet as they were.
 */
final class Recording {
    /** The system property that names the folder recorded datapools are written to. */
    static final String PROPERTY = "ztunittest.record";

    // The rows of each datapool being recorded, as recorded so far.
    private static final Map<Datapool, List<List<String>>> ROWS = new IdentityHashMap<>();
    // What the row being run of each datapool changes, applied to ROWS when
    // the row is written; guarded by ROWS.
    private static final Map<Datapool, Pending> PENDING = new IdentityHashMap<>();

    /** The values a row sets (by field position), and whether it failed. */
    private static final class Pending {
        final int row;
        final Map<Integer, String> values = new LinkedHashMap<>();
        boolean failed;

        Pending(int row) {
            this.row = row;
        }
    }

    private Recording() {
    }

    /** Whether the run records instead of checking. */
    static boolean on() {
        String folder = System.getProperty(PROPERTY);
        return folder != null && !folder.isEmpty();
    }

    /** The message of a row that cannot be recorded, naming the row and why. */
    static String notRecorded(Datapool dp, String why) {
        String row = dp.where() + ": ";
        return row.substring(0, row.length() - 2) + " cannot be recorded: "
                + (why.startsWith(row) ? why.substring(row.length()) : why);
    }

    /** The call returned `actual`: it is the row's expected result. */
    static void result(Object actual) {
        Datapool dp = TestLog.row();
        if (dp == null) {
            return;
        }
        String text;
        try {
            text = Values.form(actual);
            readsBack(dp, actual, throughFile(text));
        } catch (RuntimeException e) {
            fail(dp, "the result " + printable(Values.text(actual)) + " has no text form that reads back as it ("
                    + e.getMessage() + ")");
            return;
        }
        set(dp, Datapool.EXPECTED_RESULT, text);
    }

    /**
     * `text` as it comes back from a datapool file that holds it, read by
     * the runtime (Csv) and taken by "ztunittest datapool import"; raises
     * IllegalArgumentException, saying why, when it does not come back as it
     * is: a NUL, which the import refuses (a store cannot keep it), or a
     * lone surrogate, which UTF-8 cannot write.
     */
    static String throughFile(String text) {
        if (text.indexOf('\0') >= 0) {
            throw new IllegalArgumentException(printable(text) + " holds the character U+0000, which a datapool "
                    + "cannot keep");
        }
        String back;
        try {
            List<Csv.Record> records = Csv.parse(Csv.decode(line(List.of(text)).getBytes(StandardCharsets.UTF_8)));
            back = records.size() == 1 && records.get(0).values.size() == 1 ? records.get(0).values.get(0) : null;
        } catch (Csv.FormatException e) {
            back = null;
        }
        if (text.equals(back)) {
            return back;
        }
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            boolean paired = Character.isHighSurrogate(c) && i + 1 < text.length()
                    && Character.isLowSurrogate(text.charAt(i + 1));
            if (paired) {
                i++;
            } else if (Character.isSurrogate(c)) {
                throw new IllegalArgumentException(printable(text) + " holds a lone surrogate ("
                        + String.format("U+%04X", (int) c) + "), which UTF-8 cannot write");
            }
        }
        throw new IllegalArgumentException(printable(text) + " comes back from the datapool file as "
                + (back == null ? "something else" : printable(back)));
    }

    // Raises IllegalArgumentException unless `text` reads back as `actual`:
    // as the type the test read the expected result as (the result's own
    // class for a primitive read, or the same text form when the test read
    // none).
    private static void readsBack(Datapool dp, Object actual, String text) {
        Type read = dp.expectedType();
        Type type = read == null || read instanceof Class && ((Class<?>) read).isPrimitive() ? classOf(actual) : read;
        Object back;
        try {
            back = new DatapoolValue(text).as(type);
        } catch (DatapoolException | RowAbortedException e) {
            throw new IllegalArgumentException(printable(text) + " does not read back as a " + type.getTypeName() + ": "
                    + e.getMessage(), e);
        }
        if (read == null ? text.equals(Values.form(back)) : Results.equal(actual, back)) {
            return;
        }
        throw new IllegalArgumentException(printable(text) + " reads back as "
                + (back != null && actual != null && back.getClass() != actual.getClass()
                        ? "the " + back.getClass().getName() + " " + printable(Values.text(back)) + ", not as a "
                                + actual.getClass().getName()
                        : printable(Values.text(back)) + ", another value"));
    }

    private static Class<?> classOf(Object value) {
        if (value == null) {
            return Object.class;
        }
        return value instanceof Enum ? ((Enum<?>) value).getDeclaringClass() : value.getClass();
    }

    // A text for a message, on one line: its control characters and lone
    // surrogates as Java writes them in a literal (a backslash, u, four hex digits).
    private static String printable(String text) {
        StringBuilder shown = new StringBuilder();
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            boolean paired = Character.isHighSurrogate(c) && i + 1 < text.length()
                    && Character.isLowSurrogate(text.charAt(i + 1))
                    || Character.isLowSurrogate(c) && i > 0 && Character.isHighSurrogate(text.charAt(i - 1));
            shown.append(c < 0x20 || Character.isSurrogate(c) && !paired ? String.format("\\u%04X", (int) c)
                    : String.valueOf(c));
        }
        return shown.toString();
    }

    /** The call returned: the row expects no exception. */
    static void returned() {
        Datapool dp = TestLog.row();
        if (dp != null && dp.hasField(Datapool.EXPECTED_EXCEPTION)) {
            set(dp, Datapool.EXPECTED_EXCEPTION, "");
        }
    }

    /** The call threw `thrown`: the row expects its class, and no result. */
    static void threw(Throwable thrown) {
        Datapool dp = TestLog.row();
        if (dp == null) {
            return;
        }
        if (!dp.hasField(Datapool.EXPECTED_EXCEPTION)) {
            fail(dp, "the call threw " + thrown + ", and the datapool has no field " + Datapool.EXPECTED_EXCEPTION
                    + " to hold it");
            return;
        }
        if (set(dp, Datapool.EXPECTED_EXCEPTION, thrown.getClass().getName()) && dp.hasField(Datapool.EXPECTED_RESULT)) {
            set(dp, Datapool.EXPECTED_RESULT, "");
        }
    }

    // Fails the current row: it keeps what it held.
    private static void fail(Datapool dp, String why) {
        synchronized (ROWS) {
            pending(dp).failed = true;
        }
        TestLog.reporter().fail("Not recorded", notRecorded(dp, why), null, null);
    }

    private static Pending pending(Datapool dp) {
        Pending pending = PENDING.get(dp);
        if (pending == null || pending.row != dp.currentRow()) {
            pending = new Pending(dp.currentRow());
            PENDING.put(dp, pending);
        }
        return pending;
    }

    // Sets `field` of the current row; false after failing the row when there
    // is no such field, or the datapool file cannot hold `text`.
    private static boolean set(Datapool dp, String field, String text) {
        int f = dp.fields().indexOf(field);
        if (f < 0) {
            fail(dp, "the datapool has no field " + field + " to hold " + printable(text));
            return false;
        }
        try {
            throughFile(text);
        } catch (IllegalArgumentException e) {
            fail(dp, "the field " + field + " cannot hold " + e.getMessage());
            return false;
        }
        synchronized (ROWS) {
            pending(dp).values.put(f, text);
        }
        return true;
    }

    private static List<List<String>> copy(List<List<String>> rows) {
        List<List<String>> copy = new ArrayList<>();
        for (List<String> row : rows) {
            copy.add(new ArrayList<>(row));
        }
        return copy;
    }

    /**
     * After a row of `dp` ran: writes DIR/NAME.csv with the rows recorded so
     * far, the current one unless it failed, and the others as they were (a
     * datapool without fields has nothing to record). Does nothing unless
     * recording.
     */
    static void write(Datapool dp) {
        if (!on() || dp.fields().isEmpty()) {
            return;
        }
        StringBuilder csv = new StringBuilder(line(dp.fields()));
        synchronized (ROWS) {
            List<List<String>> rows = ROWS.computeIfAbsent(dp, d -> copy(d.rows()));
            Pending pending = PENDING.remove(dp);
            if (pending != null && pending.row == dp.currentRow() && !pending.failed) {
                pending.values.forEach((f, text) -> rows.get(pending.row).set(f, text));
            }
            for (List<String> row : rows) {
                csv.append(line(row));
            }
        }
        Path folder = Paths.get(System.getProperty(PROPERTY));
        Path file = folder.resolve(dp.name() + ".csv");
        try {
            Files.createDirectories(folder);
            Path temporary = Files.createTempFile(folder, "." + dp.name(), ".tmp");
            try {
                Files.write(temporary, csv.toString().getBytes(StandardCharsets.UTF_8));
                Files.move(temporary, file, StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
            } finally {
                Files.deleteIfExists(temporary);
            }
        } catch (IOException e) {
            throw new DatapoolException("the recorded datapool " + dp.name() + " cannot be written to " + file + ": "
                    + e, e);
        }
    }

    // One CSV line as "ztunittest datapool import" reads it back: a value is
    // quoted when it holds a comma, a quote or a line break, or when it is
    // the only one and empty (an empty line would be skipped).
    private static String line(List<String> values) {
        StringBuilder line = new StringBuilder();
        for (int i = 0; i < values.size(); i++) {
            String value = values.get(i);
            boolean quote = value.matches("(?s).*[,\"\r\n].*") || value.startsWith("\uFEFF")
                    || values.size() == 1 && value.isEmpty();
            line.append(i > 0 ? "," : "").append(quote ? "\"" + value.replace("\"", "\"\"") + "\"" : value);
        }
        return line.append('\n').toString();
    }
}
