package bank.core;

import java.rmi.RemoteException;
import javax.ejb.CreateException;
import javax.ejb.EJBHome;

/** The home interface InterestCalculatorHome of examples/bank-ejb.json. */
public interface InterestCalculatorHome extends EJBHome {
    InterestCalculator create() throws CreateException, RemoteException;
}
