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
# Installing needs root or sudo; everything else runs as the calling user.
# BUILD_DIR (default: build), SANITIZE_BUILD_DIR (default: build-asan) and
# JOBS (default: the number of cores) may be set; SANITIZE=0 skips the
# sanitized pass of `test`.
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-}
case "$mode" in
  run|test) ;;
  *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

# What the program needs to build and to run the bundled example.
packages=(
  cmake ninja-build g++ pkg-config
  libcli11-dev libsqlite3-dev libpugixml-dev libpq-dev
)
# What the tests need besides: GoogleTest, the resource compiler of the COM
# projects, a JDK, JUnit 5 and the javax.ejb API for the Java runtime and
# the generated tests, Maven and the plugins the Maven build of
# docs/java.md uses offline (Debian's repository /usr/share/maven-repo), the
# man page's maker, the tools the command-line tests call, and the
# PostgreSQL server of the team store's tests.
test_packages=(
  libgtest-dev libgmock-dev
  llvm default-jdk-headless junit5 libgeronimo-ejb-3.2-spec-java sqlite3 help2man jq
  maven libmaven-resources-plugin-java libmaven-compiler-plugin-java libsurefire-java
  libbuild-helper-maven-plugin-java
  postgresql
)
if [ "$mode" = test ]; then packages+=("${test_packages[@]}"); fi

tools/install-packages.sh "${packages[@]}"

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
    echo "Tests: $store/scripts/java/unittests"
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
