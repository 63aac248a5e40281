#!/usr/bin/env bash
# run_pages.sh on pages made here, in a source tree of their own: what it
# must let pass, and what it must fail with the page's line and reason.
#   run_pages_check.sh SOURCE_DIR
set -u
src=$(cd "${1:?usage: run_pages_check.sh SOURCE_DIR}" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/src/docs" "$tmp/src/examples" "$tmp/src/tests/java-runtime/models" "$tmp/src/tests/cli/lib" "$tmp/bin"
cp "$src/tests/cli/lib/common.sh" "$tmp/src/tests/cli/lib/"
echo 'model' >"$tmp/src/examples/m.json"
echo '# runs docs/good.md' >"$tmp/src/tests/cli/good.sh"
echo '# runs nothing' >"$tmp/src/tests/cli/other.sh"
printf '#!/bin/sh\necho "prog $*"\n' >"$tmp/bin/prog" && chmod +x "$tmp/bin/prog"
fail=0
# case NAME EXPECTED: the page on stdin; EXPECTED is "pass" or a line the failure prints.
case_() {
  cat >"$tmp/src/docs/good.md"
  out=$(bash "$src/tests/docs/run_pages.sh" "$tmp/bin/prog" "$tmp/src" docs/good.md 2>&1)
  status=$?
  if [ "$2" = pass ]; then
    [ "$status" = 0 ] && return
  elif [ "$status" != 0 ] && grep -qF -- "$2" <<<"$out"; then
    return
  fi
  echo "FAIL: $1 (exit status $status, expected $2):"
  echo "$out"
  fail=1
}
case_ "every kind of marker, the program on the PATH, variables kept" pass <<'EOF'
Run:

<!-- run -->

    X=5
    test "$(prog a)" = "prog a"

<!-- run: exits 3; with m.json=examples/m.json; given test -f m.json -->
```sh
test "$X" = 5 && exit 3
```

<!-- not run: output -->
```
prog a
```

<!-- run: by tests/cli/good.sh -->

    prog b

- an item

    in a list, indented as its text

<!-- run -->

    $ cat rows.csv
    a
    1
    $ cat rows.csv | wc -l
    2
EOF
case_ "a block without a marker" "FAIL: docs/good.md:3: prog x: a block without a marker" <<'EOF'
Text:

    prog x
EOF
case_ "a reason that is no reason" 'FAIL: docs/good.md:5: x: the reason "later" is one of:' <<'EOF'
Text:

<!-- not run: later -->
```
x
```
EOF
case_ "a block that fails names its line and shows what it printed" "said before failing" <<'EOF'
<!-- run -->

    echo said before failing
    false
    echo not reached
EOF
case_ "... and its first line" "FAIL: docs/good.md:3: echo said: exits 0 (exit status 1)" <<'EOF'
<!-- run -->

    echo said
    false
EOF
case_ "an exit status other than the page's" "exits 2 (exit status 0)" <<'EOF'
<!-- run: exits 2 -->

    true
EOF
case_ "a session that prints otherwise" "where the page shows:" <<'EOF'
<!-- run -->

    $ prog a
    prog b
EOF
case_ "a test that does not take the block from the page" "run by tests/cli/other.sh, which takes it from docs/good.md" <<'EOF'
<!-- run: by tests/cli/other.sh -->

    prog
EOF
case_ "a test the page names that is not there" "names tests/cli/gone.sh, which must be there" <<'EOF'
`tests/cli/gone.sh` checks it.
EOF
case_ "an unknown clause" 'unknown clause "often"' <<'EOF'
<!-- run: often -->

    prog
EOF
if [ "$fail" -ne 0 ]; then exit 1; fi
echo "run_pages_check: all cases passed"
