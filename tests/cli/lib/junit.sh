# What the JUnit 5 tests of the command line share (sourced after
# common.sh): javac, java and the JUnit Platform console launcher (Debian's
# junit5, which ./bootstrap.sh test installs), the generated tests'
# classpath in $classpath, and the launcher's summary read back. Leaves the
# shell in $tmp with $src absolute.
launcher=/usr/share/java/junit-platform-console-standalone.jar
need javac default-jdk-headless
need java default-jdk-headless
[ -f "$launcher" ] || { echo "FAIL: no $launcher (./bootstrap.sh test installs the Debian package junit5)"; exit 1; }
src=$(cd "$src" && pwd)
cd "$tmp" || exit 1
classpath=$("$zt" java-classpath --junit5)
# summary WORD FILE: the number the launcher's summary in FILE gives for
# "tests WORD" (successful, failed, aborted, ...).
summary() { sed -n "s/^\[ *\([0-9]*\) tests $1 *\]\$/\1/p" "$2"; }
