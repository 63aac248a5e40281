#!/usr/bin/env bash
# Crash consistency of a generation: a model of 1,000 operations (100 EJBs,
# each a remote interface of 8 operations and a home interface of 2, in 10
# packages) is generated once without interruption as the reference; then 20
# runs into fresh stores are killed with SIGKILL at random moments within the
# reference run's duration. After each kill no test file is partial (every
# file under its final name equals the reference's); a run to completion then
# leaves exactly the reference's files, no temporary file, a database whose
# integrity check says "ok", no journal, and every datapool. Then other
# programs at the store during a run: a reader holding a transaction, a run
# from another pid namespace, and store.db cut short.
#
# The seed of the kill moments is printed; ZT_CRASH_SEED=N repeats a series,
# ZT_CRASH_KILLS=N changes the number of kills. Stores live on /dev/shm when
# it can be used: SIGKILL tests what a process leaves, not what a power cut
# does, and the page cache is the same there, without the disk's fsync
# times (a full run waits tens of seconds for fsync on a disk, and takes
# under a second on tmpfs). Without /dev/shm the series has 5 kills.
. "$2/tests/cli/lib/common.sh" "$@"
need sqlite3 sqlite3
base=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$base" "$tmp"' EXIT
export ZTUNITTEST_USER=crash

big_model 10 labelled >"$base/big.json"
select=()
for p in 0 1 2 3 4 5 6 7 8 9; do select+=(--select "pkg$p"); done

# Starts a generation into `store` in the background; its pid in $!.
start() { "$zt" generate "$base/big.json" "${select[@]}" --store "$1" </dev/null >"$base/out" 2>"$base/err" & }
# The files below a store's script roots with their checksums, by path.
listing() { (cd "$1/scripts" && find . -type f -exec md5sum {} + | sort -k2); }
ms() { echo $(($(date +%s%N) / 1000000)); }

# Two complete runs: the reference, and the duration that kill moments are
# drawn from (the shorter of the two, and shorter still when a run ends before
# its kill, so that most kills meet a running generation). Both give the same
# files.
durations=()
for ref in "$base/ref" "$base/again"; do
  t0=$(ms)
  start "$ref"
  wait $!
  status=$?
  durations+=($(($(ms) - t0)))
  check "complete run succeeds (status $status)" test "$status" -eq 0
  check "complete run: 1000 of 1000" grep -qx "Finished code generation, 1000 of 1000 test(s) were processed." "$base/err"
done
listing "$base/ref" >"$base/ref.files"
listing "$base/again" >"$base/again.files"
check "complete run: 1000 files" test "$(wc -l <"$base/ref.files")" -eq 1000
check "complete runs give the same files" diff -q "$base/ref.files" "$base/again.files"
"$zt" datapool list --store "$base/ref" >"$base/ref.pools" 2>&1
check "complete run: 1000 datapools" grep -qx "1000 datapool(s):" "$base/ref.pools"
rm -rf "$base/again"
duration=$((durations[0] < durations[1] ? durations[0] : durations[1]))
[ "$duration" -gt 0 ] || duration=1

seed=${ZT_CRASH_SEED:-$(($(date +%s) % 32768))}
if [[ $base == /dev/shm/* ]]; then kills=${ZT_CRASH_KILLS:-20}; else kills=${ZT_CRASH_KILLS:-5}; fi
RANDOM=$seed
echo "crash_kill: complete runs ${durations[0]} and ${durations[1]} ms; seed $seed; $kills kills within ${duration} ms"
hit=0 partial=0 caught=0 journals=0
for i in $(seq 1 "$kills"); do
  store=$base/s$i
  delay=$(((RANDOM * 32768 + RANDOM) % duration))
  start "$store"
  pid=$!
  sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  status=$?
  if [ "$status" -eq 137 ]; then
    hit=$((hit + 1))
  elif [ "$status" -eq 0 ] && [ "$delay" -gt 0 ]; then
    duration=$delay # a run takes no longer now; later kills come earlier
  fi

  # No file under its final name is partial or foreign; temporary files
  # (".<name>~<pid>~<random>") may be there.
  files=0 temporaries=0 bad=0
  if [ -d "$store/scripts" ]; then
    listing "$store" >"$base/files"
    read -r files temporaries bad < <(awk -v kill="$i" '
      NR == FNR { ref[$2] = $1; next }
      { n++; base = $2; sub(/.*\//, "", base) }
      base ~ /^\..+~[0-9]+~[A-Za-z0-9][A-Za-z0-9][A-Za-z0-9][A-Za-z0-9][A-Za-z0-9][A-Za-z0-9]$/ { t++; next }
      !($2 in ref) || ref[$2] != $1 { print "FAIL: kill " kill ": " $2 " is partial or foreign" > "/dev/stderr"; b++ }
      END { print n + 0, t + 0, b + 0 }' "$base/ref.files" "$base/files")
  fi
  [ "$bad" -eq 0 ] || { fail=1; partial=$((partial + bad)); }
  caught=$((caught + temporaries))
  [ -e "$store/store.db-journal" ] && journals=$((journals + 1))
  echo "kill $i: after ${delay} ms, status $status; $files files, $temporaries temporary"

  # What a kill between creating and renaming a temporary file leaves: one
  # of the killed writer. The next run removes it, as it does the real ones.
  folder=$store/scripts/java/unittests/pkg0
  [ -d "$folder" ] && : >"$folder/.Svc00op0.java~$pid~kiLLed"

  # A run to completion repairs everything.
  start "$store"
  wait $!
  status=$?
  check "kill $i: the next run succeeds (status $status)" test "$status" -eq 0
  listing "$store" >"$base/files"
  check "kill $i: the next run leaves the reference's files and no temporary" diff -q "$base/ref.files" "$base/files"
  check "kill $i: no journal is left" test ! -e "$store/store.db-journal"
  check "kill $i: integrity check" test "$(sqlite3 "$store/store.db" 'PRAGMA integrity_check')" = ok
  "$zt" datapool list --store "$store" >"$base/pools" 2>&1
  check "kill $i: every datapool is there" diff -q "$base/ref.pools" "$base/pools"
  rm -rf "$store"
done
echo "crash_kill: $hit of $kills kills hit a running generation; $partial partial files; $caught temporary files and $journals journals left by kills, cleaned by the next run"
# Timing only decides when to kill; but a series in which no kill met a
# running generation has tested nothing.
check "a kill met a running generation" test "$hit" -gt 0

# -- Other programs at the store during a run -----------------------------------
# A reader that starts a transaction during a run ("BEGIN; SELECT ...;" left
# open in sqlite3) and holds it for longer than SQLite's usual wait of 5 s:
# the run waits for it, and every datapool it logged is stored.
store=$base/busy
"$zt" generate "$base/big.json" --select pkg0::Svc00::op0 --store "$store" </dev/null >/dev/null 2>&1
start "$store" 3>&-
run=$!
sleep "$(printf '0.%03d' $((duration / 4 % 1000)))"
kill -0 "$run" 2>/dev/null
met=$?
sqlite3_on "$store/store.db"
printf '.timeout 5000\nBEGIN;\nSELECT count(*) FROM datapools;\n' >&3
sleep 6
echo "COMMIT;" >&3
exec 3>&-
wait "$holder"
wait "$run"
status=$?
check "busy reader: it met a running generation" test "$met" -eq 0
check "busy reader: the run succeeds (status $status)" test "$status" -eq 0
"$zt" datapool list --store "$store" >"$base/pools" 2>&1
check "busy reader: every datapool is there" diff -q "$base/ref.pools" "$base/pools"
rm -rf "$store"

# A second run from another pid namespace (a container that shares the
# store) while a run writes: it sees no process of the first, but the
# store's lock tells it that a writer is at work, and it removes none of the
# first run's temporary files.
if unshare --pid --fork true 2>/dev/null; then
  overlaps=0
  for i in 1 2 3; do
    store=$base/ns$i
    start "$store"
    first=$!
    sleep "$(printf '0.%03d' $((duration / 4 % 1000)))"
    kill -0 "$first" 2>/dev/null && overlaps=$((overlaps + 1))
    unshare --pid --fork "$zt" generate "$base/big.json" --select pkg0::Svc00::op0 --store "$store" </dev/null >/dev/null 2>&1
    wait "$first"
    status=$?
    check "pid namespace $i: the first run succeeds (status $status)" test "$status" -eq 0
    listing "$store" >"$base/files"
    check "pid namespace $i: the first run's files are all there" diff -q "$base/ref.files" "$base/files"
    rm -rf "$store"
  done
  echo "crash_kill: $overlaps of 3 runs in another pid namespace met a running generation"
  check "a run in another pid namespace met a running generation" test "$overlaps" -gt 0
else
  echo "SKIP: pid namespaces: unshare --pid is not possible here"
fi

# store.db cut short by another program during a run: a run that ends with a
# damaged store does not succeed.
cuts=0
for i in 1 2 3 4 5; do
  store=$base/cut$i
  start "$store"
  pid=$!
  delay=$((duration / 10 + RANDOM % (duration / 2 + 1)))
  sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
  cut=0
  kill -0 "$pid" 2>/dev/null && [ -e "$store/store.db" ] && truncate -s 8192 "$store/store.db" && cut=1
  cut_at=$(ms)
  wait "$pid"
  status=$?
  left=$(($(ms) - cut_at))
  verdict=$(sqlite3 "$store/store.db" 'PRAGMA quick_check' 2>&1 | head -1)
  echo "cut $i: after ${delay} ms, cut $cut, the run ended ${left} ms later, status $status, check: $verdict"
  # A cut in the last moments of a run may come after the run's own last
  # look at its store, which nothing can notice: only a cut with a good part
  # of a run still to come is judged.
  if [ "$cut" -eq 1 ]; then
    cuts=$((cuts + 1))
    if [ $((left * 4)) -ge "$duration" ]; then
      [ "$verdict" = ok ] || check "cut $i: a run that leaves a damaged store fails" test "$status" -ne 0
    fi
  fi
  rm -rf "$store"
done
check "a cut met a running generation" test "$cuts" -gt 0

finish crash_kill
