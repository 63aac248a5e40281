package bank.core;

import javax.ejb.EntityBean;

/** The entity bean class AccountBean of examples/bank-ejb.json. */
public class AccountBean implements EntityBean {
    private static final long serialVersionUID = 1L;

    public String id;
    public double balance;

    public AccountPK ejbCreate(String id) {
        this.id = id;
        return new AccountPK(id);
    }

    public double getBalance() {
        return balance;
    }

    public void setBalance(double balance) {
        this.balance = balance;
    }

    public void deposit(double amount) {
        balance += amount;
    }

    // The container's calls: nothing to do for a bean of a test.
    @Override
    public void setEntityContext(javax.ejb.EntityContext context) {
    }

    @Override
    public void unsetEntityContext() {
    }

    @Override
    public void ejbRemove() {
    }

    @Override
    public void ejbActivate() {
    }

    @Override
    public void ejbPassivate() {
    }

    @Override
    public void ejbLoad() {
    }

    @Override
    public void ejbStore() {
    }
}
