package ztunittest.runtime;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.List;
import java.util.function.Function;
import java.util.stream.Collectors;
import java.util.stream.Stream;

import org.junit.jupiter.api.DynamicTest;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestFactory;
import org.junit.jupiter.api.io.TempDir;
import org.opentest4j.AssertionFailedError;

/** The runtime's reading of datapool files and values, and its checks under JUnit. */
class RuntimeTest {
    @TempDir
    Path dir;

    private Datapool datapool(String csv) throws IOException {
        return datapool(csv.getBytes(StandardCharsets.UTF_8));
    }

    private Datapool datapool(byte[] bytes) throws IOException {
        Path file = dir.resolve("P.csv");
        Files.write(file, bytes);
        return Datapool.read("P", file);
    }

    private static String rows(Datapool dp) {
        StringBuilder all = new StringBuilder(String.join("|", dp.fields()));
        for (int r = 0; r < dp.rowCount(); r++) {
            dp.select(r);
            all.append(" / ");
            for (String field : dp.fields()) {
                all.append('[').append(dp.text(field)).append(']');
            }
        }
        return all.toString();
    }

    /**
     * Quoting and the shapes of a datapool (generated tests read the byte
     * order mark, CR LF and blank lines); what the format forbids names its line.
     */
    @TestFactory
    Stream<DynamicTest> csvFiles() {
        String[][] cases = {
            {"a,b\n\"x, \"\"y\"\"\",\"two\nlines\"\n", "a|b / [x, \"y\"][two\nlines]"},
            {"a\n\"\"\n", "a / []"},
            {"a,b", "a|b"},
            {"", " / "},
            {"a,b\n1\n", "!P.csv:2: 1 value(s), but the datapool has 2 field(s)"},
            {"a,a\n1,2\n", "!P.csv:1: the field a is named twice"},
            {"a,b\n1,x\"y\n", "!P.csv:2: a quote inside a value that does not start with a quote"},
            {"a,b\n\"1\"x,2\n", "!P.csv:2: text follows a closing quote"},
            {"a\n\n\"open\nstill\n", "!P.csv:3: a quoted value is never closed"},
        };
        return Arrays.stream(cases).map(c -> DynamicTest.dynamicTest("[" + c[0].replace("\n", "\\n") + "]", () -> {
            if (c[1].startsWith("!")) {
                DatapoolException e = assertThrows(DatapoolException.class, () -> datapool(c[0]));
                assertTrue(e.getMessage().contains(c[1].substring(1)), e.getMessage());
            } else {
                assertEquals(c[1], rows(datapool(c[0])));
            }
        }));
    }

    @Test
    void bytesThatAreNotUtf8NameTheirLine() throws IOException {
        byte[] bytes = {'a', '\n', '"', 'x', '\n', (byte) 0xC3, '"', '\n'};
        DatapoolException e = assertThrows(DatapoolException.class, () -> datapool(bytes));
        assertTrue(e.getMessage().endsWith("P.csv:3: the text is not UTF-8"), e.getMessage());
    }

    /**
     * Each read takes its type's spellings and refuses others, naming row and
     * field; an empty input is its type's default (row 6).
     */
    @TestFactory
    Stream<DynamicTest> values() throws IOException {
        Datapool dp = datapool("v,expectedReturn\n 42 ,\nTRUE,\nyes,\n300,\nab,\n,\n-9223372036854775808,\n1e3,\n");
        Function<DatapoolValue, Object> asInt = DatapoolValue::intValue;
        Function<DatapoolValue, Object> asBoolean = DatapoolValue::booleanValue;
        Function<DatapoolValue, Object> asByte = DatapoolValue::byteValue;
        Object[][] cases = {
            {0, asInt, 42},
            {1, asBoolean, true},
            {2, asBoolean, "row 3 of the datapool P: the field v holds \"yes\", which is not a boolean (true or false)"},
            {3, (Function<DatapoolValue, Object>) DatapoolValue::shortValue, (short) 300},
            {3, asByte, "row 4 of the datapool P: the field v holds \"300\", which is not a byte (-128 to 127)"},
            {4, (Function<DatapoolValue, Object>) DatapoolValue::charValue,
                "row 5 of the datapool P: the field v holds \"ab\", which is not a single character"},
            {5, (Function<DatapoolValue, Object>) DatapoolValue::doubleValue, 0.0},
            {5, asBoolean, false},
            {5, (Function<DatapoolValue, Object>) DatapoolValue::charValue, '\0'},
            {5, (Function<DatapoolValue, Object>) DatapoolValue::stringValue, null},
            {5, (Function<DatapoolValue, Object>) DatapoolValue::getBigDecimal, null},
            {6, (Function<DatapoolValue, Object>) DatapoolValue::longValue, Long.MIN_VALUE},
            {7, (Function<DatapoolValue, Object>) DatapoolValue::getBigDecimal, new java.math.BigDecimal("1E+3")},
        };
        return Arrays.stream(cases).map(c -> DynamicTest.dynamicTest(c[0] + " " + c[2], () -> {
            dp.select((Integer) c[0]);
            @SuppressWarnings("unchecked")
            Function<DatapoolValue, Object> read = (Function<DatapoolValue, Object>) c[1];
            if (c[2] instanceof String) {
                assertEquals(c[2], assertThrows(DatapoolException.class, () -> read.apply(dp.value("v"))).getMessage());
            } else {
                assertEquals(c[2], read.apply(dp.value("v")));
            }
            // An empty expected result reads as nothing, whatever its type.
            DatapoolValue expected = dp.value("expectedReturn");
            assertEquals(List.of(0, false, '\0', 0.0, java.math.BigDecimal.ZERO, ""),
                    List.of(expected.intValue(), expected.booleanValue(), expected.charValue(), expected.doubleValue(),
                            expected.getBigDecimal(), expected.toString()));
        }));
    }

    /** A test that reads a datapool and checks like a generated one. */
    static final class Doubling extends UnitTest {
        Doubling() {
            super("Doubling");
        }

        @Override
        public void test() throws Exception {
            int n = dp.value("n").intValue();
            int expectedReturn = dp.value("expectedReturn").intValue();
            int actualReturn = 2 * n;
            if (expectedReturn == actualReturn) {
                TestLog.message("Expected result", TestLog.KTS_LOG_RESULT_PASS, "Call to twice returned expected value");
            } else {
                TestLog.message("Unexpected result", TestLog.KTS_LOG_RESULT_FAIL,
                        "Call to twice returned unexpected value, " + actualReturn + ".");
            }
        }
    }

    /** A test that checks something other than the expected result. */
    static final class Creating extends UnitTest {
        Creating() {
            super("Doubling");
        }

        @Override
        public void test() {
            TestLog.message("Expected result", TestLog.KTS_LOG_RESULT_PASS, "create returned an object");
        }
    }

    /** (The messages of each row are the walk's, tests/cli/java_junit5.sh.) */
    @Test
    void rowsUnderJUnit() throws Throwable {
        Files.write(dir.resolve("Doubling.csv"), "n,expectedReturn\n2,5\n2,\n".getBytes(StandardCharsets.UTF_8));
        System.setProperty(Datapool.FOLDER_PROPERTY, dir.toString());
        try {
            // A failure carries the values for a side-by-side view.
            List<DynamicTest> tests = DatapoolTests.rows(new Doubling()).collect(Collectors.toList());
            AssertionFailedError failed = assertThrows(AssertionFailedError.class, tests.get(0).getExecutable()::execute);
            assertEquals("5", failed.getExpected().getValue());
            assertEquals("4", failed.getActual().getValue());
            // An empty expected result that the test does not read skips nothing.
            for (DynamicTest row : DatapoolTests.rows(new Creating()).collect(Collectors.toList())) {
                row.getExecutable().execute();
            }

            // No rows, and no file: one failing test that says so.
            Files.write(dir.resolve("Doubling.csv"), "n,expectedReturn\n".getBytes(StandardCharsets.UTF_8));
            List<DynamicTest> none = DatapoolTests.rows(new Doubling()).collect(Collectors.toList());
            assertEquals("no rows", none.get(0).getDisplayName());
            assertThrows(AssertionFailedError.class, none.get(0).getExecutable()::execute);
            Files.delete(dir.resolve("Doubling.csv"));
            List<DynamicTest> missing = DatapoolTests.rows(new Doubling()).collect(Collectors.toList());
            assertTrue(assertThrows(DatapoolException.class, missing.get(0).getExecutable()::execute).getMessage()
                    .startsWith("the datapool Doubling has no file "));
        } finally {
            System.clearProperty(Datapool.FOLDER_PROPERTY);
        }
    }

    enum Color { RED, GREEN }

    /** A value class of a model: made by its constructor, no parse method. */
    static final class Point {
        private final int x;
        private final int y;

        Point(int x, int y) {
            this.x = x;
            this.y = y;
        }

        @Override
        public String toString() {
            return "Point(" + x + ", " + y + ")";
        }
    }

    /**
     * The text forms of the typed read, as.(): the value's own text form,
     * or "!" and the failure's words (a text not of its type), or "~" and
     * the abort's words (a type of which no value can be made).
     */
    @TestFactory
    Stream<DynamicTest> textForms() {
        Object[][] cases = {
            {new TypeOf<Integer>() {}, "42", "42"},
            {new TypeOf<Integer>() {}, " null ", "null"},
            {new TypeOf<Long>() {}, "x", "!holds \"x\", which is not a long"},
            {new TypeOf<java.math.BigInteger>() {}, "123456789012345678901234567890", "123456789012345678901234567890"},
            {new TypeOf<Character>() {}, "ab", "!which is not a single character"},
            {new TypeOf<Color>() {}, "GREEN", "GREEN"},
            {new TypeOf<Color>() {}, "BLUE", "!which is not a constant of Color [RED, GREEN]"},
            {new TypeOf<int[]>() {}, "[1, 2, 3]", "[1, 2, 3]"},
            {new TypeOf<List<String>>() {}, "[a, \"b, c\", \"q\\\"d\", \" x \"]", "[a, b, c, q\"d,  x ]"},
            {new TypeOf<List<String>>() {}, "[null, \"null\"]", "[null, null]"},
            {new TypeOf<List<List<Integer>>>() {}, "[[1], [2, 3], []]", "[[1], [2, 3], []]"},
            {new TypeOf<List<Integer>>() {}, "1, 2", "!which is not a list written [a, b, ...]"},
            {new TypeOf<java.util.Set<Color>>() {}, "[RED, RED, GREEN]", "[RED, GREEN]"},
            {new TypeOf<java.util.Map<String, Integer>>() {}, "{b=2, \"a=\"=1}", "{b=2, a==1}"},
            {new TypeOf<java.util.Optional<Integer>>() {}, "7", "Optional[7]"},
            {new TypeOf<java.util.Optional<Integer>>() {}, "null", "Optional.empty"},
            {new TypeOf<java.time.LocalDate>() {}, "2024-02-29", "2024-02-29"},
            {new TypeOf<java.time.LocalDate>() {}, "2023-02-29", "!which is not a LocalDate"},
            {new TypeOf<Point>() {}, "(1, 2)", "Point(1, 2)"},
            {new TypeOf<Point[]>() {}, "[Point(3, 4)]", "[Point(3, 4)]"},
            {new TypeOf<Point>() {}, "(1)", "!which is not a Point made by a constructor of [2] argument(s)"},
            {new TypeOf<Runnable>() {}, "x",
                "~no value of the type java.lang.Runnable can be made for the field value (an interface"},
            // An empty field: its type's default.
            {new TypeOf<Integer>() {}, "", "null"},
            {new TypeOf<String>() {}, "", "null"},
            {new TypeOf<String>() {}, "\"\"", ""},
            {new TypeOf<int[]>() {}, "", "[]"},
            {new TypeOf<List<String>>() {}, "", "[]"},
            {new TypeOf<java.util.Map<String, Integer>>() {}, "", "{}"},
            {new TypeOf<java.util.Optional<Integer>>() {}, "", "Optional.empty"},
            {new TypeOf<Point>() {}, "", "null"},
            {new TypeOf<Runnable>() {}, "", "null"},
            // A char in quotes, \0 the character 0; map entries whose key and value are both quoted.
            {new TypeOf<Character>() {}, "\"\\0\"", "\0"},
            {new TypeOf<Character>() {}, "\",\"", ","},
            {new TypeOf<Character>() {}, "\"\"", "!which is not a single character"},
            {new TypeOf<List<String>>() {}, "[\"a\\0\", \"\\\\0\"]", "[a\0, \\0]"},
            {new TypeOf<java.util.Map<String, String>>() {}, "{\"a\"=\"b, c\", \"{\"=\"\"}", "{a=b, c, {=}"},
        };
        return Arrays.stream(cases).map(c -> DynamicTest.dynamicTest(
                ((TypeOf<?>) c[0]).type().getTypeName() + " " + c[1], () -> {
                    DatapoolValue value = new DatapoolValue((String) c[1]);
                    String expected = (String) c[2];
                    if (expected.startsWith("!")) {
                        DatapoolException e = assertThrows(DatapoolException.class, () -> value.as((TypeOf<?>) c[0]));
                        assertTrue(e.getMessage().contains(expected.substring(1)), e.getMessage());
                    } else if (expected.startsWith("~")) {
                        RowAbortedException e =
                                assertThrows(RowAbortedException.class, () -> value.as((TypeOf<?>) c[0]));
                        assertTrue(e.getMessage().contains(expected.substring(1)), e.getMessage());
                    } else {
                        assertEquals(expected, DatapoolValue.text(value.as((TypeOf<?>) c[0])));
                    }
                }));
    }

    /** A value whose toString() throws: a failure's message must still be made. */
    static final class Broken {
        @Override
        public String toString() {
            throw new IllegalStateException("broken");
        }
    }

    /**
     * The oracles of Results.same, under the tolerance a row gives (empty:
     * the default): each case is expected, actual, tolerance, and whether
     * they are the same.
     */
    @TestFactory
    Stream<DynamicTest> oracles() throws IOException {
        Object[][] cases = {
            {0.3, 0.1 + 0.2, "", true},
            {0.3, 0.31, "", false},
            {0.3, 0.31, "0.05", true},
            {Double.NaN, Double.NaN, "", true},
            {Double.POSITIVE_INFINITY, Double.NEGATIVE_INFINITY, "", false},
            {1e12, 1e12 + 1e-2, "", true},
            {0.3f, 0.1f + 0.2f, "", true},
            {new java.math.BigDecimal("19"), new java.math.BigDecimal("19.00"), "", true},
            {new java.math.BigDecimal("19"), new java.math.BigDecimal("19.01"), "", false},
            {new java.math.BigDecimal("19"), new java.math.BigDecimal("19.01"), "0.01", true},
            {new int[] {1, 2}, new int[] {1, 2}, "", true},
            {new int[] {1, 2}, new int[] {1, 2, 3}, "", false},
            {new double[] {0.3}, new double[] {0.1 + 0.2}, "", true},
            {List.of(1, 2), new java.util.LinkedList<>(List.of(1, 2)), "", true},
            {List.of(1, 2), List.of(2, 1), "", false},
            {java.util.Set.of(0.3), java.util.Set.of(0.1 + 0.2), "", true},
            {new java.util.ArrayDeque<>(List.of("a")), new java.util.ArrayDeque<>(List.of("a")), "", true},
            {java.util.Map.of("a", 0.3), java.util.Map.of("a", 0.1 + 0.2), "", true},
            {java.util.Map.of("a", 1), java.util.Map.of("b", 1), "", false},
            {java.util.Optional.of(0.3), java.util.Optional.of(0.1 + 0.2), "", true},
            {"Bob", null, "", false},
            {null, null, "", true},
            {"", "", "", true},
        };
        Files.write(dir.resolve("Tol.csv"), ("tolerance\n" + Arrays.stream(cases).map(c -> "\"" + c[2] + "\"")
                .collect(Collectors.joining("\n")) + "\n").getBytes(StandardCharsets.UTF_8));
        Datapool dp = Datapool.read("Tol", dir.resolve("Tol.csv"));
        return Arrays.stream(cases).map(c -> DynamicTest.dynamicTest(
                Values.text(c[0]) + " ~ " + Values.text(c[1]) + " within [" + c[2] + "]", () -> {
                    dp.select(Arrays.asList(cases).indexOf(c));
                    TestLog.begin(dp, TestLog.PRINTER);
                    try {
                        assertEquals(c[3], Results.same(c[0], c[1]));
                    } finally {
                        TestLog.end();
                    }
                }));
    }

    @Test
    void primitiveResultsAndMessagesThatNeverThrow() {
        assertTrue(Results.same(0.3, 0.1 + 0.2));
        assertTrue(Results.same(Double.NaN, Double.NaN));
        assertEquals(false, Results.same(9007199254740993L, 9007199254740992L), "longs compare exactly");
        assertEquals(false, Results.same(new Broken(), new Broken()));
        assertTrue(DatapoolValue.text(new Broken()).contains("its toString() threw java.lang.IllegalStateException"));
        assertEquals("[a, <ztunittest.runtime.RuntimeTest$Broken: its toString() threw "
                + "java.lang.IllegalStateException: broken>]", DatapoolValue.text(List.of("a", new Broken())));
    }

    /** The null form and the quoted form of a text, beside the text as it is. */
    @Test
    void textsHaveANullAndAQuotedForm() {
        String[][] cases = {{"null", null}, {"\"null\"", "null"}, {"\"\"", ""}, {"\"a \\\" b\"", "a \" b"},
            {" Bob ", " Bob "}, {"say \"hi\"", "say \"hi\""}};
        for (String[] c : cases) {
            assertEquals(c[1], new DatapoolValue(c[0]).stringValue(), c[0]);
        }
        assertEquals(null, new DatapoolValue("null").getBigDecimal());
    }

    /** A test of an operation that may throw, as the bundled templates write it. */
    static final class Dividing extends UnitTest {
        Dividing() {
            super("Dividing");
        }

        @Override
        public void test() throws Exception {
            int a = dp.value("a").intValue();
            int b = dp.value("b").intValue();
            int expectedReturn = dp.value("expectedReturn").intValue();
            int actualReturn = 0;
            try {
                actualReturn = a / b;
            } catch (Throwable thrown) {
                Results.threw("divide", thrown);
                return;
            }
            if (!Results.returned("divide")) {
                return;
            }
            if (Results.same(expectedReturn, actualReturn)) {
                TestLog.message("Expected result", TestLog.KTS_LOG_RESULT_PASS, "Call to divide returned expected value");
            } else {
                TestLog.message("Unexpected result", TestLog.KTS_LOG_RESULT_FAIL,
                        "Call to divide returned unexpected value, " + DatapoolValue.text(actualReturn) + ".");
            }
        }
    }

    /** Each row's outcome under JUnit: "ok", or the message of its failure. */
    @Test
    void expectedExceptionsUnderJUnit() throws Throwable {
        Files.write(dir.resolve("Dividing.csv"), ("a,b,expectedReturn,expectedException\n"
                + "7,2,3,\n5,0,,ArithmeticException\n5,0,,java.lang.RuntimeException\n5,0,1,\n"
                + "7,2,,IllegalStateException\n5,0,,IllegalStateException\n7,2,4,\n").getBytes(StandardCharsets.UTF_8));
        System.setProperty(Datapool.FOLDER_PROPERTY, dir.toString());
        try {
            List<String> outcomes = new java.util.ArrayList<>();
            for (DynamicTest row : DatapoolTests.rows(new Dividing()).collect(Collectors.toList())) {
                try {
                    row.getExecutable().execute();
                    outcomes.add(row.getDisplayName() + " | ok");
                } catch (AssertionFailedError e) {
                    outcomes.add(row.getDisplayName() + " | " + e.getMessage()
                            + (e.getCause() != null ? " | caused by " + e.getCause().getClass().getSimpleName() : ""));
                }
            }
            assertEquals(List.of(
                    "row 1: a=7, b=2, expectedReturn=3 | ok",
                    "row 2: a=5, b=0, expectedReturn=, expectedException=ArithmeticException | ok",
                    "row 3: a=5, b=0, expectedReturn=, expectedException=java.lang.RuntimeException | ok",
                    "row 4: a=5, b=0, expectedReturn=1 | Call to divide threw java.lang.ArithmeticException: / by zero"
                            + " (row 4: a=5, b=0) | caused by ArithmeticException",
                    "row 5: a=7, b=2, expectedReturn=, expectedException=IllegalStateException | Call to divide "
                            + "returned instead of throwing the expected IllegalStateException (row 5: a=7, b=2)",
                    "row 6: a=5, b=0, expectedReturn=, expectedException=IllegalStateException | Call to divide threw "
                            + "java.lang.ArithmeticException: / by zero, not the expected IllegalStateException"
                            + " (row 6: a=5, b=0)",
                    "row 7: a=7, b=2, expectedReturn=4 | Call to divide returned unexpected value, 3. ==> expected:"
                            + " <4> but was: <3> (row 7: a=7, b=2)"), outcomes);
        } finally {
            System.clearProperty(Datapool.FOLDER_PROPERTY);
        }
    }

    /**
     * The text form a recorded result is written in reads back as the same
     * value: each case is a value, its form, and the type it is read as; a
     * form "!" and words: the value cannot be recorded, and why.
     */
    @TestFactory
    Stream<DynamicTest> recordedForms() {
        Object[][] cases = {
            {"Bob", "Bob", new TypeOf<String>() {}},
            {"", "\"\"", new TypeOf<String>() {}},
            {"null", "\"null\"", new TypeOf<String>() {}},
            {"  ", "\"  \"", new TypeOf<String>() {}},
            {" a ", " a ", new TypeOf<String>() {}},
            {"\"q\"", "\"\\\"q\\\"\"", new TypeOf<String>() {}},
            {null, "null", new TypeOf<String>() {}},
            {'x', "x", new TypeOf<Character>() {}},
            {0.1 + 0.2, "0.30000000000000004", new TypeOf<Double>() {}},
            {Double.NaN, "NaN", new TypeOf<Double>() {}},
            {new java.math.BigDecimal("19.00"), "19.00", new TypeOf<java.math.BigDecimal>() {}},
            {new java.math.BigDecimal("1E+3"), "1000", new TypeOf<java.math.BigDecimal>() {}},
            {Color.RED, "RED", new TypeOf<Color>() {}},
            {java.time.LocalDate.of(2024, 2, 29), "2024-02-29", new TypeOf<java.time.LocalDate>() {}},
            {new int[] {1, 2}, "[1, 2]", new TypeOf<int[]>() {}},
            {Arrays.asList("a, b", "", "null", " x ", null, "[", "k=v"),
                "[\"a, b\", \"\", \"null\", \" x \", null, \"[\", \"k=v\"]", new TypeOf<List<String>>() {}},
            {List.of('a', ','), "[a, \",\"]", new TypeOf<List<Character>>() {}},
            {java.util.Map.of("k=", List.of(1)), "{\"k=\"=[1]}", new TypeOf<java.util.Map<String, List<Integer>>>() {}},
            {java.util.Optional.of(7), "7", new TypeOf<java.util.Optional<Integer>>() {}},
            {java.util.Optional.empty(), "null", new TypeOf<java.util.Optional<Integer>>() {}},
            {"a\0b", "\"a\\0b\"", new TypeOf<String>() {}},
            {'\0', "\"\\0\"", new TypeOf<Character>() {}},
            {Arrays.asList("\0", "\\0"), "[\"\\0\", \"\\\\0\"]", new TypeOf<List<String>>() {}},
            {java.util.Map.of("\"", ""), "{\"\\\"\"=\"\"}", new TypeOf<java.util.Map<String, String>>() {}},
            {java.util.Map.of("{", "a=b"), "{\"{\"=\"a=b\"}", new TypeOf<java.util.Map<String, String>>() {}},
            {new Point(1, 2), "!\"Point(1, 2)\" ", null},
            {new Object(), "!reads back as java.lang.Object@", null},
        };
        return Arrays.stream(cases).map(c -> DynamicTest.dynamicTest(Values.text(c[0]) + " as " + c[1], () -> {
            String form = (String) c[1];
            if (form.startsWith("!")) {
                IllegalArgumentException e = assertThrows(IllegalArgumentException.class, () -> Values.form(c[0]));
                assertTrue(e.getMessage().contains(form.substring(1)), e.getMessage());
                return;
            }
            assertEquals(form, Values.form(c[0]));
            assertTrue(Results.equal(c[0], new DatapoolValue(form).as((TypeOf<?>) c[2])), form + " reads back");
        }));
    }

    /**
     * Record mode: every row passes and the datapool is written with what
     * the run gave, a result or an exception, the inputs as they were; a
     * row that cannot run fails, naming why it cannot be recorded.
     */
    @Test
    void recordingWritesWhatTheRunGave() throws Throwable {
        Files.write(dir.resolve("Dividing.csv"), ("a,b,expectedReturn,expectedException\n"
                + "7,2,4,\n5,0,1,\n\" 9\",3,,IllegalStateException\n,,,\n8,x,,\n").getBytes(StandardCharsets.UTF_8));
        System.setProperty(Datapool.FOLDER_PROPERTY, dir.toString());
        System.setProperty(Recording.PROPERTY, dir.resolve("recorded").toString());
        try {
            List<String> outcomes = new java.util.ArrayList<>();
            for (DynamicTest row : DatapoolTests.rows(new Dividing()).collect(Collectors.toList())) {
                try {
                    row.getExecutable().execute();
                    outcomes.add("ok");
                } catch (DatapoolException | AssertionFailedError e) {
                    outcomes.add(e.getMessage());
                }
            }
            assertEquals(List.of("ok", "ok", "ok", "ok",
                    "row 5 of the datapool Dividing: the field b holds \"x\", which is not an int"), outcomes);
            assertEquals("a,b,expectedReturn,expectedException\n7,2,3,\n5,0,,java.lang.ArithmeticException\n"
                    + " 9,3,3,\n,,,java.lang.ArithmeticException\n8,x,,\n",
                    new String(Files.readAllBytes(dir.resolve("recorded/Dividing.csv")), StandardCharsets.UTF_8));
        } finally {
            System.clearProperty(Datapool.FOLDER_PROPERTY);
            System.clearProperty(Recording.PROPERTY);
        }
    }

    /** A test whose call returns `result` for the input 0 and null for others, its expected result read as `type`. */
    static final class Returning extends UnitTest {
        private final TypeOf<?> type;
        private final Object result;

        Returning(TypeOf<?> type, Object result) {
            super("Returning");
            this.type = type;
            this.result = result;
        }

        @Override
        public void test() throws Exception {
            int n = dp.value("n").intValue();
            Object expectedReturn = dp.value("expectedReturn").as(type);
            Object actualReturn = n == 0 ? result : null;
            if (!Results.returned("pick")) {
                return;
            }
            if (Results.same(expectedReturn, actualReturn)) {
                TestLog.message("Expected result", TestLog.KTS_LOG_RESULT_PASS, "Call to pick returned expected value");
            }
        }
    }

    /**
     * Record mode writes a result only in a form that comes back from the
     * file (UTF-8, no NUL, which the import refuses) and reads back as the
     * same value of the type the test reads; otherwise the row fails, says
     * why, and keeps what it held (row 1 expected an exception). Each case:
     * the type, the result, and the cell recorded, or "!" and why not.
     */
    @TestFactory
    Stream<DynamicTest> recordingWritesOnlyWhatReadsBack() {
        Object[][] cases = {
            {new TypeOf<String>() {}, "a\0b", "\"\"\"a\\0b\"\"\""},
            {new TypeOf<Character>() {}, '\0', "\"\"\"\\0\"\"\""},
            {new TypeOf<java.util.Map<String, String>>() {}, java.util.Map.of("{", "}"), "\"{\"\"{\"\"=\"\"}\"\"}\""},
            {new TypeOf<List<String>>() {}, List.of("x\uD800y"),
                "!the result [x\\uD800y] has no text form that reads back as it ([x\\uD800y] holds a lone surrogate"
                        + " (U+D800), which UTF-8 cannot write)"},
            {new TypeOf<Object>() {}, 7, "!the result 7 has no text form that reads back as it (7 reads back as the "
                    + "java.lang.String 7, not as a java.lang.Integer)"},
            {new TypeOf<Object>() {}, new Object(), "!has no text form that reads back as it"},
        };
        return Arrays.stream(cases).map(c -> DynamicTest.dynamicTest(((TypeOf<?>) c[0]).type().getTypeName() + " "
                + Values.text(c[1]).replace("\0", "\\0"), () -> {
            Files.write(dir.resolve("Returning.csv"), "n,expectedReturn,expectedException\n0,,IllegalStateException\n1,,\n"
                    .getBytes(StandardCharsets.UTF_8));
            Path recorded = dir.resolve("recorded/Returning.csv");
            Files.deleteIfExists(recorded);
            System.setProperty(Datapool.FOLDER_PROPERTY, dir.toString());
            System.setProperty(Recording.PROPERTY, recorded.getParent().toString());
            List<String> outcomes = new java.util.ArrayList<>();
            try {
                for (DynamicTest row : DatapoolTests.rows(new Returning((TypeOf<?>) c[0], c[1]))
                        .collect(Collectors.toList())) {
                    try {
                        row.getExecutable().execute();
                        outcomes.add("ok");
                    } catch (AssertionFailedError e) {
                        outcomes.add(e.getMessage());
                    }
                }
            } finally {
                System.clearProperty(Datapool.FOLDER_PROPERTY);
                System.clearProperty(Recording.PROPERTY);
            }
            String cell = (String) c[2];
            String file = new String(Files.readAllBytes(recorded), StandardCharsets.UTF_8);
            if (cell.startsWith("!")) {
                assertTrue(outcomes.get(0).startsWith("row 1 of the datapool Returning cannot be recorded: "), outcomes.get(0));
                assertTrue(outcomes.get(0).contains(cell.substring(1)), outcomes.get(0));
                assertEquals("n,expectedReturn,expectedException\n0,,IllegalStateException\n1,null,\n", file);
                return;
            }
            assertEquals(List.of("ok", "ok"), outcomes);
            assertEquals("n,expectedReturn,expectedException\n0," + cell + ",\n1,null,\n", file);
            Datapool back = Datapool.read("Returning", recorded);
            assertTrue(Results.equal(c[1], back.value("expectedReturn").as((TypeOf<?>) c[0])), "reads back");
        }));
    }
}
