package optparse.util;

import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.Date;

/** Converts the text of an option's value. */
public final class Values {
    private Values() {
    }

    public static Integer integerOf(String text) {
        return Integer.valueOf(text.trim());
    }

    public static Date dateOf(long millis) {
        return new Date(millis);
    }

    public static Path pathOf(String text) {
        return Paths.get(text);
    }

    public static String describe(Path path, Date since) {
        return path.getFileName() + " since " + since.getTime();
    }
}
