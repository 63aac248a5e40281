package bank.core;

import java.rmi.RemoteException;
import javax.ejb.EJBObject;

/** The remote interface Account of examples/bank-ejb.json. */
public interface Account extends EJBObject {
    double getBalance() throws RemoteException;

    void setBalance(double balance) throws RemoteException;

    void deposit(double amount) throws RemoteException;

    void transfer(Account target, double amount) throws RemoteException;
}
