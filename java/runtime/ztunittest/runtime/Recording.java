package ztunittest.runtime;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.IdentityHashMap;
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
 * row that could not run. The file is written after every row, the rows not
 * run yet as they were.
 */
final class Recording {
    /** The system property that names the folder recorded datapools are written to. */
    static final String PROPERTY = "ztunittest.record";

    // The rows of each datapool being recorded, as recorded so far.
    private static final Map<Datapool, List<List<String>>> ROWS = new IdentityHashMap<>();

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
        } catch (RuntimeException e) {
            fail(dp, "the result " + Values.text(actual) + " has no text form that reads back as it (" + e + ")");
            return;
        }
        set(dp, Datapool.EXPECTED_RESULT, text);
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

    private static void fail(Datapool dp, String why) {
        TestLog.reporter().fail("Not recorded", notRecorded(dp, why), null, null);
    }

    // Sets `field` of the current row; false after failing the row when there is no such field.
    private static boolean set(Datapool dp, String field, String text) {
        int f = dp.fields().indexOf(field);
        if (f < 0) {
            fail(dp, "the datapool has no field " + field + " to hold " + text);
            return false;
        }
        synchronized (ROWS) {
            ROWS.computeIfAbsent(dp, d -> copy(d.rows())).get(dp.currentRow()).set(f, text);
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
     * far and the others as they were (a datapool without fields has nothing
     * to record). Does nothing unless recording.
     */
    static void write(Datapool dp) {
        if (!on() || dp.fields().isEmpty()) {
            return;
        }
        StringBuilder csv = new StringBuilder(line(dp.fields()));
        synchronized (ROWS) {
            for (List<String> row : ROWS.computeIfAbsent(dp, d -> copy(d.rows()))) {
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
