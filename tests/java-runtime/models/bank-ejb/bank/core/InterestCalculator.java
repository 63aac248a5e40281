package bank.core;

import javax.ejb.SessionBean;

/** The inline session bean InterestCalculator of examples/bank-ejb.json: its own remote interface and bean class. */
public class InterestCalculator implements SessionBean {
    private static final long serialVersionUID = 1L;

    public double interestFor(double balance, double rate) {
        return balance * rate;
    }
}
