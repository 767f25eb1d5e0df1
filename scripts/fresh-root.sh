#!/usr/bin/env bash
# The README's commands on a freshly installed Debian 12, as CI runs them.
#
#   scripts/fresh-root.sh [--minutes N] [--demo DIR]
#
# Builds a minimal Debian 12 (bookworm) root with debootstrap (variant
# minbase, from the Debian mirror this machine's apt uses), clones the commit
# at HEAD into /root/gwcfg inside it and runs there, as root, the README's test
# command `scripts/test.sh`. With --demo DIR it then runs the README's run
# command `scripts/run-demo.sh` (and once more with --lang de) and copies the
# screenshots to DIR. Prints the time of each step and what the first run
# cost: packages installed, download size and disk used.
#
# The base system is kept as a tarball in /var/cache/gwcfg-fresh-root/ and
# built anew when it is missing or older than 30 days. The root gets the
# machine's /proc, /sys and /dev and a /run of its own (for `ip netns`);
# nothing inside talks to the network but apt to the mirror, and the tests
# build their virtual LANs in namespaces as everywhere. Everything is ended,
# unmounted and removed on exit, also after a failure or a signal; the
# commands inside are ended after --minutes (default 45).
# Needs root, debootstrap and git (scripts/setup.sh --ci).
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly SUITE=bookworm CACHE=/var/cache/gwcfg-fresh-root MAX_CACHE_DAYS=30 DEBOOTSTRAP_MINUTES=20
readonly CLONE=/root/gwcfg
readonly INNER_PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

say() { echo "fresh-root: $*" >&2; }
die() { say "$*"; exit 2; }
usage() { sed -n '2,21p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }

MINUTES=45
DEMO_DIR=""
while (($#)); do
    case $1 in
    --minutes) (($# >= 2)) || usage; MINUTES=$2; shift 2 ;;
    --demo) (($# >= 2)) || usage; DEMO_DIR=$(realpath -m "$2"); shift 2 ;;
    -h | --help) usage ;;
    *) say "unknown option $1"; usage ;;
    esac
done
[[ $MINUTES =~ ^[1-9][0-9]*$ ]] || die "--minutes takes a positive number"
[ "$(id -u)" -eq 0 ] || die "needs root (debootstrap, chroot, mounts)"
for tool in debootstrap git chroot mount umount timeout tar; do
    command -v "$tool" >/dev/null || die "$tool is missing: run scripts/setup.sh --ci"
done

readonly WORK_PATTERN=/var/tmp/gwcfg-fresh.
WORK=""
TARGET=""
RUNNER=""

# Mount points at or below $1, deepest first.
mounts_below() {
    awk -v dir="$1" '$5 == dir || index($5, dir "/") == 1 { print $5 }' /proc/self/mountinfo |
        awk '{ print length($0) " " $0 }' | sort -rn | cut -d' ' -f2-
}

unmount_below() {
    local dir=$1 pass mount_point
    for ((pass = 0; pass < 3; pass++)); do
        [ -n "$(mounts_below "$dir")" ] || return 0
        for mount_point in $(mounts_below "$dir"); do
            umount "$mount_point" 2>/dev/null || umount -l "$mount_point" 2>/dev/null
        done
    done
    [ -z "$(mounts_below "$dir")" ]
}

# Processes that run in the root or in one of the network namespaces made
# inside it: all of them were started by this script.
processes_of_root() {
    local root=$1 pid namespaces=() ns
    for ns in "$root"/run/netns/*; do
        [ -e "$ns" ] && namespaces+=("$(stat -L -c %i "$ns" 2>/dev/null)")
    done
    for pid in $(ls /proc | grep -E '^[0-9]+$'); do
        [ "$pid" != "$$" ] || continue
        if [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ]; then
            echo "$pid"
            continue
        fi
        for ns in "${namespaces[@]}"; do
            [ "$(stat -L -c %i "/proc/$pid/ns/net" 2>/dev/null)" = "$ns" ] && { echo "$pid"; break; }
        done
    done
}

end_processes_of_root() {
    local root=$1 pids tries
    pids=$(processes_of_root "$root")
    [ -n "$pids" ] || return 0
    say "ending what still runs in the root: $(echo $pids)"
    kill -TERM $pids 2>/dev/null
    for ((tries = 0; tries < 50; tries++)); do
        pids=$(processes_of_root "$root")
        [ -n "$pids" ] || return 0
        sleep 0.1
    done
    kill -KILL $pids 2>/dev/null
    sleep 0.5
}

# Ends what runs in the work folder $1, unmounts and removes it.
remove_work() {
    local work=$1
    end_processes_of_root "$work/root"
    if unmount_below "$work"; then
        # --one-file-system: never reach through a mount into the machine.
        rm -rf --one-file-system "$work"
    else
        say "could not unmount everything below $work; left it there:"
        mounts_below "$work" >&2
        return 1
    fi
}

# Work folders of earlier runs that were killed before they could clean up.
remove_stale_work() {
    local work owner
    for work in "$WORK_PATTERN"*; do
        [ -d "$work" ] || continue
        owner=$(cat "$work/owner.pid" 2>/dev/null)
        [ -n "$owner" ] && kill -0 "$owner" 2>/dev/null && continue
        say "removing the leftovers of an earlier run: $work"
        remove_work "$work"
    done
}

cleanup() {
    local status=$?
    trap - EXIT INT TERM
    [ -n "$RUNNER" ] && kill -TERM "$RUNNER" 2>/dev/null
    if [ -n "$WORK" ] && [ -d "$WORK" ]; then
        remove_work "$WORK" || status=1
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'say "interrupted"; exit 130' INT
trap 'say "terminated"; exit 143' TERM

clock() { printf '%d:%02d' $((SECONDS / 60)) $((SECONDS % 60)); }

# Every line of output with the minutes and seconds since the start.
stamp() {
    local line
    while IFS= read -r line; do printf '[%s] %s\n' "$(clock)" "$line"; done
}

# The Debian archive this machine's apt uses.
debian_mirror() {
    local uri
    uri=$(apt-get indextargets --format '$(REPO_URI)' "Codename: $SUITE" 'Origin: Debian' 2>/dev/null | head -n 1)
    echo "${uri:-http://deb.debian.org/debian/}"
}

build_base_tarball() {
    local tarball=$1 base=$WORK/base mirror
    mirror=$(debian_mirror)
    say "building the base system: debootstrap --variant=minbase $SUITE from $mirror"
    mkdir -p "$CACHE" || return 1
    if ! timeout --kill-after=30 $((DEBOOTSTRAP_MINUTES * 60)) \
        debootstrap --variant=minbase "$SUITE" "$base" "$mirror" >"$WORK/debootstrap.log" 2>&1; then
        tail -n 30 "$WORK/debootstrap.log" >&2
        say "debootstrap failed"
        return 1
    fi
    unmount_below "$base" || return 1
    # The downloaded packages are not part of an installed system.
    rm -f "$base"/var/cache/apt/archives/*.deb
    tar -C "$base" --numeric-owner -czf "$tarball.partial" . && mv -f "$tarball.partial" "$tarball" || return 1
    rm -rf --one-file-system "$base"
}

# The machine's apt sources and its settings for reaching the mirror, and its
# name resolution, so that apt inside uses the same mirror.
copy_mirror_access() {
    local file
    if [ -f /etc/apt/sources.list.d/debian.sources ] || [ -s /etc/apt/sources.list ]; then
        rm -f "$TARGET/etc/apt/sources.list"
        for file in /etc/apt/sources.list /etc/apt/sources.list.d/debian.sources; do
            [ -f "$file" ] && cp "$file" "$TARGET$file"
        done
    fi
    apt-config dump | grep -E '^Acquire::(Check-Valid-Until|Check-Date|https?::Proxy) ' \
        >"$TARGET/etc/apt/apt.conf.d/90mirror-access"
    cp -L /etc/hosts "$TARGET/etc/hosts"
    cp -L /etc/resolv.conf "$TARGET/etc/resolv.conf"
}

mount_system_folders() {
    # The root becomes a mount point of its own, as / is on a real system
    # (`ip netns exec` remounts / in its namespace), and private, so that
    # nothing mounted inside reaches the machine.
    mount --bind "$TARGET" "$TARGET" &&
        mount --make-private "$TARGET" &&
        mount -t proc proc "$TARGET/proc" &&
        mount -t sysfs sysfs "$TARGET/sys" &&
        mount --rbind /dev "$TARGET/dev" &&
        # Unmounting below the root's /dev must never reach the machine's.
        mount --make-rslave "$TARGET/dev" &&
        mount -t tmpfs -o mode=0755 tmpfs "$TARGET/run"
}

# Runs a shell command line in the root as root, bounded in time, from the
# clone's folder, with the environment of a fresh root login; its output goes
# with time stamps to the terminal and to the file $2. Runs in the background,
# so that a signal reaches this script's traps at once.
in_root() {
    local command=$1 log=$2
    (
        timeout --kill-after=60 $((MINUTES * 60)) chroot "$TARGET" /usr/bin/env -i \
            HOME=/root PATH="$INNER_PATH" TERM="${TERM:-dumb}" LOGNAME=root USER=root SHELL=/bin/bash \
            /bin/bash -c "cd $CLONE && $command" 2>&1 | stamp | tee "$log"
        exit "${PIPESTATUS[0]}"
    ) &
    RUNNER=$!
    wait "$RUNNER"
    local status=$?
    RUNNER=""
    return "$status"
}

# The numbers from apt's output in $1: packages installed, download, disk.
apt_costs() {
    local lines
    lines=$(sed 's/^\[[0-9:]*\] //' "$1")
    grep -m1 -E 'newly installed' <<<"$lines" | sed -E 's/^([0-9]+) upgraded, ([0-9]+) newly installed.*/\2 new and \1 upgraded packages/'
    grep -m1 -E '^Need to get ' <<<"$lines" | sed -E 's/^Need to get ([^ ]+ [^ ]+).*/download \1/'
    grep -m1 -E '^After this operation' <<<"$lines" | sed -E 's/^After this operation, ([^ ]+ [^ ]+).*/\1 installed/'
}

# ---- base system --------------------------------------------------------------------

remove_stale_work
WORK=$(mktemp -d "${WORK_PATTERN}XXXXXX") || die "mktemp failed"
echo $$ >"$WORK/owner.pid"
TARGET=$WORK/root
arch=$(dpkg --print-architecture)
tarball=$CACHE/$SUITE-minbase-$arch.tar.gz
if [ ! -s "$tarball" ] || [ -n "$(find "$tarball" -mtime +$MAX_CACHE_DAYS 2>/dev/null)" ]; then
    build_base_tarball "$tarball" || die "could not build the base system"
    say "[$(clock)] base system cached in $tarball ($(du -h "$tarball" | cut -f1))"
else
    say "using the cached base system $tarball (built $(date -r "$tarball" '+%F %R'))"
fi
mkdir -p "$TARGET" && tar -C "$TARGET" --numeric-owner -xzf "$tarball" || die "could not unpack $tarball"
base_kib=$(du -sxk "$TARGET" | cut -f1)
base_packages=$(chroot "$TARGET" dpkg-query -W -f '.\n' | wc -l)
say "[$(clock)] fresh root in $TARGET: $base_packages packages, $((base_kib / 1024)) MiB"

copy_mirror_access
mount_system_folders || die "could not mount /proc, /sys, /dev and /run in the root"

# ---- the commit ----------------------------------------------------------------------

commit=$(git -C "$ROOT" rev-parse HEAD) || die "no commit at HEAD in $ROOT"
[ -z "$(git -C "$ROOT" status --porcelain --untracked-files=no)" ] ||
    say "note: uncommitted changes in $ROOT are not part of this run"
git clone --quiet --no-checkout "$ROOT" "$TARGET$CLONE" &&
    git -C "$TARGET$CLONE" fetch --quiet "$ROOT" HEAD &&
    git -C "$TARGET$CLONE" -c advice.detachedHead=false checkout --quiet --detach FETCH_HEAD ||
    die "could not clone $ROOT into the root"
say "[$(clock)] cloned $commit into $CLONE"

# ---- the README's test command -------------------------------------------------------

test_start=$SECONDS
say "running 'scripts/test.sh' in the root (at most $MINUTES minutes)"
in_root "scripts/test.sh" "$WORK/test.log"
test_status=$?
test_seconds=$((SECONDS - test_start))
packages_after=$(chroot "$TARGET" dpkg-query -W -f '.\n' | wc -l)
build_kib=$(du -sxk "$TARGET$CLONE/build" 2>/dev/null | cut -f1)
archives_kib=$(du -sxk "$TARGET/var/cache/apt/archives" 2>/dev/null | cut -f1)
root_kib=$(du -sxk "$TARGET" | cut -f1)
say "test command: exit status $test_status after $((test_seconds / 60)) min $((test_seconds % 60)) s"
say "first run: $(apt_costs "$WORK/test.log" | paste -sd, | sed 's/,/, /g') (apt);" \
    "$((packages_after - base_packages)) packages added, root grew by $(((root_kib - base_kib) / 1024)) MiB" \
    "(build/ $((${build_kib:-0} / 1024)) MiB, apt's kept downloads $((${archives_kib:-0} / 1024)) MiB)"
phase_end() { grep -m1 -F -- "$1" "$WORK/test.log" | sed -n 's/^\[\([0-9:]*\)\].*/\1/p'; }
say "timeline (min:s since start): packages until $(phase_end '-- The CXX compiler identification')," \
    "build until $(phase_end 'Test project '), tests until $(clock)"
((test_status == 0)) || die "the README's test command failed in the fresh root"

# ---- the README's run command --------------------------------------------------------

if [ -n "$DEMO_DIR" ]; then
    mkdir -p "$DEMO_DIR" || die "cannot create $DEMO_DIR"
    for language in "" de; do
        demo_start=$SECONDS
        command="scripts/run-demo.sh${language:+ --lang $language}"
        say "running '$command' in the root"
        in_root "$command" "$WORK/demo.log"
        demo_status=$?
        say "$command: exit status $demo_status after $((SECONDS - demo_start)) s"
        ((demo_status == 0)) || die "the README's run command failed in the fresh root"
        screenshot=$(grep -E '\.png$' "$WORK/demo.log" | tail -n 1 | sed 's/^\[[0-9:]*\] //')
        [ -n "$screenshot" ] && [ -f "$TARGET$screenshot" ] || die "the demo printed no screenshot"
        cp "$TARGET$screenshot" "$DEMO_DIR/" && say "screenshot: $DEMO_DIR/$(basename "$screenshot")"
    done
    say "build-demo/ $(($(du -sxk "$TARGET$CLONE/build-demo" | cut -f1) / 1024)) MiB"
fi
say "[$(clock)] done"
