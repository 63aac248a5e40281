package bank.ledger;

/** One booking of an account; drawn in Umbrello's GUI for bank-gui.xmi. */
public class Entry {
    private final int amount;
    private final String note;

    public Entry(int amount, String note) {
        this.amount = amount;
        this.note = note;
    }

    public int getAmount() {
        return amount;
    }

    public String getNote() {
        return note;
    }

    @Override
    public String toString() {
        return "(" + amount + ", " + note + ")";
    }
}
