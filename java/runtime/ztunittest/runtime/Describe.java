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
 * of the class path ({@code "inherited"}: the class that declares it). An
 * inherited method's types are as the class sees them: the type variables of
 * its generic superclasses and interfaces replaced by the type arguments the
 * class gives them, through the whole chain ({@code IntBox extends
 * Box<Integer>} has {@code Integer get()} of {@code Box<T>}; {@code Sub<K>
 * extends Base<List<K>>} gives {@code Base}'s {@code T} as {@code List<K>});
 * a variable that no argument replaces (a raw supertype, and every one a
 * generic class inherits, as a test names the class raw and Java erases what
 * a raw type inherits) is kept by name and listed with its bound in
 * {@code "inheritedTypeParameters"}. A class of the JDK is {@code "jdk": true}. A
 * member's {@code throws} lists each exception with whether it is checked.
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
            if (!k.isSynthetic()) constructors.add(member(k, c, null, Map.of()));
        }
        entry.put("constructors", constructors);
        List<Object> methods = new ArrayList<>();
        for (Method m : c.getDeclaredMethods()) {
            if (!m.isSynthetic() && !m.isBridge()) methods.add(member(m, c, null, Map.of()));
        }
        // A test names a generic class raw, and what a raw type inherits is
        // erased: only a class without type parameters has its supertypes'
        // type arguments.
        Map<Class<?>, Map<TypeVariable<?>, Bound>> supertypes = new LinkedHashMap<>();
        if (c.getTypeParameters().length == 0) arguments(c, Map.of(), supertypes);
        for (Method m : c.getMethods()) {
            Class<?> from = m.getDeclaringClass();
            ClassLoader fromLoader = from.getClassLoader();
            boolean fromJdk = fromLoader == null || fromLoader == ClassLoader.getPlatformClassLoader();
            if (from != c && !fromJdk && !m.isSynthetic() && !m.isBridge()) {
                methods.add(member(m, c, spell(from), supertypes.getOrDefault(from, Map.of())));
            }
        }
        entry.put("methods", methods);
    }

    /** A type argument and the arguments of the supertype it was written in. */
    static final class Bound {
        final Type type;
        final Map<TypeVariable<?>, Bound> scope;

        Bound(Type type, Map<TypeVariable<?>, Bound> scope) {
            this.type = type;
            this.scope = scope;
        }
    }

    /**
     * The type arguments each supertype of {@code c} (its superclasses and
     * interfaces, all the way up) is given, as {@code c} sees them: each of
     * its type variables to the type written for it, read in the arguments of
     * the class that wrote it ({@code scope}: those of {@code c}'s subtype
     * along the way; none for {@code c} itself).
     */
    static void arguments(Class<?> c, Map<TypeVariable<?>, Bound> scope,
            Map<Class<?>, Map<TypeVariable<?>, Bound>> found) {
        List<Type> supertypes = new ArrayList<>();
        if (c.getGenericSuperclass() != null) supertypes.add(c.getGenericSuperclass());
        supertypes.addAll(List.of(c.getGenericInterfaces()));
        for (Type supertype : supertypes) {
            Map<TypeVariable<?>, Bound> given = new LinkedHashMap<>();
            Class<?> raw;
            if (supertype instanceof ParameterizedType) {
                ParameterizedType p = (ParameterizedType) supertype;
                raw = (Class<?>) p.getRawType();
                TypeVariable<?>[] variables = raw.getTypeParameters();
                Type[] written = p.getActualTypeArguments();
                for (int i = 0; i < variables.length && i < written.length; i++) {
                    given.put(variables[i], new Bound(written[i], scope));
                }
            } else {
                raw = (Class<?>) supertype;  // a raw supertype: its variables stay
            }
            if (found.putIfAbsent(raw, given) == null) arguments(raw, given, found);
        }
    }

    static Map<String, Object> member(Executable e, Class<?> c, String inheritedFrom,
            Map<TypeVariable<?>, Bound> scope) {
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
        Map<String, TypeVariable<?>> unresolved = new LinkedHashMap<>();
        for (int i = 0; i < raw.length; i++) {
            Map<String, Object> p = new LinkedHashMap<>();
            if (i < offset) {
                p.put("type", spell(raw[i]));
                p.put("erasure", spell(raw[i]));
            } else {
                p.put("type", spell(generic[i - offset], scope));
                p.put("erasure", scope.isEmpty() ? spell(raw[i]) : spell(erasure(generic[i - offset], scope)));
                free(generic[i - offset], scope, e, c, unresolved);
            }
            parameters.add(p);
        }
        m.put("parameters", parameters);
        if (e instanceof Method) {
            Method method = (Method) e;
            m.put("returnType", spell(method.getGenericReturnType(), scope));
            free(method.getGenericReturnType(), scope, e, c, unresolved);
        }
        if (inheritedFrom != null && !unresolved.isEmpty()) {
            m.put("inheritedTypeParameters", typeParameters(unresolved.values().toArray(new TypeVariable<?>[0])));
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

    /** The erasure of {@code type} with the variables {@code scope} gives replaced. */
    static Type erasure(Type type, Map<TypeVariable<?>, Bound> scope) {
        if (type instanceof Class) return type;
        if (type instanceof ParameterizedType) return ((ParameterizedType) type).getRawType();
        if (type instanceof GenericArrayType) {
            Type component = erasure(((GenericArrayType) type).getGenericComponentType(), scope);
            return java.lang.reflect.Array.newInstance((Class<?>) component, 0).getClass();
        }
        if (type instanceof TypeVariable) {
            Bound bound = scope.get(type);
            if (bound != null) return erasure(bound.type, bound.scope);
            Type[] bounds = ((TypeVariable<?>) type).getBounds();
            return bounds.length == 0 ? Object.class : erasure(bounds[0], Map.of());
        }
        return Object.class;
    }

    /**
     * Adds to {@code found} the type variables in {@code type} that neither
     * {@code scope} replaces nor the member {@code e} or the class {@code c}
     * declares: those of a raw supertype.
     */
    static void free(Type type, Map<TypeVariable<?>, Bound> scope, Executable e, Class<?> c,
            Map<String, TypeVariable<?>> found) {
        if (type instanceof TypeVariable) {
            TypeVariable<?> v = (TypeVariable<?>) type;
            Bound bound = scope.get(v);
            if (bound != null) {
                free(bound.type, bound.scope, e, c, found);
            } else if (v.getGenericDeclaration() != e && v.getGenericDeclaration() != c) {
                found.putIfAbsent(v.getName(), v);
            }
        } else if (type instanceof ParameterizedType) {
            for (Type a : ((ParameterizedType) type).getActualTypeArguments()) free(a, scope, e, c, found);
        } else if (type instanceof WildcardType) {
            for (Type b : ((WildcardType) type).getUpperBounds()) free(b, scope, e, c, found);
            for (Type b : ((WildcardType) type).getLowerBounds()) free(b, scope, e, c, found);
        } else if (type instanceof GenericArrayType) {
            free(((GenericArrayType) type).getGenericComponentType(), scope, e, c, found);
        }
    }

    /** A type as Java source writes it, with canonical names. */
    static String spell(Type type) {
        return spell(type, Map.of());
    }

    /** {@code type} as Java source writes it, its variables replaced by what {@code scope} gives them. */
    static String spell(Type type, Map<TypeVariable<?>, Bound> scope) {
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
                text.append(spell(p.getOwnerType(), scope)).append('.').append(raw.getSimpleName());
            } else {
                text.append(spell(raw));
            }
            Type[] arguments = p.getActualTypeArguments();
            if (arguments.length > 0) {
                text.append('<');
                for (int i = 0; i < arguments.length; i++) {
                    if (i > 0) text.append(", ");
                    text.append(spell(arguments[i], scope));
                }
                text.append('>');
            }
            return text.toString();
        }
        if (type instanceof TypeVariable) {
            Bound bound = scope.get(type);
            return bound != null ? spell(bound.type, bound.scope) : ((TypeVariable<?>) type).getName();
        }
        if (type instanceof WildcardType) {
            WildcardType w = (WildcardType) type;
            if (w.getLowerBounds().length > 0) return "? super " + spell(w.getLowerBounds()[0], scope);
            Type[] upper = w.getUpperBounds();
            if (upper.length == 0 || upper[0] == Object.class) return "?";
            return "? extends " + spell(upper[0], scope);
        }
        if (type instanceof GenericArrayType) {
            return spell(((GenericArrayType) type).getGenericComponentType(), scope) + "[]";
        }
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
