# What every command-line test starts with, sourced as
#   . "$2/tests/cli/lib/common.sh" "$@"
# $zt: the program, made absolute; $src: the source folder; $tmp: a fresh
# folder, removed at exit; check NAME COMMAND...: counts a check, says FAIL
# when COMMAND fails; finish NAME: the summary line and the exit status.
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
