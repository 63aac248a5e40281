#!/usr/bin/env bash
# Checks that the #include lines of src/ and tools/ follow the dependency
# picture of ARCHITECTURE.md: the add-in's core sees only itself and the
# generated string ids; each workbench part sees the parts below it, the
# core's host/ and support/ and the string ids; the command line sees all.
# Prints every include against the direction and exits 1 if there is one.
#
#   check_includes.sh SOURCE_DIR
set -euo pipefail
root=${1:?usage: check_includes.sh SOURCE_DIR}
cd "$root"

core="host support template lang resources generators driver addin strings"
base="host support strings"
# What each part of the workbench may include, besides itself.
declare -A allowed=(
  [text]="$base"
  [system]="$base workbench/text"
  [terminal]="$base workbench/text"
  [model]="$base workbench/text"
  [documents]="$base workbench/model workbench/system workbench/text"
  [store]="$base workbench/terminal workbench/system workbench/text"
  [components]="$base workbench/store workbench/documents workbench/model workbench/terminal workbench/system workbench/text"
)

bad=0
complain() { echo "$1: includes \"$2\" against the layering ($3)"; bad=1; }

# The unit an include target belongs to: "workbench/PART" or the top folder.
unit_of() {
  case "$1" in
    workbench/*/*) local rest=${1#workbench/}; echo "workbench/${rest%%/*}" ;;
    */*) echo "${1%%/*}" ;;
    *) echo "" ;;
  esac
}

while IFS= read -r file; do
  rel=${file#src/}
  case "$file" in
    src/workbench/*/*) part=${rel#workbench/}; part=${part%%/*}; self="workbench/$part"
      if [ -z "${allowed[$part]+x}" ]; then
        echo "$file: workbench part \"$part\" is not in the picture (add it to ARCHITECTURE.md and here)"
        bad=1; continue
      fi
      ok="${allowed[$part]}" ;;
    src/workbench/*) echo "$file: a workbench source outside a part's folder"; bad=1; continue ;;
    src/cli/* | tools/*) continue ;;
    src/*) self=${rel%%/*}; ok="$core" ;;
    *) continue ;;
  esac
  while IFS= read -r target; do
    unit=$(unit_of "$target")
    [ -z "$unit" ] && continue
    [ "$unit" = "$self" ] && continue
    case " $ok " in
      *" $unit "*) ;;
      *) complain "$file" "$target" "$self may include: $ok" ;;
    esac
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find src tools -name '*.h' -o -name '*.cpp' | sort)

# Inside the store: the back-ends (sqlite/, postgres/) build on the shared
# parts and never on each other; the shared parts know no back-end, except
# the one place that makes the store of a location's kind (StoreLocation.cpp);
# the scripts side (scripts/) knows no database.
while IFS= read -r file; do
  rel=${file#src/workbench/store/}
  case "$rel" in
    sqlite/*) banned="workbench/store/postgres/ workbench/store/scripts/" ;;
    postgres/*) banned="workbench/store/sqlite/ workbench/store/scripts/" ;;
    scripts/*) banned="workbench/store/sqlite/ workbench/store/postgres/ workbench/store/Database.h workbench/store/Datapool" ;;
    StoreLocation.cpp) banned="" ;;
    *) banned="workbench/store/sqlite/ workbench/store/postgres/" ;;
  esac
  while IFS= read -r target; do
    for b in $banned; do
      case "$target" in "$b"*) complain "$file" "$target" "the store's back-ends and shared parts (ARCHITECTURE.md)" ;; esac
    done
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find src/workbench/store -name '*.h' -o -name '*.cpp' | sort)

# A folder under src/ stays small enough to learn at a glance.
while IFS= read -r dir; do
  mapfile -t sources < <(find "$dir" -maxdepth 1 \( -name '*.h' -o -name '*.cpp' \))
  [ ${#sources[@]} -eq 0 ] && continue
  lines=$(cat "${sources[@]}" | wc -l)
  if [ ${#sources[@]} -gt 14 ] || [ "$lines" -gt 3300 ]; then
    echo "$dir: ${#sources[@]} source files, $lines lines (keep a folder to about 12 files and 3,000 lines)"
    bad=1
  fi
done < <(find src -type d)

exit $bad
