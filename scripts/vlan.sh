#!/usr/bin/env bash
# Virtual LAN for the simulated gateways.
#
#   scripts/vlan.sh [--prefix NAME] [--tool-adapters N] -- COMMAND [ARGS...]
#   scripts/vlan.sh --cleanup-stale
#
# Builds three network namespaces joined by a bridge and runs COMMAND in the
# tool's namespace:
#   <prefix>-br    the bridge br0 with one port per veth pair
#   <prefix>-tool  gwlan0 198.18.0.1/24 (--tool-adapters 2: gwlan1 198.18.0.2/24, ...)
#   <prefix>-gw    gwlan0 without address; the simulator adds the gateways' addresses
# COMMAND sees GWLAN_PREFIX, GWLAN_TOOL_NS, GWLAN_GATEWAY_NS, GWLAN_GATEWAY_IF,
# GWLAN_TOOL_IF (first adapter) and GWLAN_TOOL_ADDRESSES (all adapters' addresses).
# Everything is created inside the namespaces: nothing is configured in, or
# sent from, the machine's own namespace. All of it is removed on exit, after
# a failure and after SIGINT/SIGTERM. Exit status = COMMAND's.
# The default prefix is gwl-<pid>, unique per run, so several LANs can coexist.
set -uo pipefail

readonly LAN_PREFIX_ADDRESS=198.18.0
readonly IF_NAME=gwlan
readonly MAX_TOOL_ADAPTERS=8
readonly STOP_WAIT_TENTHS=100 # 10 s for COMMAND to end after a signal
readonly OWNER_DIR=/run/gwlan

say() { echo "vlan.sh: $*" >&2; }
die() { say "$*"; exit 2; }

usage() {
    sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

ip_cmd() { command ip "$@"; }

namespace_exists() { ip_cmd netns list 2>/dev/null | awk '{print $1}' | grep -qx -- "$1"; }

# Ends every process still inside namespace $1 (they were started by this LAN),
# politely first, bounded.
end_processes_in() {
    local ns=$1 pids tries
    pids=$(ip_cmd netns pids "$ns" 2>/dev/null) || return 0
    [ -n "$pids" ] || return 0
    kill -TERM $pids 2>/dev/null
    for ((tries = 0; tries < 30; tries++)); do
        pids=$(ip_cmd netns pids "$ns" 2>/dev/null)
        [ -n "$pids" ] || return 0
        sleep 0.1
    done
    kill -KILL $pids 2>/dev/null
}

remove_lan() {
    local prefix=$1 ns
    for ns in "$prefix-tool" "$prefix-gw" "$prefix-br"; do
        namespace_exists "$ns" && end_processes_in "$ns"
    done
    # Deleting a namespace destroys its interfaces, and a veth end takes its
    # peer along, so the bridge's namespace goes first.
    for ns in "$prefix-br" "$prefix-tool" "$prefix-gw"; do
        namespace_exists "$ns" && ip_cmd netns delete "$ns" 2>/dev/null
    done
    rm -f "$OWNER_DIR/$prefix.pid"
    for ns in "$prefix-br" "$prefix-tool" "$prefix-gw"; do
        if namespace_exists "$ns"; then
            say "could not remove namespace $ns"
            return 1
        fi
    done
    return 0
}

# Is the LAN of this prefix still owned by a running vlan.sh?
owner_alive() {
    local prefix=$1 pid=""
    [ -r "$OWNER_DIR/$prefix.pid" ] && pid=$(cat "$OWNER_DIR/$prefix.pid" 2>/dev/null)
    [ -z "$pid" ] && [[ $prefix =~ ^gwl-([0-9]+)$ ]] && pid=${BASH_REMATCH[1]}
    [ -n "$pid" ] || return 1
    [ "$pid" != "$$" ] || return 1
    kill -0 "$pid" 2>/dev/null || return 1
    tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q 'vlan\.sh'
}

cleanup_stale() {
    local prefixes prefix status=0
    prefixes=$(ip_cmd netns list 2>/dev/null | awk '{print $1}' |
        sed -n 's/^\(gwl-.*\)-\(tool\|gw\|br\)$/\1/p' | sort -u)
    for prefix in $prefixes; do
        if owner_alive "$prefix"; then
            say "keeping $prefix: its vlan.sh is still running"
            continue
        fi
        say "removing stale LAN $prefix"
        remove_lan "$prefix" || status=1
    done
    return $status
}

in_ns() { local ns=$1; shift; ip_cmd netns exec "$ns" "$@"; }

# Quiet, IPv4-only namespace: no IPv6 autoconfiguration chatter.
prepare_namespace() {
    local ns=$1
    ip_cmd netns add "$ns" || return 1
    ip_cmd -n "$ns" link set lo up || return 1
    if in_ns "$ns" test -e /proc/sys/net/ipv6/conf/all/disable_ipv6; then
        in_ns "$ns" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1 \
            >/dev/null || return 1
    fi
}

# Polls (bounded) until the bridge forwards on port $1.
wait_forwarding() {
    local port=$1 tries
    for ((tries = 0; tries < 50; tries++)); do
        ip_cmd -n "$BR_NS" -d link show dev "$port" 2>/dev/null | grep -q 'state forwarding' && return 0
        sleep 0.1
    done
    say "bridge port $port did not start forwarding"
    return 1
}

build_lan() {
    local i port
    prepare_namespace "$BR_NS" && prepare_namespace "$TOOL_NS" && prepare_namespace "$GW_NS" || return 1
    ip_cmd -n "$BR_NS" link add br0 type bridge stp_state 0 forward_delay 0 || return 1
    ip_cmd -n "$BR_NS" link set br0 up || return 1

    # Each veth pair is created inside the bridge's namespace with its other
    # end placed straight into the tool's or the gateways' namespace.
    for ((i = 0; i < TOOL_ADAPTERS; i++)); do
        port=tool$i
        ip_cmd -n "$BR_NS" link add "$port" type veth peer name "$IF_NAME$i" netns "$TOOL_NS" || return 1
        ip_cmd -n "$BR_NS" link set "$port" master br0 up || return 1
        ip_cmd -n "$TOOL_NS" addr add "$LAN_PREFIX_ADDRESS.$((i + 1))/24" dev "$IF_NAME$i" || return 1
        ip_cmd -n "$TOOL_NS" link set "$IF_NAME$i" up || return 1
    done
    ip_cmd -n "$BR_NS" link add gw0 type veth peer name "${IF_NAME}0" netns "$GW_NS" || return 1
    ip_cmd -n "$BR_NS" link set gw0 master br0 up || return 1
    ip_cmd -n "$GW_NS" link set "${IF_NAME}0" up || return 1

    # Several adapters on one subnet: each answers ARP only for its own address.
    in_ns "$TOOL_NS" sysctl -qw net.ipv4.conf.all.arp_ignore=1 net.ipv4.conf.all.arp_announce=2 >/dev/null
    # The limited broadcast 255.255.255.255 leaves through the first adapter
    # (there is no default route in the namespace).
    ip_cmd -n "$TOOL_NS" route add 255.255.255.255/32 dev "${IF_NAME}0" || return 1
    # Gateways come and go on one /24; removing the first address must not
    # take the other (secondary) addresses with it.
    in_ns "$GW_NS" sysctl -qw net.ipv4.conf.all.promote_secondaries=1 \
        net.ipv4.conf.default.promote_secondaries=1 "net.ipv4.conf.${IF_NAME}0.promote_secondaries=1" >/dev/null

    for ((i = 0; i < TOOL_ADAPTERS; i++)); do wait_forwarding "tool$i" || return 1; done
    wait_forwarding gw0
}

# ---- arguments ------------------------------------------------------------------

PREFIX=""
TOOL_ADAPTERS=1
CLEANUP_STALE=0
while (($#)); do
    case $1 in
    --prefix) (($# >= 2)) || usage; PREFIX=$2; shift 2 ;;
    --prefix=*) PREFIX=${1#*=}; shift ;;
    --tool-adapters) (($# >= 2)) || usage; TOOL_ADAPTERS=$2; shift 2 ;;
    --tool-adapters=*) TOOL_ADAPTERS=${1#*=}; shift ;;
    --cleanup-stale) CLEANUP_STALE=1; shift ;;
    -h | --help) usage ;;
    --) shift; break ;;
    *) say "unknown option $1"; usage ;;
    esac
done

[ "$(id -u)" -eq 0 ] || die "needs root (network namespaces, veth, bridge): run it as root"
command -v ip >/dev/null || die "the program ip (iproute2) is missing: run scripts/setup.sh"

if ((CLEANUP_STALE)); then
    cleanup_stale
    exit $?
fi

(($#)) || { say "no COMMAND given"; usage; }
[[ $TOOL_ADAPTERS =~ ^[1-9][0-9]*$ ]] && ((TOOL_ADAPTERS <= MAX_TOOL_ADAPTERS)) ||
    die "--tool-adapters must be 1 to $MAX_TOOL_ADAPTERS"
[ -n "$PREFIX" ] || PREFIX="gwl-$$"
[[ $PREFIX =~ ^[A-Za-z0-9][A-Za-z0-9_.-]{0,40}$ ]] || die "--prefix may hold letters, digits, _ . - (at most 41)"

BR_NS=$PREFIX-br
TOOL_NS=$PREFIX-tool
GW_NS=$PREFIX-gw
TOOL_ADDRESSES=""
for ((i = 1; i <= TOOL_ADAPTERS; i++)); do TOOL_ADDRESSES+="${TOOL_ADDRESSES:+,}$LAN_PREFIX_ADDRESS.$i"; done

CHILD=""
SIGNALLED=""
on_exit() {
    local status=$?
    trap - EXIT INT TERM
    if [ -n "$CHILD" ] && kill -0 "$CHILD" 2>/dev/null; then
        kill -KILL "$CHILD" 2>/dev/null
    fi
    if ! remove_lan "$PREFIX" && [ "$status" -eq 0 ]; then status=1; fi
    exit "$status"
}
# A signal is passed on to COMMAND as SIGTERM (a background job of a script
# starts with SIGINT ignored); the LAN goes once COMMAND has ended.
on_signal() {
    SIGNALLED=$1
    [ -n "$CHILD" ] && kill -TERM "$CHILD" 2>/dev/null
    [ -n "$CHILD" ] || exit $((128 + $2))
}
trap on_exit EXIT
trap 'on_signal INT 2' INT
trap 'on_signal TERM 15' TERM

# Leftovers of an earlier run that crashed with the same prefix.
if namespace_exists "$BR_NS" || namespace_exists "$TOOL_NS" || namespace_exists "$GW_NS"; then
    say "removing leftovers of an earlier run of $PREFIX"
    remove_lan "$PREFIX" || exit 1
fi
mkdir -p "$OWNER_DIR" && echo $$ >"$OWNER_DIR/$PREFIX.pid"

build_lan || { say "could not build the virtual LAN $PREFIX"; exit 1; }

ip_cmd netns exec "$TOOL_NS" env \
    GWLAN_PREFIX="$PREFIX" GWLAN_TOOL_NS="$TOOL_NS" GWLAN_GATEWAY_NS="$GW_NS" \
    GWLAN_GATEWAY_IF="${IF_NAME}0" GWLAN_TOOL_IF="${IF_NAME}0" GWLAN_TOOL_ADDRESSES="$TOOL_ADDRESSES" \
    "$@" <&0 &
CHILD=$!

status=0
deadline=""
while :; do
    wait "$CHILD"
    status=$?
    kill -0 "$CHILD" 2>/dev/null || break
    # wait was interrupted by a signal: give COMMAND a bounded time to end.
    if [ -n "$SIGNALLED" ]; then
        [ -n "$deadline" ] || deadline=$STOP_WAIT_TENTHS
        while ((deadline > 0)) && kill -0 "$CHILD" 2>/dev/null; do
            sleep 0.1
            ((deadline--))
        done
        if kill -0 "$CHILD" 2>/dev/null; then
            say "COMMAND did not end after SIG$SIGNALLED; killing it"
            kill -KILL "$CHILD" 2>/dev/null
        fi
    fi
done
CHILD=""
exit "$status"
