package drift;

/** Box's T is Integer, Tagged's X String. */
public class IntBox extends Box<Integer> implements Tagged<String> {
}
