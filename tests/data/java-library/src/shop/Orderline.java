package shop;

import shop.money.Money;

/** One line of an order: a product, how many, at what price each. */
public class Orderline {
    private final String product;
    private final int quantity;
    private final Money price;

    public Orderline(String product, int quantity, Money price) {
        this.product = product;
        this.quantity = quantity;
        this.price = price;
    }

    public Money total() {
        return price.times(quantity);
    }

    public int getQuantity() {
        return quantity;
    }

    public String getProduct() {
        return product;
    }

    @Override
    public boolean equals(Object other) {
        return other instanceof Orderline && ((Orderline) other).product.equals(product)
                && ((Orderline) other).quantity == quantity && ((Orderline) other).price.equals(price);
    }

    @Override
    public int hashCode() {
        return product.hashCode() * 31 + quantity;
    }
}
