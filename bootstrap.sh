#!/usr/bin/env bash
# Sets ztunittest up on a Debian machine and runs it.
#
#   ./bootstrap.sh run    install what building and running the program need,
#                         build the program (no tests), generate the bundled
#                         example's tests and datapools
#   ./bootstrap.sh test   install that and what the tests need, build
#                         everything, run every test; then build again with
#                         AddressSanitizer and UndefinedBehaviorSanitizer and
#                         run every test again (the PostgreSQL store's tests
#                         start a private server of their own,
#                         tests/pg/cluster.sh; the machine's own PostgreSQL
#                         service is neither needed nor touched)
#
#   ./bootstrap.sh packages run|test
#                         print the Debian packages of the mode, one a line
#                         (what tests/layout/check_packages.sh checks against)
#
# Before building, both modes check that every header, jar and program the
# build (and with `test`, the tests) take from the machine comes from those
# packages (tests/layout/check_packages.sh): what was installed by hand on
# one machine is missing on the next.
#
# Installing needs root or sudo; everything else runs as the calling user.
# BUILD_DIR (default: build), SANITIZE_BUILD_DIR (default: build-asan) and
# JOBS (default: the number of cores) may be set; SANITIZE=0 skips the
# sanitized pass of `test`.
set -euo pipefail
cd "$(dirname "$0")"

usage() { echo "usage: $0 run|test (or: $0 packages run|test)" >&2; exit 2; }
mode=${1:-}
listing=false
if [ "$mode" = packages ]; then listing=true; mode=${2:-}; fi
case "$mode" in
  run|test) ;;
  *) usage ;;
esac

# What the program needs to build and to run: the compiler and the
# libraries, and a JDK and JUnit 5, from which the build makes the Java
# runtime of the generated tests with its JUnit 5 part (a build made
# without them has no runtime jar, or one that `java-test --junit5` refuses).
packages=(
  cmake ninja-build g++ pkg-config
  libcli11-dev libsqlite3-dev libpugixml-dev libpq-dev libjemalloc-dev
  default-jdk-headless junit5
)
# What the tests need besides: GoogleTest, the resource compiler of the COM
# projects, the javax.ejb API for the generated EJB tests, Maven and the
# plugins the Maven build of docs/java.md uses offline (Debian's repository
# /usr/share/maven-repo), the man page's maker, the tools the command-line
# tests call (git: a project store's branches merged), the PostgreSQL
# server of the team store's tests, and the compiled classes of the real
# library an Umbrello sample was imported from (Apache Commons IO's jar).
test_packages=(
  libgtest-dev libgmock-dev
  llvm libgeronimo-ejb-3.2-spec-java sqlite3 help2man jq git
  maven libmaven-resources-plugin-java libmaven-compiler-plugin-java libsurefire-java
  libbuild-helper-maven-plugin-java
  postgresql libcommons-io-java
)
if [ "$mode" = test ]; then packages+=("${test_packages[@]}"); fi
if $listing; then printf '%s\n' "${packages[@]}"; exit 0; fi

tools/install-packages.sh "${packages[@]}"
tests/layout/check_packages.sh . "$mode"

build=${BUILD_DIR:-build}
jobs=${JOBS:-$(nproc)}
testing=OFF
if [ "$mode" = test ]; then testing=ON; fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING="$testing" >/dev/null
cmake --build "$build" -j "$jobs"

case "$mode" in
  run)
    # The main job on the bundled EJB example: tests and datapools for the
    # remote and home interfaces of Account, into a fresh store.
    store="$build/example-store"
    rm -rf "$store"
    status=0
    "$build/bin/ztunittest" generate examples/bank-ejb.json \
      --select bank::core::Account --select bank::core::AccountHome \
      --store "$store" --user "${USER:-demo}" </dev/null || status=$?
    "$build/bin/ztunittest" datapool list --store "$store"
    cat <<EOF

The example's tests are in $store/scripts/java/unittests/, its datapools in
$store/store.db ("$build/bin/ztunittest datapool list --store $store" lists them).
Next:
  - tests for your own Java classes, compiled and run with JUnit 5: docs/java.md
  - every command and option: $build/bin/ztunittest --help
  - the whole test suite: ./bootstrap.sh test
EOF
    exit "$status"
    ;;
  test)
    ctest --test-dir "$build" --output-on-failure -j "$jobs"
    if [ "${SANITIZE:-1}" != 0 ]; then
      # The sanitized build is for finding faults, not for speed: with the
      # sanitizers on, -Og builds in about a third of the time -O2 takes;
      # -g1 gives their reports file and line.
      sanitized=${SANITIZE_BUILD_DIR:-build-asan}
      cmake -S . -B "$sanitized" -G Ninja -DZT_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
        "-DCMAKE_CXX_FLAGS_DEBUG=-Og -g1" >/dev/null
      cmake --build "$sanitized" -j "$jobs"
      ctest --test-dir "$sanitized" --output-on-failure -j "$jobs"
    fi
    ;;
esac
