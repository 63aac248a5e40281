# What every command-line test starts with, sourced as
#   . "$2/tests/cli/lib/common.sh" "$@"
# $zt: the program, made absolute; $src: the source folder; $tmp: a fresh
# folder, removed at exit; check NAME COMMAND...: counts a check, says FAIL
# when COMMAND fails; finish NAME: the summary line and the exit status;
# need PROGRAM PACKAGE, need_llvm_rc: fail at once without a tool the test
# runs (./bootstrap.sh test installs them all); gone_compiler STORE: STORE's
# resource compiler set to a program that is then removed; big_model N
# [labelled]: a model of N packages of 10 EJBs (100 operations a package;
# labelled: with a String parameter more for each); sqlite3_on DATABASE: an
# sqlite3 process on DATABASE.
set -u
zt=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
src=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export LANG=C SOURCE_DATE_EPOCH=0
checks=0
fail=0
check() {
  local name=$1
  shift
  checks=$((checks + 1))
  if ! "$@"; then
    echo "FAIL: $name"
    fail=1
  fi
}
finish() {
  if [ "$fail" -ne 0 ]; then exit 1; fi
  echo "$1: all $checks checks passed"
  exit 0
}
need() {
  command -v "$1" >/dev/null 2>&1 && return
  echo "FAIL: $1 is not installed (./bootstrap.sh test installs the Debian package $2)"
  exit 1
}
need_llvm_rc() {
  [ -n "${ZTUNITTEST_LLVM_RC:-}" ] || command -v llvm-rc-14 >/dev/null || need llvm-rc llvm
}
gone_compiler() {
  printf 'x' >"$tmp/gone-rc.exe" && chmod +x "$tmp/gone-rc.exe"
  "$zt" options --store "$1" --resource-compiler "$tmp/gone-rc.exe" >/dev/null 2>&1
  rm "$tmp/gone-rc.exe"
}
# Each EJB is a remote interface of 8 operations and a home of 2.
big_model() {
  local label='' name=''
  [ "${2:-}" = labelled ] && label=',{"name":"label","type":"String"}' name=',"parameters":[{"name":"name","type":"String"}]'
  printf '{"model":"Big","packages":[{"name":"javax","packages":[{"name":"ejb","classes":[{"name":"EJBObject"},{"name":"EJBHome"}]}]}'
  for ((p = 0; p < $1; p++)); do
    printf ',{"name":"pkg%s","classes":[' "$p"
    for e in 0 1 2 3 4 5 6 7 8 9; do
      [ "$e" -gt 0 ] && printf ','
      printf '{"name":"Svc%s%s","stereotype":"EJBRemoteInterface","language":"Java","operations":[' "$p" "$e"
      for o in 0 1 2 3 4 5 6 7; do
        [ "$o" -gt 0 ] && printf ','
        printf '{"name":"op%s","returnType":"double","parameters":[{"name":"amount","type":"double","initValue":"%s.5"}%s]}' "$o" "$o" "$label"
      done
      printf ']},{"name":"Svc%s%sHome","stereotype":"EJBHomeInterface","language":"Java","operations":[' "$p" "$e"
      printf '{"name":"create","returnType":"Svc%s%s"},{"name":"findByName","returnType":"Svc%s%s"%s}]}' "$p" "$e" "$p" "$e" "$name"
    done
    printf ']}'
  done
  printf ']}\n'
}
# sqlite3_on reads its commands from the descriptor 3 of this shell; its pid in $holder.
sqlite3_on() {
  rm -f "$tmp/feed" && mkfifo "$tmp/feed"
  sqlite3 "$1" <"$tmp/feed" >/dev/null 2>&1 &
  holder=$!
  exec 3>"$tmp/feed"
}
