#!/usr/bin/env bash
# Tests of check_packages.sh on small trees of its own: each case is a
# package list (what the tree's bootstrap.sh names), a source and a test
# script, and what the check must say. The packages are those every machine
# that runs the tests has (libsqlite3-dev and g++ through bootstrap.sh).
#
#   check_packages_test.sh SOURCE_DIR
set -uo pipefail
src=${1:?usage: check_packages_test.sh SOURCE_DIR}
check=$src/tests/layout/check_packages.sh
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# A program on the PATH that no package owns, as a hand-made link or script
# in /usr/local/bin would be.
mkdir -p "$tmp/bin"
printf '#!/bin/sh\n' >"$tmp/bin/zt-hand-made" && chmod +x "$tmp/bin/zt-hand-made"

fail=0
base="cmake ninja-build g++ pkg-config"
# name ^ packages ^ source line ^ test script line ^ exit ^ what the output must hold
cases=(
  "all named^$base libsqlite3-dev^#include <sqlite3.h>^^0^1 headers"
  "header of a package not named^$base^#include <sqlite3.h>^^1^<sqlite3.h> (included by src/a.cpp): /usr/include/sqlite3.h comes from libsqlite3-dev, which ./bootstrap.sh test does not install"
  "header no package provides^$base^#include <zt/no-such-header.h>^^1^<zt/no-such-header.h> (included by src/a.cpp) is on no include path"
  "standard header through the compiler's dependencies^$base^#include <vector>^^0^1 headers"
  "program no package owns^$base^#include <vector>^zt-hand-made --version^1^the program zt-hand-made: $tmp/bin/zt-hand-made belongs to no Debian package"
  "program after a pipe, of a package not named^$base^#include <vector>^echo x | sqlite3 :memory:^1^the program sqlite3: /usr/bin/sqlite3 comes from sqlite3"
  "program in a here-document or a string is not called^$base^#include <vector>^cat <<EOF\nsqlite3 x\nEOF\necho \"sqlite3 x\"^0^1 headers"
  "program of the base system^$base^#include <vector>^sed -n p /dev/null^0^1 headers"
  "package named but not installed^$base zt-no-such-package^#include <vector>^^1^bootstrap.sh names zt-no-such-package, which is not installed here"
)
for entry in "${cases[@]}"; do
  IFS='^' read -r name packages source script status expected <<<"$entry"
  tree=$tmp/tree
  rm -rf "$tree"
  mkdir -p "$tree/src" "$tree/tests/cli" "$tree/tools" "$tree/bench" "$tree/fuzz"
  printf '#!/usr/bin/env bash\nprintf "%%s\\n" %s\n' "$packages" >"$tree/bootstrap.sh"
  chmod +x "$tree/bootstrap.sh"
  printf '%s\n' "$source" >"$tree/src/a.cpp"
  printf '%b\n' "$script" >"$tree/tests/cli/a.sh"
  out=$(PATH="$tmp/bin:$PATH" bash "$check" "$tree" test 2>&1)
  got=$?
  if [ "$got" != "$status" ] || ! grep -qF -- "$expected" <<<"$out"; then
    echo "FAIL: $name: exit $got (expected $status), output:"
    echo "$out"
    fail=1
  fi
done
[ "$fail" = 0 ] && echo "check_packages_test: all ${#cases[@]} cases passed"
exit "$fail"
