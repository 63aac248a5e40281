package bank.core;

import javax.ejb.SessionBean;

/** The inline session bean InterestCalculator of examples/bank-ejb.json: its own remote interface and bean class. */
public class InterestCalculator implements SessionBean {
    private static final long serialVersionUID = 1L;

    public double interestFor(double balance, double rate) {
        return balance * rate;
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
