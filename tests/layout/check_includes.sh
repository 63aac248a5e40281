#!/usr/bin/env bash
# Checks that the #include lines of src/ and tools/ follow the dependency
# picture of ARCHITECTURE.md: the add-in's core folders form one order
# (addin, driver, generators, template, resources, lang, support, host, each
# seeing only those after it) and see nothing outside the core but the
# generated string ids; each workbench part sees the parts below it, the
# core's host/ and support/ and the string ids; the command line sees all.
# Prints every include against the direction and exits 1 if there is one.
#
#   check_includes.sh SOURCE_DIR
set -euo pipefail
root=${1:?usage: check_includes.sh SOURCE_DIR}
cd "$root"

# What each folder may include besides itself.
declare -A allowed=(
  [host]="strings"
  [support]="host strings"
  [lang]="support host strings"
  [resources]="lang support host strings"
  [template]="resources lang support host strings"
  [generators]="template resources lang support host strings"
  [driver]="generators template resources lang support host strings"
  [addin]="driver generators template resources lang support host strings"
)
base="host support strings"
allowed+=(
  [workbench/text]="$base"
  [workbench/system]="$base workbench/text"
  [workbench/terminal]="$base workbench/text"
  [workbench/model]="$base workbench/text"
  [workbench/documents]="$base workbench/model workbench/system workbench/text"
  [workbench/store]="$base workbench/terminal workbench/system workbench/text"
  [workbench/code]="$base workbench/model workbench/system workbench/text"
  [workbench/components]="$base workbench/store workbench/documents workbench/code workbench/model workbench/terminal workbench/system workbench/text"
)

bad=0
complain() { echo "$1: includes \"$2\" against the layering ($3)"; bad=1; }

# Every include of a project header, as "FILE:TARGET", in one pass.
mapfile -t includes < <(find src tools \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z |
  xargs -0 grep -H -o '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]*"' |
  sed 's/:[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)"$/:\1/')

for entry in "${includes[@]}"; do
  file=${entry%%:*}
  target=${entry#*:}
  rel=${file#src/}
  case "$file" in
    src/cli/* | tools/*) continue ;;
    src/workbench/*/*) part=${rel#workbench/}; self="workbench/${part%%/*}" ;;
    src/workbench/*) echo "$file: a workbench source outside a part's folder"; bad=1; continue ;;
    src/*/*) self=${rel%%/*} ;;
    *) continue ;;
  esac
  if [ -z "${allowed[$self]+x}" ]; then
    echo "$file: folder \"$self\" is not in the picture (add it to ARCHITECTURE.md and here)"
    bad=1
    continue
  fi
  # The unit an include target belongs to: "workbench/PART" or the top folder.
  case "$target" in
    workbench/*/*) unit=${target#workbench/}; unit="workbench/${unit%%/*}" ;;
    */*) unit=${target%%/*} ;;
    *) continue ;;
  esac
  # Inside the store: the back-ends (sqlite/, postgres/, project/) build on
  # the shared parts and never on each other, but for the project store,
  # which keeps its data in an SQLite database in memory; the shared parts
  # know no back-end, except the one place that makes the store of a
  # location's kind (StoreLocation.cpp); the scripts side (scripts/) knows no
  # database.
  case "$file" in
    src/workbench/store/sqlite/*)
      banned="workbench/store/postgres/ workbench/store/project/ workbench/store/scripts/" ;;
    src/workbench/store/postgres/*)
      banned="workbench/store/sqlite/ workbench/store/project/ workbench/store/scripts/" ;;
    src/workbench/store/project/*) banned="workbench/store/postgres/ workbench/store/scripts/" ;;
    src/workbench/store/scripts/*)
      banned="workbench/store/sqlite/ workbench/store/postgres/ workbench/store/project/ workbench/store/Database.h workbench/store/Datapool" ;;
    src/workbench/store/StoreLocation.cpp) banned="" ;;
    src/workbench/store/*) banned="workbench/store/sqlite/ workbench/store/postgres/ workbench/store/project/" ;;
    *) banned="" ;;
  esac
  for b in $banned; do
    case "$target" in "$b"*) complain "$file" "$target" "the store's back-ends and shared parts (ARCHITECTURE.md)" ;; esac
  done
  [ "$unit" = "$self" ] && continue
  case " ${allowed[$self]} " in
    *" $unit "*) ;;
    *) complain "$file" "$target" "$self may include: ${allowed[$self]}" ;;
  esac
done

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
