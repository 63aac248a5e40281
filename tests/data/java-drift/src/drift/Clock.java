package drift;

import java.io.IOException;
import java.util.ArrayList;
import java.util.List;

/** A clock. The model drawn of it (../../drift.json) has drifted from it. */
public class Clock {
    private long start;
    private final String zone;

    public Clock(long start, String zone) {
        this.start = start;
        this.zone = zone;
    }

    public String format(long millis) {
        return zone + "+" + (millis - start);
    }

    public String format(String pattern) {
        return pattern + "@" + zone;
    }

    public long elapsed(long now) {
        return now - start;
    }

    public static Clock utc(long start) {
        return new Clock(start, "UTC");
    }

    public void reset() {
        start = 0;
    }

    public List<String> zones(String... names) throws IOException {
        if (names.length == 0) throw new IOException("no zone");
        List<String> zones = new ArrayList<>();
        for (String name : names) zones.add(name + "/" + zone);
        return zones;
    }

    /** Builds clocks: a static nested class. */
    public static class Builder {
        private long start;

        public Builder at(long millis) {
            start = millis;
            return this;
        }

        public Clock build() {
            return new Clock(start, "UTC");
        }
    }

    /** A tick of one clock: an inner class, whose objects need their clock. */
    public class Tick {
        public long value() {
            return start;
        }
    }
}
