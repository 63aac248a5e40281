import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeSet;

/**
 * Writes Java classes with the signatures of a model, as "ztunittest model
 * show" lists it on standard input, below the folder given as argument: each
 * class of the model with its operations (bodies that return a default
 * value), interfaces as interfaces, and an empty class for every type the
 * operations name that is neither a class of the model nor Java's. A class
 * lies in the package of its model package, each name made a Java name.
 *
 *     ztunittest model show M.json | java -cp DIR SkeletonWriter OUT
 */
public final class SkeletonWriter {
    private static final Set<String> KEYWORDS = new TreeSet<>(Arrays.asList(("abstract assert boolean break byte case "
            + "catch char class const continue default do double else enum extends final finally float for goto if "
            + "implements import instanceof int interface long native new package private protected public return "
            + "short static strictfp super switch synchronized this throw throws transient try void volatile while "
            + "true false null _").split(" ")));
    private static final Set<String> JAVA_TYPES = new TreeSet<>(Arrays.asList(
            "void", "boolean", "char", "byte", "short", "int", "long", "float", "double", "String", "Object",
            "java.lang.String", "BigDecimal", "java.math.BigDecimal"));

    private static final class Type {
        String pkg;
        String name;
        boolean isInterface;
        boolean isAbstract;
        final List<String> operations = new ArrayList<>();
    }

    private SkeletonWriter() {
    }

    static String identifier(String name) {
        StringBuilder id = new StringBuilder();
        for (char c : name.toCharArray()) {
            id.append(c >= 0x80 || Character.isLetterOrDigit(c) || c == '_' || c == '$' ? c : '_');
        }
        if (id.length() == 0 || Character.isDigit(id.charAt(0))) {
            id.insert(0, '_');
        }
        return KEYWORDS.contains(id.toString()) ? id + "_" : id.toString();
    }

    // The Java package of a class's qualified name: the parts between the
    // root package and the class, split at dots too.
    static String packageOf(String qualified) {
        String[] parts = qualified.split("::");
        List<String> names = new ArrayList<>();
        for (int i = 1; i < parts.length - 1; i++) {
            for (String part : parts[i].split("\\.", -1)) {
                names.add(identifier(part));
            }
        }
        return String.join(".", names);
    }

    static String defaultOf(String type) {
        switch (type) {
            case "void": return null;
            case "boolean": return "false";
            case "char": return "'\\0'";
            case "byte": case "short": case "int": case "long": case "float": case "double": return "0";
            default: return "null";
        }
    }

    public static void main(String[] args) throws IOException {
        Path out = Paths.get(args[0]);
        Map<String, Type> types = new LinkedHashMap<>();
        Map<String, Set<String>> named = new LinkedHashMap<>();  // type names used, by package
        BufferedReader in = new BufferedReader(new InputStreamReader(System.in, StandardCharsets.UTF_8));
        Type current = null;
        for (String line; (line = in.readLine()) != null;) {
            line = line.trim();
            if (line.startsWith("Class ")) {
                String rest = line.substring(6);
                current = new Type();
                if (rest.endsWith(" abstract")) {
                    current.isAbstract = true;
                    rest = rest.substring(0, rest.length() - 9);
                }
                int language = rest.lastIndexOf(" language ");
                if (language >= 0) {
                    rest = rest.substring(0, language);
                }
                int stereotype = rest.lastIndexOf(" \u00ab");
                if (stereotype >= 0) {
                    current.isInterface = rest.endsWith("\u00abInterface\u00bb");
                    rest = rest.substring(0, stereotype);
                }
                current.pkg = packageOf(rest);
                current.name = rest.substring(rest.lastIndexOf("::") + 2);
                types.put(current.pkg + "." + current.name, current);
            } else if (line.startsWith("Operation ") && current != null) {
                String rest = line.substring(10);
                // The listing ends with the visibility and "static"; the
                // skeleton's operations are public, and static as listed.
                for (String word : new String[] {" private", " protected", " package"}) {
                    if (rest.endsWith(word)) {
                        rest = rest.substring(0, rest.length() - word.length());
                    }
                }
                boolean isStatic = rest.endsWith(" static");
                if (isStatic) {
                    rest = rest.substring(0, rest.length() - 7);
                }
                int open = rest.indexOf('(');
                int close = rest.lastIndexOf(')');
                String name = rest.substring(rest.lastIndexOf("::", open) + 2, open);
                String result = rest.startsWith(": ", close + 1) ? rest.substring(close + 3) : "void";
                if (name.equals(current.name)) {
                    continue;  // a constructor
                }
                List<String> parameters = new ArrayList<>();
                String list = rest.substring(open + 1, close);
                int n = 0;
                for (String parameter : list.isEmpty() ? new String[0] : list.split(", ")) {
                    String type = parameter.substring(parameter.indexOf(": ") + 2);
                    parameters.add(type + " p" + (++n));
                    named.computeIfAbsent(current.pkg, k -> new TreeSet<>()).add(type.replace("[]", ""));
                }
                named.computeIfAbsent(current.pkg, k -> new TreeSet<>()).add(result.replace("[]", ""));
                String head = "    " + (current.isInterface ? "" : "public ") + (isStatic ? "static " : "") + result
                        + " " + name + "("
                        + String.join(", ", parameters) + ")";
                String value = defaultOf(result);
                current.operations.add(current.isInterface ? head + ";"
                        : head + " {" + (value == null ? "" : " return " + value + ";") + " }");
            }
        }
        for (Map.Entry<String, Set<String>> entry : named.entrySet()) {
            for (String name : entry.getValue()) {
                if (!JAVA_TYPES.contains(name) && !types.containsKey(entry.getKey() + "." + name)) {
                    Type stub = new Type();
                    stub.pkg = entry.getKey();
                    stub.name = name;
                    types.put(stub.pkg + "." + name, stub);
                }
            }
        }
        for (Type type : types.values()) {
            StringBuilder text = new StringBuilder();
            if (!type.pkg.isEmpty()) {
                text.append("package ").append(type.pkg).append(";\n");
            }
            text.append("import java.math.BigDecimal;\n");
            text.append("public ").append(type.isInterface ? "interface " : type.isAbstract ? "abstract class " : "class ")
                    .append(type.name).append(" {\n");
            for (String operation : type.operations) {
                text.append(operation).append('\n');
            }
            text.append("}\n");
            Path folder = out.resolve(type.pkg.replace('.', '/'));
            Files.createDirectories(folder);
            Files.write(folder.resolve(type.name + ".java"), text.toString().getBytes(StandardCharsets.UTF_8));
        }
    }
}
