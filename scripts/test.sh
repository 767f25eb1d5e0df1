#!/usr/bin/env bash
# Builds the project and runs its whole test suite; the command the README and
# CI use. Runs as root (sudo where the system has it): it installs missing
# packages (scripts/setup.sh), and the tests labelled "netns" build a virtual
# LAN of network namespaces.
#
#   scripts/test.sh                 build/ (Ninja, -Werror), then every test
#   scripts/test.sh --sanitize      the same in build-asan/ with ASan + UBSan
#   options: --build-dir DIR   another build folder
#            --no-setup        do not check or install packages
#            --no-netns        skip the tests that need root and namespaces
#            --bench           also run the benchmarks (label "bench"; slow, not tests)
#            -- ARGS...        further arguments for ctest (e.g. -R app_)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
sanitize=0
setup=1
netns=1
bench=0
build_dir=""
ctest_args=()

while (($#)); do
  case "$1" in
    --sanitize) sanitize=1 ;;
    --build-dir) build_dir="${2:?--build-dir needs a folder}"; shift ;;
    --no-setup) setup=0 ;;
    --no-netns) netns=0 ;;
    --bench) bench=1 ;;
    --) shift; ctest_args+=("$@"); break ;;
    -h|--help) sed -n '2,13p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "test.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
  shift
done

if [ -z "$build_dir" ]; then
  if ((sanitize)); then build_dir="$root/build-asan"; else build_dir="$root/build"; fi
fi

if ((netns)) && [ "$(id -u)" -ne 0 ]; then
  echo "test.sh: the netns tests need root; run it as root (sudo scripts/test.sh where sudo is installed) or pass --no-netns" >&2
  exit 2
fi

if ((setup)); then
  "$root/scripts/setup.sh"
fi

cmake_args=(-S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DGWCFG_WERROR=ON)
if ((sanitize)); then
  cmake_args+=(-DGWCFG_SANITIZE=ON)
  # Stop at the first finding, and make every finding fail the test.
  export ASAN_OPTIONS="${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1}"
  export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:abort_on_error=1:print_stacktrace=1}"
  if [ -z "${LSAN_OPTIONS:-}" ] && [ -f "$root/scripts/lsan.supp" ]; then
    export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
  fi
else
  cmake_args+=(-DGWCFG_SANITIZE=OFF)
fi

# ctest honours one exclusion pattern, so the excluded labels are joined.
# The write cases (label "write") each wait out several 8 s writes in a LAN of
# their own; they run after the rest, side by side.
excluded=(write)
((bench)) || excluded+=(bench)
((netns)) || excluded+=(netns)
exclusion="^($(IFS='|'; echo "${excluded[*]}"))\$"

cmake "${cmake_args[@]}"
cmake --build "$build_dir" -j2
status=0
ctest --test-dir "$build_dir" --output-on-failure --no-tests=error -LE "$exclusion" "${ctest_args[@]}" || status=$?
if ((netns)); then
  ctest --test-dir "$build_dir" --output-on-failure --no-tests=ignore -L '^write$' -j 6 "${ctest_args[@]}" || status=$?
fi
exit $status
