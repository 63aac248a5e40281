package bank.core;

import javax.ejb.SessionBean;

/** The session bean class TellerBean of examples/bank-ejb.json. */
public class TellerBean implements SessionBean {
    private static final long serialVersionUID = 1L;

    public double withdraw(String accountId, double amount) {
        return amount;
    }
}
