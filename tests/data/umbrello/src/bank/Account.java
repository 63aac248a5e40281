package bank;

import bank.ledger.Entry;

/** The class drawn in Umbrello's GUI for bank-gui.xmi. */
public class Account {
    private final String owner;
    private int balance;
    private Entry last;

    public Account(String owner, int balance) {
        this.owner = owner;
        this.balance = balance;
    }

    public static Account of(String owner) {
        return new Account(owner, 0);
    }

    public void deposit(int amount) {
        balance += amount;
        last = new Entry(amount, "deposit");
        audit();
    }

    public int getBalance() {
        return balance;
    }

    public String getOwner() {
        return owner;
    }

    public Entry last() {
        return last;
    }

    public boolean transfer(Account to, int amount) {
        if (amount <= 0 || amount > balance) return false;
        balance -= amount;
        to.deposit(amount);
        last = new Entry(-amount, "transfer to " + to.getOwner());
        audit();
        return true;
    }

    public void close() {
        balance = 0;
        last = null;
    }

    private void audit() {
        if (balance < 0) throw new IllegalStateException("the balance of " + owner + " is negative");
    }
}
