package javax.ejb;

public interface SessionBean extends EnterpriseBean {
}
