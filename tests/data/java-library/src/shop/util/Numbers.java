package shop.util;

import java.math.BigDecimal;
import java.math.RoundingMode;
import java.util.ArrayList;
import java.util.List;

/** Arithmetic and texts whose results need more than equals: exceptions, tolerances, nulls, contents. */
public final class Numbers {
    private Numbers() {
    }

    /** Throws ArithmeticException for a divisor 0. */
    public static int divide(int dividend, int divisor) {
        return dividend / divisor;
    }

    /** 0.1 + 0.2 is not 0.3 exactly. */
    public static double sum(double a, double b) {
        return a + b;
    }

    /** NaN for 0 / 0, an infinity for x / 0. */
    public static double ratio(double a, double b) {
        return a / b;
    }

    /** A gross price with two places: 19 gives 19.00. */
    public static BigDecimal gross(BigDecimal net) {
        return net.setScale(2, RoundingMode.HALF_UP);
    }

    /** The empty text for blanks; a NullPointerException for null. */
    public static String trim(String text) {
        return text.trim();
    }

    /** The first three letters of a long name; null for a short one. */
    public static String nickname(String name) {
        return name.length() > 3 ? name.substring(0, 3) : null;
    }

    /** The decimal digits of n, most significant first. */
    public static int[] digits(int n) {
        String text = Integer.toString(Math.abs(n));
        int[] digits = new int[text.length()];
        for (int i = 0; i < digits.length; i++) {
            digits[i] = text.charAt(i) - '0';
        }
        return digits;
    }

    /** The words of a text, split at blanks. */
    public static List<String> words(String text) {
        List<String> words = new ArrayList<>();
        for (String word : text.trim().split(" +")) {
            if (!word.isEmpty()) {
                words.add(word);
            }
        }
        return words;
    }
}
