#!/usr/bin/env bash
# The benchmark's sed baseline: fills each operation's template with one sed
# call, the tags replaced by their values, and writes one file per operation.
#
#   sed-loop.sh JOBS OUTDIR
#
# JOBS has one line per operation, its fields separated by the unit separator
# (0x1F): template, file (relative to OUTDIR), then the values of
# <test_name> <class_name> <method_name> <datapool_name> <package_name>
# <remote_interface_name> <home_interface_name> <primary_key_class_name>
# <method_call> <parameter_declarations> <parameter_initialization>
# <return_declaration> <return_assignment> <check_expected_result>.
# The other tags get fixed values. zt_bench writes JOBS with the model.
set -euo pipefail

jobs=$1
out=$2
date=$(date '+%m/%d/%y %H:%M:%S')

# The folders first, once each.
cut -d $'\x1f' -f 2 "$jobs" | sed 's|/[^/]*$||' | sort -u | (cd "$out" && xargs mkdir -p)

while IFS=$'\x1f' read -r template file test class method datapool package remote home key call \
      declarations initialization returnDeclaration returnAssignment check; do
  sed -e "s|<test_name>|$test|g" -e 's|<index>||g' -e "s|<class_name>|$class|g" \
      -e "s|<method_name>|$method|g" -e "s|<generation_date>|$date|g" -e 's|<author_name>|bench|g' \
      -e "s|<datapool_name>|$datapool|g" -e "s|<package_name>|$package|g" \
      -e "s|<remote_interface_name>|$remote|g" -e "s|<home_interface_name>|$home|g" \
      -e "s|<primary_key_class_name>|$key|g" -e "s|<method_call>|$call|g" \
      -e "s|<parameter_declarations>|$declarations|g" -e "s|<parameter_initialization>|$initialization|g" \
      -e "s|<return_declaration>|$returnDeclaration|g" -e "s|<return_assignment>|$returnAssignment|g" \
      -e "s|<check_expected_result>|$check|g" \
      -e 's|<createparam_declaration>||g' -e 's|<createparam_init>||g' -e 's|<create_params>||g' \
      -e 's|<keyvalue_declaration>||g' -e 's|<keyvalue_init>||g' -e 's|<key_params>||g' \
      "$template" >"$out/$file"
done <"$jobs"
