package javax.ejb;

import java.io.Serializable;

public interface EnterpriseBean extends Serializable {
}
