package optparse;

import java.util.ArrayList;
import java.util.List;

/** Reads command lines: the options it accepts, then the words given. */
public class OptionParser {
    private final List<String> accepted = new ArrayList<>();
    private final boolean stopAtFirstWord;

    public OptionParser() {
        this(false);
    }

    public OptionParser(boolean stopAtFirstWord) {
        this.stopAtFirstWord = stopAtFirstWord;
    }

    public OptionParser accepts(String option) {
        accepted.add(option);
        return this;
    }

    public OptionSet parse(String... arguments) {
        List<String> given = new ArrayList<>();
        List<String> rest = new ArrayList<>();
        boolean words = false;
        for (String argument : arguments) {
            if (!words && isOption(argument)) {
                String name = argument.replaceFirst("^--?", "");
                if (!accepted.contains(name)) throw new IllegalArgumentException("unknown option " + argument);
                given.add(name);
            } else {
                rest.add(argument);
                words = stopAtFirstWord;
            }
        }
        return new OptionSet(given, rest);
    }

    public List<String> recognizedOptions() {
        return new ArrayList<>(accepted);
    }

    private boolean isOption(String argument) {
        return argument.startsWith("-") && argument.length() > 1;
    }
}
