#!/usr/bin/env bash
# Builds one fuzz target with clang and libFuzzer and runs it.
#
#   fuzz/run.sh TARGET SECONDS [LIBFUZZER-OPTION...]
#
# TARGET is one of: template_line model_document project_line
# resource_fields selection_name xmi csv store_location answer. The build goes to build-fuzz/ (FUZZ_BUILD_DIR),
# sanitized and instrumented, without the tests. The seeds come from
# fuzz/make_corpus.py (fuzz/corpus/TARGET/, rewritten on each run); what the
# run finds goes to build-fuzz/corpus/TARGET/, a crashing input to
# build-fuzz/artifacts/TARGET/, and the output to build-fuzz/TARGET.log.
# Exit status: 0 when the run found nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET SECONDS [LIBFUZZER-OPTION...]" >&2
  exit 2
fi
target=$1
seconds=$2
shift 2
case "$target" in
  template_line|model_document|project_line|resource_fields|selection_name|xmi|csv|store_location|answer) ;;
  *) echo "$0: unknown target '$target'" >&2; exit 2 ;;
esac

packages=(
  cmake ninja-build clang-14 libclang-rt-14-dev python3
  libstdc++-12-dev nlohmann-json3-dev libcli11-dev libsqlite3-dev libpugixml-dev libpq-dev
)
tools/install-packages.sh "${packages[@]}"

build=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZT_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}" --target "fuzz_$target"

python3 fuzz/make_corpus.py
mkdir -p "$build/corpus/$target" "$build/artifacts/$target"
dict=()
if [ -f "fuzz/$target.dict" ]; then dict=("-dict=fuzz/$target.dict"); fi
# The add-in's texts in English, whatever the caller's locale.
LANG=C LC_ALL= LC_MESSAGES= "$build/bin/fuzz_$target" "$build/corpus/$target" "fuzz/corpus/$target" \
  -max_total_time="$seconds" -artifact_prefix="$build/artifacts/$target/" -print_final_stats=1 \
  "${dict[@]}" "$@" 2>&1 | tee "$build/$target.log"
exit "${PIPESTATUS[0]}"
