package shop;

import shop.money.Money;

/** Whatever has a price. */
public interface Priced {
    Money price();
}
