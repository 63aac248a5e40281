package optparse;

import java.util.ArrayList;
import java.util.List;

/** The options and words of one command line. */
public class OptionSet {
    private final List<String> given;
    private final List<String> rest;

    public OptionSet(List<String> given, List<String> rest) {
        this.given = new ArrayList<>(given);
        this.rest = new ArrayList<>(rest);
    }

    public boolean has(String option) {
        return given.contains(option);
    }

    public int count(String option) {
        int n = 0;
        for (String g : given) {
            if (g.equals(option)) n++;
        }
        return n;
    }

    public List<String> nonOptionArguments() {
        return new ArrayList<>(rest);
    }
}
