package ztunittest.runtime;

import java.lang.reflect.Array;
import java.lang.reflect.Constructor;
import java.lang.reflect.GenericArrayType;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.lang.reflect.ParameterizedType;
import java.lang.reflect.Type;
import java.lang.reflect.TypeVariable;
import java.lang.reflect.WildcardType;
import java.math.BigDecimal;
import java.math.BigInteger;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.time.Instant;
import java.util.ArrayList;
import java.util.Collection;
import java.util.Date;
import java.util.EnumSet;
import java.util.LinkedHashMap;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Map;
import java.util.NavigableMap;
import java.util.NavigableSet;
import java.util.Optional;
import java.util.Queue;
import java.util.Set;
import java.util.SortedMap;
import java.util.SortedSet;
import java.util.TreeMap;
import java.util.TreeSet;
import java.util.ArrayDeque;

/**
 * Values of any type made from their text in a datapool field (docs/java.md,
 * "The text forms"):
 *
 * - {@code null} is null for every type that is not primitive; a text in
 *   double quotes is the text inside them, so {@code "null"} is the word
 *   and {@code ""} the empty text;
 * - numbers, truth values and characters as the primitive reads take them,
 *   for their boxed types too; BigDecimal and BigInteger as decimals;
 * - an enum constant by its name;
 * - arrays, lists, sets and queues as {@code [a, b, c]}, maps as
 *   {@code {k=v, k2=v2}}, each element in its own text form; an element
 *   holding a comma, a bracket or blanks at its ends is quoted,
 *   {@code "a, b"}, with {@code \"} and {@code \\} inside the quotes;
 * - inside double quotes, {@code \0} is the character 0, which a datapool
 *   cannot hold as it is: {@code "a\0b"} is a text, {@code "\0"} a char;
 * - an Optional as its value, or {@code null} for an empty one;
 * - java.time types, and every other type with a static parse(CharSequence),
 *   valueOf(String), of(String) or fromString(String), or a constructor
 *   taking one String, by that (ISO dates: 2024-01-31); a Date as an
 *   Instant (2024-01-31T10:15:30Z), a Path as its path;
 * - any other class (a class of the model) by a constructor of its own:
 *   {@code (a, b)} or {@code Money(a, b)} gives its arguments, each in the
 *   text form of the constructor's parameter; a text without parentheses is
 *   the one argument of a one-parameter constructor.
 *
 * A text that is not of its type raises a DatapoolException (the test
 * fails); a type of which no value can be made (an interface, an abstract
 * class, a class without a usable constructor) raises a
 * RowAbortedException (the row is aborted).
 */
final class Values {
    /** What a value is made for: the field's words in messages. */
    interface Where {
        /** The text as a value of the same field, for the primitive reads. */
        DatapoolValue value(String text);

        DatapoolException wrong(String text, String type, Throwable cause);

        RowAbortedException cannotMake(String type, String why);
    }

    private Values() {
    }

    static Object make(String text, Type type, Where where) {
        if (type instanceof Class) {
            return makeClass(text, (Class<?>) type, null, where);
        }
        if (type instanceof ParameterizedType) {
            ParameterizedType parameterized = (ParameterizedType) type;
            return makeClass(text, (Class<?>) parameterized.getRawType(), parameterized.getActualTypeArguments(), where);
        }
        if (type instanceof GenericArrayType) {
            Type component = ((GenericArrayType) type).getGenericComponentType();
            return makeArray(text, component, raw(component), where);
        }
        if (type instanceof WildcardType) {
            return make(text, ((WildcardType) type).getUpperBounds()[0], where);
        }
        if (type instanceof TypeVariable) {
            throw where.cannotMake(type.getTypeName(), "a type variable names no type of its own");
        }
        throw where.cannotMake(type.getTypeName(), "an unknown kind of type");
    }

    private static Class<?> raw(Type type) {
        if (type instanceof Class) {
            return (Class<?>) type;
        }
        if (type instanceof ParameterizedType) {
            return (Class<?>) ((ParameterizedType) type).getRawType();
        }
        if (type instanceof GenericArrayType) {
            return Array.newInstance(raw(((GenericArrayType) type).getGenericComponentType()), 0).getClass();
        }
        return Object.class;
    }

    private static Type argument(Type[] arguments, int index) {
        return arguments != null && arguments.length > index ? arguments[index] : String.class;
    }

    private static Object makeClass(String text, Class<?> c, Type[] arguments, Where where) {
        String word = text.trim();
        if (!c.isPrimitive() && word.equals("null")) {
            return c == Optional.class ? Optional.empty() : null;
        }
        if (c == String.class || c == CharSequence.class || c == Object.class) {
            return word.length() >= 2 && word.startsWith("\"") && word.endsWith("\"") ? Element.of(word).text : text;
        }
        Object simple = simple(text, c, where);
        if (simple != null) {
            return simple;
        }
        if (c.isArray()) {
            return makeArray(text, c.getComponentType(), c.getComponentType(), where);
        }
        if (c.isEnum()) {
            return constant(word, c, where);
        }
        if (c == Optional.class) {
            return Optional.ofNullable(make(text, argument(arguments, 0), where));
        }
        if (Map.class.isAssignableFrom(c)) {
            return makeMap(word, c, argument(arguments, 0), argument(arguments, 1), where);
        }
        if (Collection.class.isAssignableFrom(c) || c == Iterable.class) {
            return makeCollection(word, c, argument(arguments, 0), where);
        }
        if (c == Date.class) {
            return Date.from((Instant) parsed(word, Instant.class, where));
        }
        if (c == Path.class) {
            return Paths.get(text);
        }
        if (!isConstructorForm(word, c)) {
            Object parsed = parsed(word, c, where);
            if (parsed != null) {
                return parsed;
            }
        }
        return constructed(word, c, where);
    }

    // Primitives, their boxes, BigDecimal and BigInteger; null for other types.
    private static Object simple(String text, Class<?> c, Where where) {
        DatapoolValue value = where.value(text);
        if (c == int.class || c == Integer.class) {
            return value.intValue();
        }
        if (c == long.class || c == Long.class) {
            return value.longValue();
        }
        if (c == double.class || c == Double.class) {
            return value.doubleValue();
        }
        if (c == boolean.class || c == Boolean.class) {
            return value.booleanValue();
        }
        if (c == short.class || c == Short.class) {
            return value.shortValue();
        }
        if (c == byte.class || c == Byte.class) {
            return value.byteValue();
        }
        if (c == float.class || c == Float.class) {
            return value.floatValue();
        }
        if (c == char.class || c == Character.class) {
            return value.charValue();
        }
        if (c == BigDecimal.class) {
            return value.getBigDecimal();
        }
        if (c == BigInteger.class) {
            try {
                return new BigInteger(text.trim());
            } catch (NumberFormatException e) {
                throw where.wrong(text, "a whole number", e);
            }
        }
        return null;
    }

    private static Object constant(String word, Class<?> c, Where where) {
        for (Object constant : c.getEnumConstants()) {
            if (((Enum<?>) constant).name().equals(word)) {
                return constant;
            }
        }
        List<String> names = new ArrayList<>();
        for (Object constant : c.getEnumConstants()) {
            names.add(((Enum<?>) constant).name());
        }
        throw where.wrong(word, "a constant of " + c.getSimpleName() + " " + names, null);
    }

    private static Object makeArray(String text, Type componentType, Class<?> component, Where where) {
        List<Element> elements = Element.list(text.trim(), '[', ']', where);
        Object array = Array.newInstance(component, elements.size());
        for (int i = 0; i < elements.size(); i++) {
            Array.set(array, i, elements.get(i).make(componentType, where));
        }
        return array;
    }

    @SuppressWarnings({"unchecked", "rawtypes"})
    private static Object makeCollection(String word, Class<?> c, Type elementType, Where where) {
        Collection<Object> collection;
        if (c.isInterface() || Modifier.isAbstract(c.getModifiers())) {
            if (c == EnumSet.class && raw(elementType).isEnum()) {
                collection = EnumSet.noneOf((Class) raw(elementType));
            } else if (SortedSet.class.isAssignableFrom(c) || NavigableSet.class.isAssignableFrom(c)) {
                collection = new TreeSet<>();
            } else if (Set.class.isAssignableFrom(c)) {
                collection = new LinkedHashSet<>();
            } else if (Queue.class.isAssignableFrom(c) && !List.class.isAssignableFrom(c)) {
                collection = new ArrayDeque<>();
            } else {
                collection = new ArrayList<>();
            }
        } else {
            collection = (Collection<Object>) instance(c, where);
        }
        for (Element element : Element.list(word, '[', ']', where)) {
            collection.add(element.make(elementType, where));
        }
        return collection;
    }

    @SuppressWarnings("unchecked")
    private static Object makeMap(String word, Class<?> c, Type keyType, Type valueType, Where where) {
        Map<Object, Object> map;
        if (c.isInterface() || Modifier.isAbstract(c.getModifiers())) {
            map = SortedMap.class.isAssignableFrom(c) || NavigableMap.class.isAssignableFrom(c) ? new TreeMap<>()
                    : new LinkedHashMap<>();
        } else {
            map = (Map<Object, Object>) instance(c, where);
        }
        for (Element entry : Element.list(word, '{', '}', where)) {
            Element[] pair = entry.pair(where);
            map.put(pair[0].make(keyType, where), pair[1].make(valueType, where));
        }
        return map;
    }

    private static Object instance(Class<?> c, Where where) {
        try {
            return c.getConstructor().newInstance();
        } catch (ReflectiveOperationException e) {
            throw where.cannotMake(c.getName(), "it has no public constructor without parameters");
        }
    }

    // A value of a type that parses its own text; null when it has no such method.
    private static Object parsed(String word, Class<?> c, Where where) {
        String[] names = {"parse", "valueOf", "of", "fromString"};
        for (String name : names) {
            for (Class<?> parameter : new Class<?>[] {CharSequence.class, String.class}) {
                Method method;
                try {
                    method = c.getMethod(name, parameter);
                } catch (NoSuchMethodException e) {
                    continue;
                }
                if (!Modifier.isStatic(method.getModifiers()) || !c.isAssignableFrom(method.getReturnType())) {
                    continue;
                }
                try {
                    return method.invoke(null, word);
                } catch (InvocationTargetException e) {
                    throw where.wrong(word, "a " + c.getSimpleName() + " (" + e.getCause().getMessage() + ")",
                            e.getCause());
                } catch (IllegalAccessException e) {
                    continue;
                }
            }
        }
        return null;
    }

    // "(a, b)" or "Name(a, b)": the arguments of a constructor of `c`.
    private static boolean isConstructorForm(String word, Class<?> c) {
        return word.endsWith(")") && (word.startsWith("(") || word.startsWith(c.getSimpleName() + "("));
    }

    private static Object constructed(String word, Class<?> c, Where where) {
        if (c.isInterface() || Modifier.isAbstract(c.getModifiers())) {
            throw where.cannotMake(c.getName(), (c.isInterface() ? "an interface" : "an abstract class")
                    + " has no objects of its own");
        }
        List<Element> arguments;
        String name = c.getSimpleName();
        if (isConstructorForm(word, c)) {
            arguments = Element.list(word.substring(word.indexOf('(')), '(', ')', where);
        } else {
            arguments = new ArrayList<>();
            arguments.add(new Element(word, false));
        }
        DatapoolException wrong = null;
        Set<Integer> counts = new TreeSet<>();
        for (Constructor<?> constructor : c.getDeclaredConstructors()) {
            if (Modifier.isPrivate(constructor.getModifiers()) || constructor.isSynthetic()) {
                continue;
            }
            counts.add(constructor.getParameterCount());
            if (constructor.getParameterCount() != arguments.size()) {
                continue;
            }
            Type[] types = constructor.getGenericParameterTypes();
            Object[] values = new Object[types.length];
            try {
                for (int i = 0; i < types.length; i++) {
                    values[i] = arguments.get(i).make(types[i], where);
                }
            } catch (DatapoolException e) {
                wrong = e;
                continue;
            }
            try {
                constructor.setAccessible(true);
                return constructor.newInstance(values);
            } catch (InvocationTargetException e) {
                throw where.wrong(word, "a " + name + ": its constructor threw " + e.getCause(), e.getCause());
            } catch (ReflectiveOperationException | RuntimeException e) {
                throw where.cannotMake(c.getName(), "its constructor cannot be called: " + e);
            }
        }
        if (wrong != null) {
            throw wrong;
        }
        if (counts.isEmpty()) {
            throw where.cannotMake(c.getName(), "it has no constructor that is not private");
        }
        throw where.wrong(word, "a " + name + " made by a constructor of " + counts
                + " argument(s), written (a, b, ...)", null);
    }

    /**
     * The value of an empty field of `type`: 0, false or the character 0 for
     * a primitive, an empty array, collection, map or Optional, null for any
     * other object.
     */
    static Object empty(Type type, Where where) {
        Class<?> c = raw(type instanceof WildcardType ? ((WildcardType) type).getUpperBounds()[0] : type);
        if (c.isPrimitive()) {
            return simple("", c, where);
        }
        if (c.isArray() || Collection.class.isAssignableFrom(c) || c == Iterable.class) {
            return make("[]", type, where);
        }
        if (Map.class.isAssignableFrom(c)) {
            return make("{}", type, where);
        }
        return c == Optional.class ? Optional.empty() : null;
    }

    /**
     * The text form of `value` that reads back as the same value, as a
     * recorded expected result writes it: a text in double quotes where it
     * would read as something else (the empty text, "null", blanks at its
     * ends, a text in quotes; in a list also commas, brackets, quotes,
     * "="), numbers as Java writes them, an enum constant by its name, a
     * Date as an instant, and any other object as its toString(), which must
     * read back as an object of its class that is the same
     * (Results.same). Raises IllegalArgumentException when it does not.
     */
    static String form(Object value) {
        return form(value, false);
    }

    private static String form(Object value, boolean element) {
        if (value == null) {
            return "null";
        }
        if (value instanceof String) {
            return formOfText((String) value, element);
        }
        if (value instanceof Character) {
            // The character 0 is written "\0": a datapool keeps no NUL.
            String character = value.toString();
            return element || character.equals("\0") ? formOfText(character, element) : character;
        }
        if (value instanceof Number && (value.getClass().getName().startsWith("java.lang.")
                || value instanceof BigDecimal || value instanceof BigInteger) || value instanceof Boolean) {
            return value instanceof BigDecimal ? ((BigDecimal) value).toPlainString() : value.toString();
        }
        if (value instanceof Enum) {
            return ((Enum<?>) value).name();
        }
        if (value instanceof Date) {
            return ((Date) value).toInstant().toString();
        }
        if (value instanceof Optional) {
            return form(((Optional<?>) value).orElse(null), element);
        }
        if (value.getClass().isArray() || value instanceof Collection) {
            StringBuilder text = new StringBuilder("[");
            Iterable<?> elements = value instanceof Collection ? (Collection<?>) value : arrayElements(value);
            for (Object e : elements) {
                text.append(text.length() > 1 ? ", " : "").append(form(e, true));
            }
            return text.append("]").toString();
        }
        if (value instanceof Map) {
            StringBuilder text = new StringBuilder("{");
            for (Map.Entry<?, ?> entry : ((Map<?, ?>) value).entrySet()) {
                text.append(text.length() > 1 ? ", " : "").append(form(entry.getKey(), true)).append("=")
                        .append(form(entry.getValue(), true));
            }
            return text.append("}").toString();
        }
        String text = String.valueOf(value);
        Object back;
        try {
            back = new DatapoolValue(text).as(value.getClass());
        } catch (RuntimeException e) {
            throw new IllegalArgumentException("\"" + text + "\" does not read back as a " + value.getClass().getName()
                    + ": " + e.getMessage(), e);
        }
        if (!Results.equal(value, back)) {
            throw new IllegalArgumentException("\"" + text + "\" reads back as " + text(back) + ", another value");
        }
        return text;
    }

    private static List<Object> arrayElements(Object array) {
        List<Object> list = new ArrayList<>();
        for (int i = 0; i < Array.getLength(array); i++) {
            list.add(Array.get(array, i));
        }
        return list;
    }

    // A text as it reads back: quoted, with \" and \\, where it would not;
    // a text that holds the character 0 is quoted, with \0 for it.
    private static String formOfText(String text, boolean element) {
        String word = text.trim();
        boolean quote = word.isEmpty() || word.equals("null") || word.startsWith("\"") && word.endsWith("\"")
                || text.indexOf('\0') >= 0;
        if (element) {
            quote = quote || !word.equals(text) || text.matches("(?s).*[,\"\\\\\\[\\]{}()=].*");
        }
        if (!quote) {
            return text;
        }
        return "\"" + text.replace("\\", "\\\\").replace("\"", "\\\"").replace("\0", "\\0") + "\"";
    }

    /**
     * The text of a value as its text form writes it: what a failure shows
     * of an actual value. It never throws: a toString() that does is named.
     */
    static String text(Object value) {
        try {
            return textOf(value);
        } catch (RuntimeException | StackOverflowError e) {
            return "<" + value.getClass().getName() + ": its toString() threw " + e + ">";
        }
    }

    private static String textOf(Object value) {
        if (value == null) {
            return "null";
        }
        if (value.getClass().isArray()) {
            StringBuilder text = new StringBuilder("[");
            for (int i = 0; i < Array.getLength(value); i++) {
                text.append(i > 0 ? ", " : "").append(text(Array.get(value, i)));
            }
            return text.append("]").toString();
        }
        if (value instanceof Collection) {
            StringBuilder text = new StringBuilder("[");
            for (Object element : (Collection<?>) value) {
                text.append(text.length() > 1 ? ", " : "").append(text(element));
            }
            return text.append("]").toString();
        }
        if (value instanceof Map) {
            StringBuilder text = new StringBuilder("{");
            for (Map.Entry<?, ?> entry : ((Map<?, ?>) value).entrySet()) {
                text.append(text.length() > 1 ? ", " : "").append(text(entry.getKey())).append("=")
                        .append(text(entry.getValue()));
            }
            return text.append("}").toString();
        }
        return String.valueOf(value);
    }

    /** One element of a list, a map or an argument list: its text, quoted or not. */
    static final class Element {
        final String text;
        final boolean quoted;

        Element(String text, boolean quoted) {
            this.text = text;
            this.quoted = quoted;
        }

        Object make(Type type, Where where) {
            if (quoted && raw(type) == String.class) {
                return text;
            }
            return Values.make(text, type, where);
        }

        private static Element piece(String piece, char open) {
            return open == '{' ? new Element(piece, false) : of(piece);
        }

        /** A map entry, "key=value", split at its first "=" outside quotes and brackets. */
        Element[] pair(Where where) {
            int depth = 0;
            boolean inQuotes = false;
            for (int i = 0; i < text.length(); i++) {
                char c = text.charAt(i);
                if (c == '\\' && inQuotes) {
                    i++;
                } else if (c == '"') {
                    inQuotes = !inQuotes;
                } else if (!inQuotes && "[{(".indexOf(c) >= 0) {
                    depth++;
                } else if (!inQuotes && "]})".indexOf(c) >= 0) {
                    depth--;
                } else if (!inQuotes && depth == 0 && c == '=') {
                    return new Element[] {of(text.substring(0, i).trim()), of(text.substring(i + 1).trim())};
                }
            }
            throw where.wrong(text, "a map entry (key=value)", null);
        }

        // A piece in double quotes is the text inside them, where a backslash
        // takes the next character as it is, except that \0 is the character 0.
        static Element of(String piece) {
            if (piece.length() >= 2 && piece.startsWith("\"") && piece.endsWith("\"")) {
                StringBuilder text = new StringBuilder();
                for (int i = 1; i < piece.length() - 1; i++) {
                    char c = piece.charAt(i);
                    if (c == '\\' && i + 1 < piece.length() - 1) {
                        c = piece.charAt(++i);
                        c = c == '0' ? '\0' : c;
                    }
                    text.append(c);
                }
                return new Element(text.toString(), true);
            }
            return new Element(piece, false);
        }

        /**
         * The elements of "[a, b]" (with `open` and `close` as the brackets),
         * split at top-level commas; the entries of a map ("{k=v}") are kept
         * as they are written, for pair() to split: an entry whose key and
         * value are both quoted is no quoted text.
         */
        static List<Element> list(String word, char open, char close, Where where) {
            if (word.length() < 2 || word.charAt(0) != open || word.charAt(word.length() - 1) != close) {
                throw where.wrong(word, "a list written " + open + "a, b, ..." + close, null);
            }
            List<Element> elements = new ArrayList<>();
            String inside = word.substring(1, word.length() - 1);
            if (inside.trim().isEmpty()) {
                return elements;
            }
            int depth = 0;
            int start = 0;
            boolean inQuotes = false;
            for (int i = 0; i < inside.length(); i++) {
                char c = inside.charAt(i);
                if (c == '\\' && inQuotes) {
                    i++;
                } else if (c == '"') {
                    inQuotes = !inQuotes;
                } else if (!inQuotes && "[{(".indexOf(c) >= 0) {
                    depth++;
                } else if (!inQuotes && "]})".indexOf(c) >= 0) {
                    depth--;
                } else if (!inQuotes && depth == 0 && c == ',') {
                    elements.add(piece(inside.substring(start, i).trim(), open));
                    start = i + 1;
                }
            }
            if (inQuotes || depth != 0) {
                throw where.wrong(word, "a list whose quotes and brackets are closed", null);
            }
            elements.add(piece(inside.substring(start).trim(), open));
            return elements;
        }
    }
}
