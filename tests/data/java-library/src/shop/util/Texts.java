package shop.util;

import java.math.BigInteger;
import java.time.LocalDate;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import shop.money.Currency;

/** Static helpers: the class is never made (its constructor is private). */
public final class Texts {
    private Texts() {
    }

    public static String join(String separator, String... parts) {
        return String.join(separator, parts);
    }

    public static int count(int[] values) {
        return values.length;
    }

    public static int count(List<String> items) {
        return items.size();
    }

    public static Integer parse(String text) {
        try {
            return Integer.valueOf(text.trim());
        } catch (NumberFormatException e) {
            return null;
        }
    }

    public static Long sum(Long a, Long b) {
        return a + b;
    }

    public static Map<String, Integer> histogram(String[] words) {
        Map<String, Integer> counts = new TreeMap<>();
        for (String word : words) {
            counts.merge(word, 1, Integer::sum);
        }
        return counts;
    }

    public static LocalDate nextDay(LocalDate day) {
        return day.plusDays(1);
    }

    public static BigInteger square(BigInteger n) {
        return n.multiply(n);
    }

    public static Currency currencyOf(String code) {
        return Currency.valueOf(code);
    }

    public static boolean[] flags(int n) {
        return new boolean[n];
    }

    public static char initial(String text) {
        return text.charAt(0);
    }

    private static String pad(String text) {
        return " " + text;
    }
}
