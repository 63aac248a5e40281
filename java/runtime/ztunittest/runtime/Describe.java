package ztunittest.runtime;

import java.io.PrintStream;
import java.lang.reflect.Constructor;
import java.lang.reflect.Executable;
import java.lang.reflect.GenericArrayType;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.lang.reflect.ParameterizedType;
import java.lang.reflect.Type;
import java.lang.reflect.TypeVariable;
import java.lang.reflect.WildcardType;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * Describes compiled classes as the command line compares them with a model
 * and writes tests from them: run as
 * {@code java -cp ztunittest-runtime.jar:CLASSPATH ztunittest.runtime.Describe NAME...},
 * it prints one JSON document on standard output, a class per name given, in
 * order. A name is a class's canonical name ({@code shop.Order},
 * {@code shop.Order.Line} for a nested class); a class the class path does not
 * have is {@code "found": false}. No class is initialized.
 *
 * <p>Types are written as Java source spells them: canonical names, type
 * arguments, type variables by name, wildcards, arrays with {@code []} (the
 * last parameter of a variable-arity method too, with {@code "varargs": true}).
 * Each class gives its kind, modifiers, type parameters with their first
 * bound, its constructors, and its methods: those it declares (bridge and
 * synthetic ones left out), then the public ones it inherits from classes
 * of the class path ({@code "inherited"}: the class that declares it). A
 * class of the JDK is {@code "jdk": true}. A member's
 * {@code throws} lists each exception with whether it is checked.
 */
public final class Describe {
    private Describe() {
    }

    public static void main(String[] args) {
        PrintStream out = new PrintStream(System.out, true, StandardCharsets.UTF_8);
        StringBuilder json = new StringBuilder("{\"classes\": [");
        ClassLoader loader = Describe.class.getClassLoader();
        for (int i = 0; i < args.length; i++) {
            json.append(i == 0 ? "\n" : ",\n");
            Class<?> found = load(args[i], loader);
            Map<String, Object> entry = new LinkedHashMap<>();
            entry.put("query", args[i]);
            entry.put("found", found != null);
            if (found != null) describe(found, entry);
            write(entry, json);
        }
        json.append("\n]}\n");
        out.print(json);
    }

    /** The class of a canonical name: "a.B.C" is tried as a.B.C, a.B$C, a$B$C. */
    static Class<?> load(String name, ClassLoader loader) {
        String binary = name;
        while (true) {
            try {
                return Class.forName(binary, false, loader);
            } catch (ClassNotFoundException | LinkageError e) {
                int dot = binary.lastIndexOf('.');
                if (dot < 0) return null;
                binary = binary.substring(0, dot) + "$" + binary.substring(dot + 1);
            }
        }
    }

    static void describe(Class<?> c, Map<String, Object> entry) {
        int modifiers = c.getModifiers();
        entry.put("name", spell(c));
        entry.put("kind", c.isAnnotation() ? "annotation" : c.isInterface() ? "interface" : c.isEnum() ? "enum" : "class");
        entry.put("visibility", visibility(modifiers));
        entry.put("abstract", Modifier.isAbstract(modifiers) && !c.isInterface());
        entry.put("nested", c.getEnclosingClass() != null);
        // An inner class (a nested class that is not static) needs an object of its outer class.
        entry.put("inner", c.getEnclosingClass() != null && !Modifier.isStatic(modifiers) && !c.isInterface()
                && !c.isEnum());
        // A class of the JDK (the boot or platform loader's) is a library type, not the code under test.
        ClassLoader loader = c.getClassLoader();
        entry.put("jdk", loader == null || loader == ClassLoader.getPlatformClassLoader());
        entry.put("typeParameters", typeParameters(c.getTypeParameters()));
        List<Object> constructors = new ArrayList<>();
        for (Constructor<?> k : c.getDeclaredConstructors()) {
            if (!k.isSynthetic()) constructors.add(member(k, null));
        }
        entry.put("constructors", constructors);
        List<Object> methods = new ArrayList<>();
        for (Method m : c.getDeclaredMethods()) {
            if (!m.isSynthetic() && !m.isBridge()) methods.add(member(m, null));
        }
        for (Method m : c.getMethods()) {
            Class<?> from = m.getDeclaringClass();
            ClassLoader fromLoader = from.getClassLoader();
            boolean fromJdk = fromLoader == null || fromLoader == ClassLoader.getPlatformClassLoader();
            if (from != c && !fromJdk && !m.isSynthetic() && !m.isBridge()) {
                methods.add(member(m, spell(from)));
            }
        }
        entry.put("methods", methods);
    }

    static Map<String, Object> member(Executable e, String inheritedFrom) {
        Map<String, Object> m = new LinkedHashMap<>();
        int modifiers = e.getModifiers();
        if (e instanceof Method) m.put("name", e.getName());
        m.put("visibility", visibility(modifiers));
        m.put("static", Modifier.isStatic(modifiers));
        m.put("abstract", Modifier.isAbstract(modifiers));
        m.put("varargs", e.isVarArgs());
        if (inheritedFrom != null) m.put("inherited", inheritedFrom);
        m.put("typeParameters", typeParameters(e.getTypeParameters()));
        List<Object> parameters = new ArrayList<>();
        Type[] generic = e.getGenericParameterTypes();
        Class<?>[] raw = e.getParameterTypes();
        // An inner class's constructor has its outer object first, which
        // the generic types leave out.
        int offset = raw.length - generic.length;
        for (int i = 0; i < raw.length; i++) {
            Map<String, Object> p = new LinkedHashMap<>();
            p.put("type", i < offset ? spell(raw[i]) : spell(generic[i - offset]));
            p.put("erasure", spell(raw[i]));
            parameters.add(p);
        }
        m.put("parameters", parameters);
        if (e instanceof Method) {
            Method method = (Method) e;
            m.put("returnType", spell(method.getGenericReturnType()));
        }
        List<Object> throwsList = new ArrayList<>();
        for (Class<?> t : e.getExceptionTypes()) {
            Map<String, Object> x = new LinkedHashMap<>();
            x.put("type", spell(t));
            x.put("checked", !RuntimeException.class.isAssignableFrom(t) && !Error.class.isAssignableFrom(t));
            throwsList.add(x);
        }
        m.put("throws", throwsList);
        return m;
    }

    static List<Object> typeParameters(TypeVariable<?>[] variables) {
        List<Object> list = new ArrayList<>();
        for (TypeVariable<?> v : variables) {
            Map<String, Object> p = new LinkedHashMap<>();
            p.put("name", v.getName());
            Type[] bounds = v.getBounds();
            p.put("bound", bounds.length == 0 ? "java.lang.Object" : spell(bounds[0]));
            list.add(p);
        }
        return list;
    }

    static String visibility(int modifiers) {
        return Modifier.isPublic(modifiers) ? "public"
                : Modifier.isProtected(modifiers) ? "protected"
                : Modifier.isPrivate(modifiers) ? "private" : "package";
    }

    /** A type as Java source writes it, with canonical names. */
    static String spell(Type type) {
        if (type instanceof Class) {
            Class<?> c = (Class<?>) type;
            if (c.isArray()) return spell(c.getComponentType()) + "[]";
            String canonical = c.getCanonicalName();
            return canonical != null ? canonical : c.getName();
        }
        if (type instanceof ParameterizedType) {
            ParameterizedType p = (ParameterizedType) type;
            Class<?> raw = (Class<?>) p.getRawType();
            StringBuilder text = new StringBuilder();
            if (p.getOwnerType() instanceof ParameterizedType) {
                text.append(spell(p.getOwnerType())).append('.').append(raw.getSimpleName());
            } else {
                text.append(spell(raw));
            }
            Type[] arguments = p.getActualTypeArguments();
            if (arguments.length > 0) {
                text.append('<');
                for (int i = 0; i < arguments.length; i++) {
                    if (i > 0) text.append(", ");
                    text.append(spell(arguments[i]));
                }
                text.append('>');
            }
            return text.toString();
        }
        if (type instanceof TypeVariable) return ((TypeVariable<?>) type).getName();
        if (type instanceof WildcardType) {
            WildcardType w = (WildcardType) type;
            if (w.getLowerBounds().length > 0) return "? super " + spell(w.getLowerBounds()[0]);
            Type[] upper = w.getUpperBounds();
            if (upper.length == 0 || upper[0] == Object.class) return "?";
            return "? extends " + spell(upper[0]);
        }
        if (type instanceof GenericArrayType) return spell(((GenericArrayType) type).getGenericComponentType()) + "[]";
        return type.getTypeName();
    }

    /** JSON of maps, lists, strings and booleans. */
    static void write(Object value, StringBuilder json) {
        if (value instanceof Map) {
            json.append('{');
            boolean first = true;
            for (Map.Entry<?, ?> e : ((Map<?, ?>) value).entrySet()) {
                if (!first) json.append(", ");
                first = false;
                write(e.getKey(), json);
                json.append(": ");
                write(e.getValue(), json);
            }
            json.append('}');
        } else if (value instanceof List) {
            json.append('[');
            boolean first = true;
            for (Object item : (List<?>) value) {
                if (!first) json.append(", ");
                first = false;
                write(item, json);
            }
            json.append(']');
        } else if (value instanceof Boolean) {
            json.append(value);
        } else {
            String text = String.valueOf(value);
            json.append('"');
            for (int i = 0; i < text.length(); i++) {
                char ch = text.charAt(i);
                if (ch == '"' || ch == '\\') {
                    json.append('\\').append(ch);
                } else if (ch < 0x20) {
                    json.append(String.format("\\u%04x", (int) ch));
                } else {
                    json.append(ch);
                }
            }
            json.append('"');
        }
    }
}
