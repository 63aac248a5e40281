package javax.ejb;

public interface EntityBean extends EnterpriseBean {
}
