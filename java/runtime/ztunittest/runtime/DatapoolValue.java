package ztunittest.runtime;

import java.math.BigDecimal;

/**
 * One field of a datapool row, read as the type the test needs. Blanks
 * around a number or a truth value are ignored. A value that is not of the
 * type raises a DatapoolException naming the row and the field.
 *
 * The expected result (the field "expectedReturn") may be left empty: it
 * then reads as zero, false, the character 0 or null, and the test's check
 * of the result is skipped (see TestLog); so it reads when recording
 * (Recording), whatever it holds. Any other field that is empty reads as
 * its type's default: 0, false, the character 0, an empty array,
 * collection, map or Optional, null for other objects (a text included:
 * the empty text is written "").
 */
public final class DatapoolValue {
    private final Datapool datapool;
    private final String field;
    private final String text;

    DatapoolValue(Datapool datapool, String field, String text) {
        this.datapool = datapool;
        this.field = field;
        this.text = text;
    }

    /** A value that belongs to no datapool, for tests of code that reads values. */
    public DatapoolValue(String text) {
        this(null, "value", text);
    }

    // Whether this is an expected result that was not given.
    private boolean notGiven() {
        return field.equals(Datapool.EXPECTED_RESULT) && (text.trim().isEmpty() || Recording.on());
    }

    // Whether a number, a truth value or a character is empty: its type's default.
    private boolean blank() {
        return text.trim().isEmpty();
    }

    private DatapoolException wrong(String type, Throwable cause) {
        return wrong(text, type, cause);
    }

    private String where() {
        return datapool == null ? "" : datapool.where() + ": ";
    }

    private DatapoolException wrong(String value, String type, Throwable cause) {
        String what = value.isEmpty() ? "is empty" : "holds \"" + value + "\"";
        return new DatapoolException(where() + "the field " + field + " " + what + ", which is not " + type, cause);
    }

    /** Where the values of this field are made, for the messages that name it. */
    private final Values.Where where = new Values.Where() {
        @Override
        public DatapoolValue value(String elementText) {
            return new DatapoolValue(datapool, field, elementText);
        }

        @Override
        public DatapoolException wrong(String value, String type, Throwable cause) {
            return DatapoolValue.this.wrong(value, type, cause);
        }

        @Override
        public RowAbortedException cannotMake(String type, String why) {
            return new RowAbortedException(where() + "no value of the type " + type + " can be made for the field "
                    + field + " (" + why + "): the row was not run");
        }
    };

    /**
     * The field as a value of the type T, made from its text form
     * (docs/java.md): {@code dp.value("due").as(new TypeOf<LocalDate>() {})}.
     * An expected result that is empty is null. Raises DatapoolException when
     * the text is not of the type, RowAbortedException when no value of the
     * type can be made at all.
     */
    @SuppressWarnings("unchecked")
    public <T> T as(TypeOf<T> type) {
        readAs(type.type());
        if (notGiven()) {
            return null;
        }
        return (T) as(type.type());
    }

    // Tells the datapool the type its expected result is read as, which a
    // recorded result must read back as (Recording).
    private void readAs(java.lang.reflect.Type type) {
        if (datapool != null && field.equals(Datapool.EXPECTED_RESULT)) {
            datapool.expectedReadAs(type);
        }
    }

    /** The field as a value of `type`; an empty field is the type's default. */
    Object as(java.lang.reflect.Type type) {
        return text.isEmpty() ? Values.empty(type, where) : Values.make(text, type, where);
    }

    /** `value` in its text form, as a failure shows an actual value: arrays and lists as [a, b]. */
    public static String text(Object value) {
        return Values.text(value);
    }

    public boolean booleanValue() {
        readAs(boolean.class);
        String word = text.trim();
        if (word.equalsIgnoreCase("true")) {
            return true;
        }
        if (word.equalsIgnoreCase("false") || notGiven() || blank()) {
            return false;
        }
        throw wrong("a boolean (true or false)", null);
    }

    /** The one character the field holds, as it is or in double quotes ("\0" is the character 0). */
    public char charValue() {
        readAs(char.class);
        if (text.length() == 1 && !notGiven()) {
            return text.charAt(0);
        }
        if (text.length() > 2 && text.startsWith("\"") && text.endsWith("\"") && !notGiven()) {
            String inside = Values.Element.of(text).text;
            if (inside.length() == 1) {
                return inside.charAt(0);
            }
        }
        if (notGiven() || text.isEmpty()) {
            return '\0';
        }
        throw wrong("a single character", null);
    }

    public byte byteValue() {
        readAs(byte.class);
        return (byte) integer("a byte", Byte.MIN_VALUE, Byte.MAX_VALUE);
    }

    public short shortValue() {
        readAs(short.class);
        return (short) integer("a short", Short.MIN_VALUE, Short.MAX_VALUE);
    }

    public int intValue() {
        readAs(int.class);
        return (int) integer("an int", Integer.MIN_VALUE, Integer.MAX_VALUE);
    }

    public long longValue() {
        readAs(long.class);
        return integer("a long", Long.MIN_VALUE, Long.MAX_VALUE);
    }

    public float floatValue() {
        readAs(float.class);
        return notGiven() || blank() ? 0.0F : (float) decimal("a float");
    }

    public double doubleValue() {
        readAs(double.class);
        return notGiven() || blank() ? 0.0 : decimal("a double");
    }

    /**
     * The field as a text: "null" is null, a text in double quotes the text
     * inside them ("" the empty text, "null" the word), any other text as
     * it is. An empty field is null.
     */
    public String stringValue() {
        readAs(String.class);
        return notGiven() ? null : (String) as(String.class);
    }

    /** The decimal number the field holds; "null" and an empty input are null. */
    public BigDecimal getBigDecimal() {
        readAs(BigDecimal.class);
        if (notGiven()) {
            return BigDecimal.ZERO;
        }
        if (text.trim().equals("null") || blank()) {
            return null;
        }
        try {
            return new BigDecimal(text.trim());
        } catch (NumberFormatException e) {
            throw wrong("a decimal number", e);
        }
    }

    private long integer(String type, long min, long max) {
        if (notGiven() || blank()) {
            return 0;
        }
        try {
            long value = Long.parseLong(text.trim());
            if (value >= min && value <= max) {
                return value;
            }
        } catch (NumberFormatException e) {
            throw wrong(type, e);
        }
        throw wrong(type + " (" + min + " to " + max + ")", null);
    }

    private double decimal(String type) {
        try {
            return Double.parseDouble(text.trim());
        } catch (NumberFormatException e) {
            throw wrong(type, e);
        }
    }

    /** The field as it is stored. */
    @Override
    public String toString() {
        return text;
    }
}
