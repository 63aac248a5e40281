package ztunittest.runtime;

import java.math.BigDecimal;

/**
 * One field of a datapool row, read as the type the test needs. Blanks
 * around a number or a truth value are ignored. A value that is not of the
 * type raises a DatapoolException naming the row and the field.
 *
 * The expected result (the field "expectedReturn") may be left empty: it
 * then reads as zero, false, the character 0 or the empty text, and the
 * test's check of the result is skipped (see TestLog).
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
        return field.equals(Datapool.EXPECTED_RESULT) && text.trim().isEmpty();
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
        if (notGiven()) {
            return null;
        }
        return (T) Values.make(text, type.type(), where);
    }

    /** `value` in its text form, as a failure shows an actual value: arrays and lists as [a, b]. */
    public static String text(Object value) {
        return Values.text(value);
    }

    public boolean booleanValue() {
        String word = text.trim();
        if (word.equalsIgnoreCase("true")) {
            return true;
        }
        if (word.equalsIgnoreCase("false") || notGiven()) {
            return false;
        }
        throw wrong("a boolean (true or false)", null);
    }

    /** The one character the field holds. */
    public char charValue() {
        if (text.length() == 1) {
            return text.charAt(0);
        }
        if (notGiven()) {
            return '\0';
        }
        throw wrong("a single character", null);
    }

    public byte byteValue() {
        return (byte) integer("a byte", Byte.MIN_VALUE, Byte.MAX_VALUE);
    }

    public short shortValue() {
        return (short) integer("a short", Short.MIN_VALUE, Short.MAX_VALUE);
    }

    public int intValue() {
        return (int) integer("an int", Integer.MIN_VALUE, Integer.MAX_VALUE);
    }

    public long longValue() {
        return integer("a long", Long.MIN_VALUE, Long.MAX_VALUE);
    }

    public float floatValue() {
        return notGiven() ? 0.0F : (float) decimal("a float");
    }

    public double doubleValue() {
        return notGiven() ? 0.0 : decimal("a double");
    }

    /**
     * The field as a text: "null" is null, a text in double quotes the text
     * inside them ("" the empty text, "null" the word), any other text as
     * it is. An expected result that is empty is null.
     */
    public String stringValue() {
        return notGiven() ? null : (String) Values.make(text, String.class, where);
    }

    /** The decimal number the field holds; "null" is null. */
    public BigDecimal getBigDecimal() {
        if (notGiven()) {
            return BigDecimal.ZERO;
        }
        if (text.trim().equals("null")) {
            return null;
        }
        try {
            return new BigDecimal(text.trim());
        } catch (NumberFormatException e) {
            throw wrong("a decimal number", e);
        }
    }

    private long integer(String type, long min, long max) {
        if (notGiven()) {
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
