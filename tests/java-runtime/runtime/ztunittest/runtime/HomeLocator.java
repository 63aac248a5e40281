package ztunittest.runtime;

import java.util.HashMap;
import java.util.Map;
import javax.naming.NameNotFoundException;
import javax.naming.NamingException;

/**
 * Finds the home interface of a bean by its name, as a naming service
 * would. This runtime keeps the homes that were bound in memory; a project
 * that tests deployed beans uses a runtime whose locator asks the
 * application server's naming service instead.
 */
public final class HomeLocator {
    private static final Map<String, Object> homes = new HashMap<>();

    private HomeLocator() {
    }

    /** Makes `home` the object that `name` finds. */
    public static synchronized void bind(String name, Object home) {
        homes.put(name, home);
    }

    /** The home bound to `name`, as a `type`. */
    public static synchronized <T> T lookup(String name, Class<T> type) throws NamingException {
        Object home = homes.get(name);
        if (home == null) {
            throw new NameNotFoundException("no home bound to " + name);
        }
        return type.cast(home);
    }
}
