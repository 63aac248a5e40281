package bank.core;

import java.rmi.RemoteException;
import javax.ejb.EJBObject;

/** The remote interface Teller of examples/bank-ejb.json. */
public interface Teller extends EJBObject {
    double withdraw(String accountId, double amount) throws RemoteException;

    double balanceOf(String accountId) throws RemoteException;
}
