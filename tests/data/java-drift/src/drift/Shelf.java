package drift;

import java.util.List;

/** Box's T is a list of Shelf's K. */
public class Shelf<K> extends Box<List<K>> {
}
