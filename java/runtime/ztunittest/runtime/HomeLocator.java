package ztunittest.runtime;

import java.util.HashMap;
import java.util.Map;
import javax.naming.InitialContext;
import javax.naming.NameNotFoundException;
import javax.naming.NamingException;
import javax.naming.NoInitialContextException;

/**
 * Finds the home interface of a bean by its name. A home bound with bind()
 * is found first, so that a test set-up can hand in a home of its own (a
 * stand-in, or one it looked up itself); otherwise the name is looked up in
 * the naming service that the JNDI settings name (the system property
 * java.naming.factory.initial or a jndi.properties file), as a client of an
 * application server does.
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
    public static <T> T lookup(String name, Class<T> type) throws NamingException {
        Object home;
        synchronized (HomeLocator.class) {
            home = homes.get(name);
        }
        if (home == null) {
            try {
                home = new InitialContext().lookup(name);
            } catch (NoInitialContextException e) {
                throw new NameNotFoundException("no home bound to " + name
                        + ": bind one with HomeLocator.bind, or configure a JNDI naming service");
            }
        }
        return type.cast(home);
    }
}
