package bank.core;

import java.rmi.RemoteException;
import javax.ejb.CreateException;
import javax.ejb.EJBHome;

/** The home interface TellerHome of examples/bank-ejb.json. */
public interface TellerHome extends EJBHome {
    Teller create() throws CreateException, RemoteException;
}
