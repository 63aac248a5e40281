#!/usr/bin/env bash
# Makes the Umbrello samples of this folder again (not run by the tests; the
# samples are kept as Umbrello wrote them). Needs Debian's umbrello, xvfb,
# xdotool and dbus:
#
#   tests/data/umbrello/make-samples.sh [shop|optparse|bank|commons-io]...
#
# Umbrello runs under Xvfb and dbus-run-session, with its settings in a
# folder of their own (so that the user's are not touched) and uml2=true, so
# that it writes XMI 2.1. Its "save" is called over D-Bus, and the file
# dialog it opens is answered by typing the file's path.
#
# - shop-java-import.xmi: Umbrello's Java import of ../java-library/src,
#   file by file (--import-files), the enumeration's file first (see the
#   README for why).
# - optparse-java-import.xmi: its Java import of the folder src/optparse
#   (--import-directory), as a user imports a library.
# - bank-gui.xmi: drawn in its GUI, by xdotool: the language set to Java in
#   the Code menu, then packages, classes and operations made with the tree
#   view's context menu, each operation typed into the tree as
#   "name(parameter : Type = default) : Result", one made static and one
#   private in its properties dialog. The code it stands for is src/bank.
#   The clicks are at the places of a 1280x900 screen.
# - commons-io-java-import.xmi: its Java import of two packages of a real
#   library, Apache Commons IO 2.11.0 as Debian ships its source (apt-get
#   source commons-io, which needs a deb-src line in the apt sources):
#   org.apache.commons.io.comparator and .filefilter, file by file. An
#   import may stop at a modal "New Class" dialog; Return lets it go on.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
shop=$(cd "$here/../java-library/src/shop" && pwd)
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/.config"
printf '[General]\numl2=true\n' >"$home/.config/umbrellorc"

# The part that runs under Xvfb: "$1" the file to save, the rest how to
# start Umbrello; DRAW=1 draws the bank model first.
cat >"$home/run.sh" <<'SCRIPT'
#!/usr/bin/env bash
set -u
out=$1
shift
"$@" >/dev/null 2>&1 &
pid=$!
# WAIT seconds (25 by default) for it to start and import; a "New Class"
# dialog that stops an import is answered with Return.
for _ in $(seq 1 $((${WAIT:-25} / 5))); do
  sleep 5
  if xdotool search --name "New Class" >/dev/null 2>&1; then xdotool key Return; fi
done
if [ "${DRAW:-0}" = 1 ]; then
  # click X Y [BUTTON]: a click, and time for the window to follow.
  click() { xdotool mousemove "$1" "$2" click "${3:-1}"; sleep 1; }
  # name X Y TEXT: rename the item at X,Y to TEXT, typed into the tree.
  name() { click "$1" "$2"; xdotool key F2; sleep 0.7; xdotool key ctrl+a type --delay 20 "$3"; sleep 0.5; xdotool key Return; sleep 1; }
  # operation X Y NEW TEXT: a new operation of the class at X,Y, at the
  # height NEW in the tree (the tree keeps each class's operations sorted,
  # "new_operation()" among them), named TEXT.
  operation() {
    click "$1" "$2" 3
    click $(($1 + 48)) $(($2 + 12))
    click $(($1 + 192)) $(($2 + 37))
    name 178 "$3" "$4"
  }
  click 1272 100          # close the welcome page
  click 172 10            # Code
  click 234 134           # Active Language
  click 537 284           # Java
  click 84 204 3          # Logical View: New, Package
  click 126 216
  click 357 366
  name 130 258 bank
  click 100 239 3         # bank: New, Class
  click 140 251
  click 287 276
  name 138 258 Account
  operation 132 258 277 'Account(owner : String, balance : int)'
  operation 132 258 296 'deposit(amount : int = 1)'
  operation 132 258 315 'getBalance() : int'
  operation 132 258 334 'getOwner() : String'
  operation 132 258 353 'of(owner : String) : Account'
  operation 132 258 353 'audit()'
  operation 132 258 372 'transfer(to : Account, amount : int) : boolean'
  operation 132 258 372 'close() : void'
  click 71 258            # fold Account
  click 100 239 3         # bank: New, Package
  click 140 251
  click 297 401
  name 126 277 ledger
  click 126 277 3         # ledger: New, Class
  click 168 289
  click 313 314
  name 158 296 Entry
  operation 142 296 315 'Entry(amount : int, note : String)'
  operation 142 296 334 'getAmount() : int'
  operation 142 296 353 'getNote() : String'
  click 91 296            # fold Entry
  # A type of another package is found by its qualified name.
  operation 132 258 391 'last() : bank.ledger.Entry'
  # Account's operations now: Account(), audit, close, deposit, getBalance,
  # getOwner, last, of, transfer.
  click 178 410 3         # of: Properties, static
  click 238 574
  click 361 220
  click 957 710
  click 147 296 3         # audit: Properties, private
  click 207 460
  click 640 309
  click 957 710
  [ -z "${SHOT:-}" ] || import -window root "$SHOT"
fi
dbus-send --session --type=method_call --dest="org.kde.umbrello-$pid" /umbrello/MainWindow_1 \
  org.kde.umbrello.UMLApp.slotFileSave
sleep 4
xdotool type --delay 20 "$out"
xdotool key Return
sleep 4
kill "$pid"
SCRIPT
chmod +x "$home/run.sh"

run() {  # run OUTPUT COMMAND...: under xvfb-run and dbus-run-session
  rm -f "$1"  # (Umbrello would ask before writing over it)
  HOME=$home XDG_CONFIG_HOME=$home/.config xvfb-run -a -s "-screen 0 1280x900x24" \
    dbus-run-session -- "$home/run.sh" "$@"
  echo "wrote $1"
}

[ $# -gt 0 ] || set -- shop optparse bank
for sample in "$@"; do
  case $sample in
    shop)
      run "$here/shop-java-import.xmi" umbrello5 --set-language-java --import-files \
        "$shop/money/Currency.java" "$shop/money/Money.java" "$shop/Priced.java" "$shop/Customer.java" \
        "$shop/Orderline.java" "$shop/Order.java" "$shop/util/Counter.java" "$shop/util/Texts.java" ;;
    optparse) run "$here/optparse-java-import.xmi" umbrello5 --set-language-java --import-directory "$here/src/optparse" ;;
    bank) DRAW=1 run "$here/bank-gui.xmi" umbrello5 ;;
    commons-io)
      (cd "$home" && apt-get source --download-only commons-io >/dev/null && tar xzf commons-io_2.11.0.orig.tar.gz)
      io="$home/commons-io-2.11.0-src/src/main/java/org/apache/commons/io"
      WAIT=120 run "$here/commons-io-java-import.xmi" umbrello5 --set-language-java --import-files \
        "$io"/comparator/*.java "$io"/filefilter/*.java ;;
    *) echo "no sample $sample (shop, optparse, bank, commons-io)" >&2; exit 2 ;;
  esac
done
