package javax.ejb;

import java.rmi.Remote;
import java.rmi.RemoteException;

/** The home interface of an enterprise bean, as the generated tests and the example models need it. */
public interface EJBHome extends Remote {
    void remove(Object primaryKey) throws RemoteException, RemoveException;
}
