package bank.core;

import javax.ejb.SessionBean;

/** The session bean class TellerBean of examples/bank-ejb.json. */
public class TellerBean implements SessionBean {
    private static final long serialVersionUID = 1L;

    public double withdraw(String accountId, double amount) {
        return amount;
    }

    // The container's calls: nothing to do for a bean of a test.
    @Override
    public void setSessionContext(javax.ejb.SessionContext context) {
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
}
