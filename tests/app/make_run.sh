#!/usr/bin/env bash
# `make run` compiles only what it starts (qz, the help viewer, the help
# file), not the tests and benchmarks; `make test` still builds everything.
# Reads the build command each target would run (make -n) and asks ninja
# which commands building those targets from nothing takes.
#
#     make_run.sh SOURCE_DIR BUILD_DIR NINJA
set -uo pipefail

source=$1
build=$2
ninja=$3
[ -f "$build/build.ninja" ] || { echo "SKIP: not a Ninja build"; exit 77; }

failures=0
pass() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The one "cmake --build" line of a make target's recipe.
build_line() {
  make --no-print-directory -n -C "$source" "$1" BUILD="$build" | grep -E '^cmake --build ' || true
}
# Objects and programs under tests/ or bench/ that building $@ makes.
test_outputs() {
  "$ninja" -C "$build" -t commands "$@" | grep -oE -- ' -o (tests|bench)/[^ ]+' | sort -u || true
}

run_line=$(build_line run)
[ "$(printf '%s\n' "$run_line" | grep -c .)" = 1 ] && pass "make run: one build command" ||
  fail "make run: expected one 'cmake --build' line, got: $run_line"
case "$run_line" in
  *" --target "*) targets=${run_line##* --target } ;;
  *) targets=""; fail "make run builds without --target: $run_line" ;;
esac

if [ -n "$targets" ]; then
  # shellcheck disable=SC2086  # the targets are words
  commands=$("$ninja" -C "$build" -t commands $targets) || fail "ninja does not know: $targets"
  for program in src/app/qz src/app/docview src/app/qz.inf; do
    grep -qE -- "( -o |copy_if_different [^ ]+ )([^ ]*/)?$program( |$)" <<<"$commands" &&
      pass "make run builds $program" || fail "make run does not build $program"
  done
  # shellcheck disable=SC2086
  extra=$(test_outputs $targets)
  [ -z "$extra" ] && pass "make run compiles no test or benchmark" ||
    fail "make run also compiles: $(head -5 <<<"$extra")"
fi

# The check above can fail: the full build does compile the tests.
test_line=$(build_line test)
case "$test_line" in
  *" --target "*) fail "make test builds only some targets: $test_line" ;;
  "") fail "make test has no build command" ;;
  *) pass "make test builds everything" ;;
esac
[ -n "$(test_outputs all)" ] && pass "the full build compiles the tests" ||
  fail "the full build compiles no test: the check above proves nothing"

[ "$failures" = 0 ] && echo "make_run: all passed" || { echo "make_run: $failures failed"; exit 1; }
