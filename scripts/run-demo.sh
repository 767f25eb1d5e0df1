#!/usr/bin/env bash
# The tool against simulated gateways, without any hardware.
#
#   scripts/run-demo.sh [--variant NAME] [--gateways FILE] [--lang de|en]
#                        [--save] [--screenshot FILE.png] [--minutes N] [--build-dir DIR]
#
# As root (sudo -E where the system has sudo). Installs what is missing
# (scripts/setup.sh), builds ovipgwadmin and gatewaysim in build-demo/ (Release,
# apart from the tests' build/) when needed, builds a virtual LAN
# (scripts/vlan.sh), starts the simulated gateways of FILE (default
# sim/demo-gateways.json) in its gateway namespace and the tool in its tool
# namespace. What the gateways received is logged to <build>/demo-received.jsonl.
#  - With a usable $DISPLAY the tool opens there; close it to end the demo
#    (it is ended after --minutes, default 60).
#  - Without one it runs under Xvfb: once the first refresh of the list has
#    finished a screenshot is taken, its path printed, and the tool ended.
# --variant   executable name of a product variant (ovipgwadmin, pln-knx_ipconfig,
#             ovipgwconfig, ovenoceanipconfig, vzuipconfig, vscangwconfig, vserialgwconfig)
# --lang      language switch for this run only (a temporary XDG_CONFIG_HOME)
# --save      the gateways keep what the tool writes: FILE itself is updated
#             (otherwise the simulator works on a copy)
# Nothing is left behind: the LAN, the simulator, Xvfb and temporary files go.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build-demo
VARIANTS=(ovipgwadmin pln-knx_ipconfig ovipgwconfig ovenoceanipconfig vzuipconfig vscangwconfig vserialgwconfig)
readonly REFRESH_BASE_S=1 REFRESH_PER_GATEWAY_MS=1200 SCREENSHOT_MARGIN_S=3

say() { echo "run-demo: $*" >&2; }
die() { say "$*"; exit 2; }
usage() { sed -n '2,22p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }

VARIANT=ovipgwadmin
GATEWAYS=$ROOT/sim/demo-gateways.json
LANGUAGE=""
SAVE=0
SCREENSHOT=""
MINUTES=60
INSIDE=0
WORK=""
while (($#)); do
    case $1 in
    --variant) (($# >= 2)) || usage; VARIANT=${2,,}; shift 2 ;;
    --gateways) (($# >= 2)) || usage; GATEWAYS=$2; shift 2 ;;
    --lang) (($# >= 2)) || usage; LANGUAGE=$2; shift 2 ;;
    --save) SAVE=1; shift ;;
    --screenshot) (($# >= 2)) || usage; SCREENSHOT=$2; shift 2 ;;
    --minutes) (($# >= 2)) || usage; MINUTES=$2; shift 2 ;;
    --build-dir) (($# >= 2)) || usage; BUILD=$(realpath -m "$2"); shift 2 ;;
    --inside) INSIDE=1; WORK=$2; shift 2 ;; # internal: second half, inside the LAN
    -h | --help) usage ;;
    *) say "unknown option $1"; usage ;;
    esac
done

# ---- second half: in the tool's namespace of the virtual LAN ------------------------

# Ends a process this script started, politely first, bounded.
end_process() {
    local pid=$1 tries
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null
    for ((tries = 0; tries < 50; tries++)); do
        kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null; return 0; }
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}

# Waits (bounded, in tenths of a second) until file $1 contains a line matching $2.
wait_for_line() {
    local file=$1 pattern=$2 tenths=$3
    while ((tenths-- > 0)); do
        grep -qE "$pattern" "$file" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

display_usable() {
    [ -n "${DISPLAY:-}" ] || return 1
    if [ -z "${XAUTHORITY:-}" ] && [ -n "${SUDO_USER:-}" ]; then
        local home
        home=$(getent passwd "$SUDO_USER" | cut -d: -f6)
        [ -r "$home/.Xauthority" ] && export XAUTHORITY=$home/.Xauthority
    fi
    # Only the display's socket file is reachable from inside the namespace.
    timeout 5 xdpyinfo >/dev/null 2>&1
}

inside() {
    [ -n "${GWLAN_GATEWAY_NS:-}" ] || die "--inside is for the demo's own use inside the virtual LAN"
    local count status=0
    SIM_PID="" TOOL_PID="" XVFB_PID=""
    trap 'end_process "$TOOL_PID"; end_process "$SIM_PID"; end_process "$XVFB_PID"' EXIT
    trap 'exit 143' TERM
    trap 'exit 130' INT

    local save_flag=()
    ((SAVE)) && save_flag=(--save)
    ip netns exec "$GWLAN_GATEWAY_NS" "$BUILD/sim/gatewaysim" --config "$GATEWAYS" \
        --log "$BUILD/demo-received.jsonl" "${save_flag[@]}" >"$WORK/sim.out" 2>"$WORK/sim.err" &
    SIM_PID=$!
    if ! wait_for_line "$WORK/sim.out" '^ready$' 150; then
        cat "$WORK/sim.err" >&2
        die "the simulator did not start"
    fi
    count=$(sed -n 's/^gatewaysim: \([0-9]*\) gateways on .*/\1/p' "$WORK/sim.err" | head -n 1)
    say "simulating ${count:-?} gateways (log of what they received: $BUILD/demo-received.jsonl)"

    if [ -n "$LANGUAGE" ]; then
        export XDG_CONFIG_HOME=$WORK/config
    fi

    local headless=1
    display_usable && headless=0
    if ((headless)); then
        command -v Xvfb >/dev/null || die "no usable display and no Xvfb: run scripts/setup.sh"
        Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$WORK/display" 2>"$WORK/xvfb.err" &
        XVFB_PID=$!
        wait_for_line "$WORK/display" '^[0-9]+$' 100 || die "Xvfb did not start: $(cat "$WORK/xvfb.err")"
        export DISPLAY=:$(head -n 1 "$WORK/display")
        unset XAUTHORITY
    fi

    export QT_QPA_PLATFORM=xcb
    "$BUILD/app/$VARIANT" &
    TOOL_PID=$!

    if ((headless)); then
        # The first refresh: 1 s of discovery, then up to 1.2 s per gateway.
        local wait_ms=$((REFRESH_BASE_S * 1000 + ${count:-10} * REFRESH_PER_GATEWAY_MS + SCREENSHOT_MARGIN_S * 1000))
        local tenths=$((wait_ms / 100))
        while ((tenths-- > 0)) && kill -0 "$TOOL_PID" 2>/dev/null; do sleep 0.1; done
        kill -0 "$TOOL_PID" 2>/dev/null || { wait "$TOOL_PID"; status=$?; die "the tool ended early (status $status)"; }
        if import -window root "$SCREENSHOT" 2>"$WORK/import.err"; then
            echo "$SCREENSHOT"
        else
            say "screenshot failed: $(cat "$WORK/import.err")"
            status=1
        fi
    else
        say "the tool is open on $DISPLAY; close it to end the demo"
        local seconds=$((MINUTES * 60))
        while ((seconds-- > 0)) && kill -0 "$TOOL_PID" 2>/dev/null; do sleep 1; done
        ((seconds > 0)) || say "ending the tool after $MINUTES minutes"
    fi
    return $status
}

if ((INSIDE)); then
    inside
    exit $?
fi

# ---- first half: prepare, then run the second half in a virtual LAN -------------------

[ "$(id -u)" -eq 0 ] || die "needs root for the virtual LAN: run it as root (sudo -E $0 $*)"
known=0
for v in "${VARIANTS[@]}"; do [ "$v" = "$VARIANT" ] && known=1; done
((known)) || die "unknown variant \"$VARIANT\"; one of: ${VARIANTS[*]}"
case $LANGUAGE in "" | de | en) ;; *) die "--lang takes de or en" ;; esac
[[ $MINUTES =~ ^[1-9][0-9]*$ ]] || die "--minutes takes a positive number"
[ -r "$GATEWAYS" ] || die "cannot read $GATEWAYS"
GATEWAYS=$(cd "$(dirname "$GATEWAYS")" && pwd)/$(basename "$GATEWAYS")

"$ROOT/scripts/setup.sh" || die "scripts/setup.sh failed"
if [ ! -f "$BUILD/build.ninja" ]; then
    say "configuring $BUILD (Release)"
    mkdir -p "$BUILD" || die "cannot create $BUILD"
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >"$BUILD/demo-configure.log" 2>&1 ||
        { cat "$BUILD/demo-configure.log" >&2; die "cmake failed"; }
fi
# Ninja's progress lines show that the build goes on (a first build takes minutes).
say "building ovipgwadmin and gatewaysim in $BUILD"
cmake --build "$BUILD" -j2 --target ovipgwadmin gatewaysim >&2 || die "the build failed"

WORK=$(mktemp -d /tmp/gwdemo.XXXXXX) || die "mktemp failed"
chmod 755 "$WORK"
trap 'rm -rf "$WORK"' EXIT
if ((SAVE)); then
    SIM_CONFIG=$GATEWAYS
else
    SIM_CONFIG=$WORK/gateways.json
    cp "$GATEWAYS" "$SIM_CONFIG"
fi

if [ -n "$LANGUAGE" ]; then
    mkdir -p "$WORK/config/Orvano GmbH"
    case $LANGUAGE in
    de) printf '[General]\nLanguage=7\nSubLanguage=1\n' ;;
    en) printf '[General]\nLanguage=9\nSubLanguage=1\n' ;;
    esac >"$WORK/config/Orvano GmbH/OrvanoLanguageSwitch.ini"
fi
[ -n "$SCREENSHOT" ] || SCREENSHOT=$BUILD/demo-$VARIANT${LANGUAGE:+-$LANGUAGE}.png
mkdir -p "$(dirname "$SCREENSHOT")"
SCREENSHOT=$(cd "$(dirname "$SCREENSHOT")" && pwd)/$(basename "$SCREENSHOT")

args=(--inside "$WORK" --build-dir "$BUILD" --gateways "$SIM_CONFIG" --variant "$VARIANT" --minutes "$MINUTES" --screenshot "$SCREENSHOT")
[ -n "$LANGUAGE" ] && args+=(--lang "$LANGUAGE")
((SAVE)) && args+=(--save)
"$ROOT/scripts/vlan.sh" -- "$ROOT/scripts/run-demo.sh" "${args[@]}"
