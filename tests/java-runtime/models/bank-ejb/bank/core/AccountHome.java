package bank.core;

import java.rmi.RemoteException;
import javax.ejb.CreateException;
import javax.ejb.EJBHome;
import javax.ejb.FinderException;

/** The home interface AccountHome of examples/bank-ejb.json. */
public interface AccountHome extends EJBHome {
    Account create() throws CreateException, RemoteException;

    Account create(String id) throws CreateException, RemoteException;

    Account findByPrimaryKey(AccountPK key) throws FinderException, RemoteException;
}
