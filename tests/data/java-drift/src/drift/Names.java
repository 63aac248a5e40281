package drift;

/** Through two levels: Box's T is List<String>. */
public class Names extends Shelf<String> {
}
