package ztunittest.runtime;

import java.io.IOException;
import java.io.InputStream;
import java.net.URISyntaxException;
import java.net.URL;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Collections;
import java.util.HashMap;
import java.util.List;
import java.util.Map;

/**
 * The test inputs and expected results of one generated test: named fields
 * and rows of values. A datapool named N is the file N.csv, as
 * "ztunittest datapool export" writes it (the field names, then one line
 * per row), in the folder the system property "ztunittest.datapools" names.
 * When it is not set, N.csv is looked for on the class path, in the folder
 * ztunittest/ (where a project store keeps it, src/test/resources/ztunittest,
 * which a build puts on the test class path), then in the current folder.
 * An empty file is a datapool without fields: one row with no values, for a
 * test that has no inputs.
 *
 * A test runs once per row; value(field) reads the row being run. The file
 * is read when the datapool is first used, so that a missing or malformed
 * file is reported by the run, not by the test's constructor.
 */
public final class Datapool {
    /** The system property that names the folder of the datapool files. */
    public static final String FOLDER_PROPERTY = "ztunittest.datapools";
    /** The folder on the class path that holds the datapool files when FOLDER_PROPERTY is not set. */
    public static final String RESOURCE_FOLDER = "ztunittest";
    /** The field of the expected result; an empty value means "not given". */
    public static final String EXPECTED_RESULT = "expectedReturn";
    /** The field that names the exception a row expects the call to throw; empty: none. */
    public static final String EXPECTED_EXCEPTION = "expectedException";
    /** The field of the tolerance of floating-point results; empty: the default (Results). */
    public static final String TOLERANCE = "tolerance";

    private final String name;
    private final Path file;
    /** Where the file is read from when it is not a file of its own (in a jar); null otherwise. */
    private final URL resource;
    private List<String> fields;
    private Map<String, Integer> index;
    private List<List<String>> rows;
    private int current;
    private boolean expectedRead;
    private java.lang.reflect.Type expectedType;

    private Datapool(String name, Path file, URL resource) {
        this.name = name;
        this.file = file;
        this.resource = resource;
    }

    /** The datapool `name`, read from its file where the class comment says. */
    public static Datapool open(String name) {
        String folder = System.getProperty(FOLDER_PROPERTY);
        if (folder == null) {
            ClassLoader loader = Thread.currentThread().getContextClassLoader();
            if (loader == null) {
                loader = Datapool.class.getClassLoader();
            }
            URL found = loader.getResource(RESOURCE_FOLDER + "/" + name + ".csv");
            if (found != null) {
                if ("file".equals(found.getProtocol())) {
                    try {
                        return new Datapool(name, Paths.get(found.toURI()), null);
                    } catch (URISyntaxException | IllegalArgumentException e) {
                        // read through the URL below
                    }
                }
                return new Datapool(name, Paths.get(RESOURCE_FOLDER, name + ".csv"), found);
            }
            folder = ".";
        }
        return new Datapool(name, Paths.get(folder, name + ".csv"), null);
    }

    /** The datapool `name`, read from `file`. */
    public static Datapool read(String name, Path file) {
        Datapool datapool = new Datapool(name, file, null);
        datapool.load();
        return datapool;
    }

    public String name() {
        return name;
    }

    /** The file the datapool is read from. */
    public Path file() {
        return file;
    }

    /** Reads the file unless it was read; raises DatapoolException when it cannot. */
    public synchronized void load() {
        if (rows != null) {
            return;
        }
        byte[] bytes;
        try {
            if (resource != null) {
                try (InputStream in = resource.openStream()) {
                    bytes = in.readAllBytes();
                }
            } else {
                bytes = Files.readAllBytes(file);
            }
        } catch (NoSuchFileException e) {
            throw new DatapoolException("the datapool " + name + " has no file " + file.toAbsolutePath()
                    + ": export the datapools with \"ztunittest datapool export --all --dir DIR\" and run with -D"
                    + FOLDER_PROPERTY + "=DIR, or keep them in a project store, which puts them on the class path");
        } catch (IOException e) {
            throw new DatapoolException("the datapool file " + file + " cannot be read: " + e.getMessage(), e);
        }
        List<Csv.Record> records;
        try {
            records = Csv.parse(Csv.decode(bytes));
        } catch (Csv.FormatException e) {
            throw new DatapoolException(file + ":" + e.line + ": " + stripLine(e.getMessage()), e);
        }
        List<List<String>> read = new ArrayList<>();
        List<String> header = records.isEmpty() ? Collections.emptyList() : records.get(0).values;
        Map<String, Integer> positions = new HashMap<>();
        for (int f = 0; f < header.size(); f++) {
            if (positions.put(header.get(f), f) != null) {
                throw new DatapoolException(file + ":1: the field " + header.get(f) + " is named twice");
            }
        }
        if (records.isEmpty()) {
            read.add(Collections.emptyList());
        }
        for (int r = 1; r < records.size(); r++) {
            Csv.Record record = records.get(r);
            if (record.values.size() != header.size()) {
                throw new DatapoolException(file + ":" + record.line + ": " + record.values.size()
                        + " value(s), but the datapool has " + header.size() + " field(s)");
            }
            read.add(Collections.unmodifiableList(record.values));
        }
        fields = Collections.unmodifiableList(header);
        index = positions;
        rows = read;
    }

    private static String stripLine(String message) {
        return message.replaceFirst("^line \\d+: ", "");
    }

    /** The field names, in order. */
    public List<String> fields() {
        load();
        return fields;
    }

    /** Whether the datapool has the field `field`. */
    public boolean hasField(String field) {
        load();
        return index.containsKey(field);
    }

    /** The rows as read, each a list of values in field order. */
    List<List<String>> rows() {
        load();
        return Collections.unmodifiableList(rows);
    }

    /** The number of rows; the test runs once for each. */
    public int rowCount() {
        load();
        return rows.size();
    }

    /** Makes row `row` (0-based) the one value() reads. */
    public void select(int row) {
        load();
        if (row < 0 || row >= rows.size()) {
            throw new IndexOutOfBoundsException("the datapool " + name + " has no row " + (row + 1));
        }
        current = row;
        expectedRead = false;
        expectedType = null;
    }

    /** The row value() reads (0-based). */
    public int currentRow() {
        return current;
    }

    /** The text of `field` in the current row as stored; null when there is no such field. */
    public String text(String field) {
        load();
        Integer f = index.get(field);
        return f == null ? null : rows.get(current).get(f);
    }

    /** The field `field` of the current row; raises DatapoolException when there is no such field. */
    public DatapoolValue value(String field) {
        String text = text(field);
        if (text == null) {
            throw new DatapoolException("the datapool " + name + " (" + file + ") has no field " + field
                    + "; its fields are " + fields);
        }
        if (field.equals(EXPECTED_RESULT)) {
            expectedRead = true;
        }
        return new DatapoolValue(this, field, text);
    }

    /**
     * Whether the test read the expected result of the current row: only
     * then do its checks compare with it (a test of a create method, say,
     * checks something else, whatever its datapool holds).
     */
    public boolean expectedResultRead() {
        return expectedRead;
    }

    /** The expected result of the current row is read as a value of `type` (DatapoolValue). */
    void expectedReadAs(java.lang.reflect.Type type) {
        expectedType = type;
    }

    /**
     * The type the test read the expected result of the current row as
     * (a primitive type for the primitive reads); null when it read none.
     */
    java.lang.reflect.Type expectedType() {
        return expectedType;
    }

    /**
     * "row N" and, when the row has values, its values: "row 2: amount=7.5,
     * expectedReturn=10"; the oracle fields expectedException and tolerance
     * only when they hold something.
     */
    public String rowLabel(int row) {
        return label(row, true);
    }

    /** "row N" and the inputs of the current row: its fields but the expected result and the oracles. */
    String inputLabel() {
        return label(current, false);
    }

    private String label(int row, boolean expected) {
        load();
        StringBuilder label = new StringBuilder("row ").append(row + 1);
        List<String> values = rows.get(row);
        String separator = ": ";
        for (int f = 0; f < values.size(); f++) {
            String field = fields.get(f);
            boolean oracle = field.equals(EXPECTED_EXCEPTION) || field.equals(TOLERANCE);
            if (oracle && (!expected || values.get(f).trim().isEmpty()) || !expected && field.equals(EXPECTED_RESULT)) {
                continue;
            }
            label.append(separator).append(field).append('=').append(shown(values.get(f)));
            separator = ", ";
        }
        return label.toString();
    }

    /** Where a message about the current row points: "row 2 of the datapool Circle_area". */
    String where() {
        return "row " + (current + 1) + " of the datapool " + name;
    }

    // A value in a label: one line, at most 40 characters.
    private static String shown(String value) {
        String line = value.replace("\r", "\\r").replace("\n", "\\n");
        return line.length() <= 40 ? line : line.substring(0, 37) + "...";
    }
}
