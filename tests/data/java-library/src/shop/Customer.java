package shop;

/** A customer, made from a name, or from a name and a number. */
public class Customer {
    private final String name;
    private final int id;

    public Customer(String name, int id) {
        this.name = name;
        this.id = id;
    }

    public Customer(String name) {
        this(name, 0);
    }

    public String greeting(String salutation) {
        return salutation + " " + name;
    }

    public int getId() {
        return id;
    }

    public boolean isRegistered() {
        return id > 0;
    }

    @Override
    public boolean equals(Object other) {
        return other instanceof Customer && ((Customer) other).name.equals(name) && ((Customer) other).id == id;
    }

    @Override
    public int hashCode() {
        return name.hashCode() * 31 + id;
    }

    @Override
    public String toString() {
        return name;
    }
}
