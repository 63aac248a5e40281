package ztunittest.runtime;

import java.math.BigDecimal;

/** One field of a datapool row, read as the type the test needs. */
public final class DatapoolValue {
    private final String text;

    public DatapoolValue(String text) {
        this.text = text;
    }

    public boolean booleanValue() {
        return Boolean.parseBoolean(text.trim());
    }

    /** The first character; 0 for an empty field. */
    public char charValue() {
        return text.isEmpty() ? '\0' : text.charAt(0);
    }

    public byte byteValue() {
        return Byte.parseByte(text.trim());
    }

    public short shortValue() {
        return Short.parseShort(text.trim());
    }

    public int intValue() {
        return Integer.parseInt(text.trim());
    }

    public long longValue() {
        return Long.parseLong(text.trim());
    }

    public float floatValue() {
        return Float.parseFloat(text.trim());
    }

    public double doubleValue() {
        return Double.parseDouble(text.trim());
    }

    public BigDecimal getBigDecimal() {
        return new BigDecimal(text.trim());
    }

    /** The field as it is stored. */
    @Override
    public String toString() {
        return text;
    }
}
