#!/usr/bin/env bash
# Builds the man page of ztunittest from its own --help texts with help2man:
# the program's --help and --version make the page; each subcommand's --help
# becomes a part of its COMMANDS section, so that the page says what
# `ztunittest COMMAND --help` says.
#
#   make-man.sh PROGRAM OUTPUT
set -euo pipefail
program=$1
output=$2
include=$(mktemp)
trap 'rm -f "$include"' EXIT
export LANG=C LC_ALL=C LC_MESSAGES=C

# The subcommands a help text lists under "Subcommands:".
subcommands() {
  "$program" "$@" --help | awk '/^Subcommands:/ { on = 1; next } on && /^  [a-z]/ { print $1 } on && /^$/ { on = 0 }'
}

# A help text as a roff block that keeps its lines.
block() {
  printf '.PP\n.B ztunittest %s\n.nf\n' "$*"
  "$program" "$@" --help | sed -e 's/\\/\\e/g' -e 's/^\./\\\&./' -e "s/^'/\\\\\\&'/"
  printf '.fi\n'
}

{
  echo "[COMMANDS]"
  for command in $(subcommands); do
    nested=$(subcommands "$command")
    if [ -z "$nested" ]; then
      block "$command"
    else
      for sub in $nested; do block "$command" "$sub"; done
    fi
  done
  echo "[SEE ALSO]"
  echo "The README and the docs/ folder of the ztunittest sources."
} >"$include"

help2man --no-info --no-discard-stderr --name "generate unit tests and datapools from UML models" \
  --section 1 --include "$include" --output "$output" "$program"
