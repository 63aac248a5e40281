package javax.ejb;

import java.rmi.Remote;
import java.rmi.RemoteException;

/** The remote view of an enterprise bean, as the generated tests and the example models need it. */
public interface EJBObject extends Remote {
    EJBHome getEJBHome() throws RemoteException;

    Object getPrimaryKey() throws RemoteException;

    void remove() throws RemoteException, RemoveException;

    boolean isIdentical(EJBObject other) throws RemoteException;
}
