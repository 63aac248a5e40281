#!/usr/bin/env bash
# Makes the Umbrello samples of this folder again (not run by the tests; the
# samples are kept as Umbrello wrote them). Needs Debian's umbrello, xvfb,
# xdotool and dbus:
#
#   tests/data/umbrello/make-samples.sh
#
# Umbrello imports the Java sources of tests/data/java-library/src
# (--import-directory with the Java language set) into a new document; its
# "save" is then called over D-Bus, and the file dialog it opens is answered
# by typing the file's path under Xvfb. With uml2=true in its settings it
# writes XMI 2.1. Umbrello's settings live in a folder of their own, so that
# the user's are not touched.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sources=$(cd "$here/../java-library/src" && pwd)
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/.config"
printf '[General]\numl2=true\n' >"$home/.config/umbrellorc"

save() {  # save OUTPUT: run under xvfb-run and dbus-run-session
  cat >"$home/save.sh" <<'SCRIPT'
#!/usr/bin/env bash
umbrello5 --set-language-java --import-directory "$2" >/dev/null 2>&1 &
pid=$!
sleep 25
dbus-send --session --type=method_call --dest="org.kde.umbrello-$pid" /umbrello/MainWindow_1 \
  org.kde.umbrello.UMLApp.slotFileSave
sleep 4
xdotool type --delay 20 "$1"
xdotool key Return
sleep 4
kill "$pid"
SCRIPT
  chmod +x "$home/save.sh"
  HOME=$home XDG_CONFIG_HOME=$home/.config xvfb-run -a -s "-screen 0 1280x900x24" \
    dbus-run-session -- "$home/save.sh" "$1" "$sources"
}

save "$here/shop-java-import.xmi"
echo "wrote $here/shop-java-import.xmi"
