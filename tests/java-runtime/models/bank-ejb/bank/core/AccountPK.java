package bank.core;

import java.io.Serializable;
import java.util.Objects;

/** The primary-key class AccountPK of examples/bank-ejb.json. */
public class AccountPK implements Serializable {
    private static final long serialVersionUID = 1L;

    public String id;

    public AccountPK() {
    }

    public AccountPK(String id) {
        this.id = id;
    }

    @Override
    public boolean equals(Object other) {
        return other instanceof AccountPK && Objects.equals(id, ((AccountPK) other).id);
    }

    @Override
    public int hashCode() {
        return Objects.hashCode(id);
    }
}
