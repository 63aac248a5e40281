package shop.money;

/** The currencies a shop takes. */
public enum Currency {
    EUR, USD, GBP
}
