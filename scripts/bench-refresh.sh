#!/usr/bin/env bash
# Runs the refresh benchmark of the main window inside a virtual LAN of its
# own (see scripts/vlan.sh). Needs root.
#
#   scripts/bench-refresh.sh [BUILD_DIR]     (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
bench=$build/bench/refresh/bench_refresh
[ -x "$bench" ] || { echo "bench-refresh.sh: $bench not built (cmake --build $build --target bench_refresh)" >&2; exit 2; }
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$config
"$here/vlan.sh" -- "$bench"
