package shop;

import java.util.ArrayList;
import java.util.List;
import shop.money.Currency;
import shop.money.Money;

/**
 * An order of a customer: lines added one by one. Its operation line() makes
 * a test named like the class Orderline of the same package.
 */
public class Order {
    private final Customer customer;
    private final List<Orderline> lines = new ArrayList<>();

    public Order(Customer customer) {
        this.customer = customer;
    }

    public Customer getCustomer() {
        return customer;
    }

    public void add(Orderline line) {
        lines.add(line);
    }

    public int add(String product, int quantity, Money price) {
        lines.add(new Orderline(product, quantity, price));
        return lines.size();
    }

    public Orderline line(int index) {
        return index < lines.size() ? lines.get(index) : null;
    }

    public int count() {
        return lines.size();
    }

    public Money total(Currency currency) {
        Money sum = new Money(java.math.BigDecimal.ZERO, currency);
        for (Orderline line : lines) {
            sum = sum.plus(line.total());
        }
        return sum;
    }

    public List<String> products(List<String> wanted) {
        List<String> found = new ArrayList<>();
        for (Orderline line : lines) {
            if (wanted.contains(line.getProduct())) {
                found.add(line.getProduct());
            }
        }
        return found;
    }

    public boolean contains(Priced item) {
        return item != null && lines.contains(item);
    }

    protected boolean isEmpty() {
        return lines.isEmpty();
    }

    private void clear() {
        lines.clear();
    }
}
