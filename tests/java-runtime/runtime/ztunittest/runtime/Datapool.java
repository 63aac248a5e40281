package ztunittest.runtime;

import java.io.IOException;
import java.io.Reader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.Properties;

/**
 * The test inputs and the expected result of one generated test, by field
 * name. This runtime reads a datapool named N from the file N.properties in
 * the folder the system property "ztunittest.datapools" names (the current
 * folder when it is not set); without that file the datapool is empty.
 */
public final class Datapool {
    private final String name;
    private final Properties fields;

    private Datapool(String name, Properties fields) {
        this.name = name;
        this.fields = fields;
    }

    /** Opens the datapool `name`; raises an unchecked error when its file cannot be read. */
    public static Datapool open(String name) {
        Properties fields = new Properties();
        Path file = Paths.get(System.getProperty("ztunittest.datapools", "."), name + ".properties");
        if (Files.isRegularFile(file)) {
            try (Reader in = Files.newBufferedReader(file, StandardCharsets.UTF_8)) {
                fields.load(in);
            } catch (IOException e) {
                throw new IllegalStateException("cannot read the datapool " + file + ": " + e.getMessage(), e);
            }
        }
        return new Datapool(name, fields);
    }

    public String name() {
        return name;
    }

    /** The field `field`; raises an unchecked error when the datapool has no such field. */
    public DatapoolValue value(String field) {
        String text = fields.getProperty(field);
        if (text == null) {
            throw new IllegalArgumentException("the datapool " + name + " has no field " + field);
        }
        return new DatapoolValue(text);
    }
}
