#!/usr/bin/env bash
# Checks that everything the build and the tests take from the machine comes
# from a Debian package that bootstrap.sh installs for the mode, or from one
# those packages pull in, or from the base system: a machine where something
# was installed by hand builds and tests what a fresh machine cannot, and
# this check is what tells the two apart.
#
#   check_packages.sh SOURCE_DIR run|test
#
# run:  the headers that src/ and tools/ include, and the programs the build
#       runs, against the packages of `./bootstrap.sh run`;
# test: that, and the headers of tests/, bench/ and fuzz/, the jars of
#       /usr/share/java that the build and the tests name, and the programs
#       the tests and the build call, against those of `./bootstrap.sh test`.
#
# What it looks at: #include <...> lines, found on the compiler's search
# path (or in a folder of /usr/include, as pkg-config hands the build);
# NAME.jar names in the build files and the tests; the programs of the
# command-line tests (`need PROGRAM PACKAGE`, and every command word of their
# scripts that is a program on the PATH), of the C++ tests (FindProgram) and
# of CMake (find_program, the JDK). `dpkg -S` names each one's package. Prints
# one line for each thing found wrong, then one line that sums it up, and
# exits 1 when there is one; 0 and a line that says what it checked otherwise.
set -euo pipefail
root=${1:?usage: check_packages.sh SOURCE_DIR run|test}
mode=${2:?usage: check_packages.sh SOURCE_DIR run|test}
here=$(cd "$(dirname "$0")" && pwd)
cd "$root"
case "$mode" in run|test) ;; *) echo "usage: check_packages.sh SOURCE_DIR run|test" >&2; exit 2 ;; esac

bad=0
complain() { echo "check_packages: $*"; bad=$((bad + 1)); }

# The packages of the mode, and everything installed that they depend on
# (Depends and Pre-Depends, every installed package that satisfies one of a
# set of alternatives or provides a virtual name), and the base system
# (essential and required packages, on every Debian machine).
mapfile -t named < <(./bootstrap.sh packages "$mode")
allowed=$(dpkg-query -W -f='${db:Status-Abbrev}\t${Package}\t${Essential}\t${Priority}\t${Provides}\t${Pre-Depends}, ${Depends}\n' |
  awk -F'\t' -v named="${named[*]}" '
    function bare(s) { gsub(/\([^)]*\)|:[a-z0-9]+|[[:space:]]/, "", s); return s }
    $1 ~ /^ii/ {
      pkg = $2; installed[pkg] = 1; deps[pkg] = $6
      if ($3 == "yes" || $4 == "required") base[pkg] = 1
      n = split($5, provides, ",")
      for (i = 1; i <= n; i++) { p = bare(provides[i]); if (p != "") providers[p] = providers[p] " " pkg }
    }
    function visit(pkg,    n, groups, i, m, alts, j, a, k, by, q) {
      if (pkg in seen) return
      seen[pkg] = 1
      n = split(deps[pkg], groups, ",")
      for (i = 1; i <= n; i++) {
        m = split(groups[i], alts, "|")
        for (j = 1; j <= m; j++) {
          a = bare(alts[j])
          if (a == "") continue
          if (a in installed) visit(a)
          k = split(providers[a], by, " ")
          for (q = 1; q <= k; q++) visit(by[q])
        }
      }
    }
    END {
      split(named, roots, " ")
      for (r in roots) if (roots[r] in installed) visit(roots[r])
      for (b in base) visit(b)
      for (p in seen) print p
    }')
declare -A ok=()
for p in $allowed; do ok[$p]=1; done
for p in "${named[@]}"; do
  [ -n "${ok[$p]+x}" ] || complain "bootstrap.sh names $p, which is not installed here (run ./bootstrap.sh $mode)"
done

# Every "PATH<TAB>WHAT" of `items` (PATH as found, links not yet followed)
# with the packages that own the file, as "PATH<TAB>WHAT<TAB>OWNERS" (OWNERS
# empty for a file no package owns). A file under /usr/bin or /usr/lib may be
# known to dpkg by its place before /usr was merged.
owners() {
  [ ${#items[@]} -gt 0 ] || return 0
  local -a found=() real=()
  local item
  for item in "${items[@]}"; do found+=("${item%%$'\t'*}"); done
  mapfile -t real < <(readlink -f "${found[@]}")
  local -a queried=("${real[@]}")
  for item in "${real[@]}"; do
    case "$item" in /usr/bin/* | /usr/sbin/* | /usr/lib/*) queried+=("${item#/usr}") ;; esac
  done
  { dpkg-query -S "${queried[@]}" 2>/dev/null || true; echo "--"
    for i in "${!items[@]}"; do printf '%s\t%s\n' "${real[$i]}" "${items[$i]#*$'\t'}"; done; } |
    awk -F'\t' '
      $0 == "--" { joining = 1; next }
      !joining {
        split($0, parts, ": "); path = substr($0, length(parts[1]) + 3)
        list = parts[1]; gsub(/:[a-z0-9]+|,/, "", list)
        owner[path] = owner[path] " " list
        if (path !~ /^\/usr\//) owner["/usr" path] = owner["/usr" path] " " list
        next
      }
      { print $1 "\t" $2 "\t" owner[$1] }'
}

# "PATH<TAB>WHAT<TAB>OWNERS" → a complaint unless one owner is allowed.
judge() {
  local path what owners o
  while IFS=$'\t' read -r path what owners; do
    if [ -z "${owners// /}" ]; then
      complain "$what: $path belongs to no Debian package (installed by hand?)"
      continue
    fi
    for o in $owners; do [ -n "${ok[$o]+x}" ] && continue 2; done
    complain "$what: $path comes from$owners, which ./bootstrap.sh $mode does not install"
  done
}

# What was found on the machine, as "PATH<TAB>WHAT", judged all at once below.
items=()

# Headers. The compiler's search path first, then the folders of
# /usr/include that pkg-config adds for a library (postgresql/ for libpq).
mapfile -t search < <(g++ -x c++ -E -v - </dev/null 2>&1 |
  sed -n '/^#include <...> search starts here:/,/^End of search list./p' | sed '1d;$d;s/^ *//')
header_dirs=(src tools)
[ "$mode" = test ] && header_dirs+=(tests bench fuzz)
headers=0
while IFS=$'\t' read -r header user; do
  headers=$((headers + 1))
  for dir in "${search[@]}" /usr/include/*/; do
    if [ -f "${dir%/}/$header" ]; then
      items+=("${dir%/}/$header"$'\t'"<$header> (included by $user)")
      continue 2
    fi
  done
  complain "<$header> (included by $user) is on no include path: no installed package provides it; name its package in bootstrap.sh"
done < <(grep -rHoE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<[^>]+>' "${header_dirs[@]}" --include='*.h' --include='*.cpp' |
         sed -E 's/^([^:]*):.*<([^>]+)>.*/\2\t\1/' | sort -t$'\t' -k1,1 -u)

# Programs: what the build runs in either mode; in test mode also the JDK, the
# programs CMake looks for, and what the tests call.
programs=(cmake ninja g++ pkg-config)
# The build makes the Java runtime with the JDK.
if grep -rqs --include=CMakeLists.txt --exclude-dir='build*' 'find_package(Java' .; then programs+=(javac jar java); fi
if [ "$mode" = test ]; then
  mapfile -t -O ${#programs[@]} programs < <(
    {
      # (a grep that finds nothing is no failure here)
      set +e
      grep -rshoE 'find_program\([A-Za-z0-9_]+ [A-Za-z0-9_.+-]+' --include=CMakeLists.txt --exclude-dir='build*' . |
        awk '{print $2}'
      grep -rshoE 'FindProgram\("[^"]+"\)' tests --include='*.cpp' --include='*.h' | sed -E 's/.*\("([^"]+)"\)/\1/'
      grep -rshoE '(^|[;&|(]|then|do)[[:space:]]*need[[:space:]]+[A-Za-z0-9_.+-]+' tests --include='*.sh' | awk '{print $NF}'
      # Every command word of the scripts the tests and the build run (the
      # scripts that made the test data are not run).
      find tests tools -path tests/data -prune -o -name '*.sh' -print0 2>/dev/null |
        xargs -0 awk -f "$here/command_words.awk"
    } | sort -u)
fi
for program in "${programs[@]}"; do
  # Builtins, keywords and functions are not programs; a word that names no
  # program on the PATH is the test's own failure to report (`need`).
  path=$(type -P "$program" 2>/dev/null) || continue
  items+=("$path"$'\t'"the program $program")
done

# Jars: every NAME.jar that the build files and the tests name and Debian
# puts into /usr/share/java (the project's own jars are not there).
jars=0
if [ "$mode" = test ]; then
  while IFS= read -r jar; do
    if [ -f "/usr/share/java/$jar" ]; then
      jars=$((jars + 1))
      items+=("/usr/share/java/$jar"$'\t'"the jar $jar")
    elif grep -rqsF "/usr/share/java/$jar" tests java CMakeLists.txt; then
      complain "the jar /usr/share/java/$jar is not installed: name its package in bootstrap.sh"
    fi
  done < <(grep -rshoE '[A-Za-z0-9_.+-]+\.jar\b' tests java CMakeLists.txt \
             --include=CMakeLists.txt --include='*.sh' --include='*.cpp' --include='*.h' | sort -u)
fi

judge < <(owners)

if [ "$bad" -ne 0 ]; then
  echo "check_packages: $bad dependencies that ./bootstrap.sh $mode does not install; a fresh machine cannot build or test this"
  exit 1
fi
echo "check_packages: $headers headers, ${#programs[@]} programs and $jars jars come from what ./bootstrap.sh $mode installs"
