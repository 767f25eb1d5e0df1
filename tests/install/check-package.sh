#!/usr/bin/env bash
# Builds the Debian package from a build folder, installs it into a scratch
# root and checks what a desktop user gets: the package's dependencies are
# met here, its menu entries and AppStream data validate, every menu entry
# names a program of the package, and each of the seven names starts from the
# scratch root and opens its window under its own title, in both languages.
# The program broadcasts a discovery request as it opens, so this runs only
# inside the virtual LAN:
#
#   scripts/vlan.sh -- tests/install/check-package.sh BUILD_DIR
set -uo pipefail

readonly TITLE_WAIT_TENTHS=150 # 15 s for a window to show its title
readonly SOURCE=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
readonly VARIANTS=(ovipgwadmin pln-knx_ipconfig ovipgwconfig ovenoceanipconfig vzuipconfig vscangwconfig vserialgwconfig)
readonly TITLE_STRING=173

say() { echo "check-package: $*" >&2; }
fail() { say "FAIL: $*"; failures=$((failures + 1)); }
die() { say "$*"; exit 2; }

[ -n "${GWLAN_TOOL_NS:-}" ] || die "runs only inside scripts/vlan.sh (the program broadcasts as it starts)"
(($# == 1)) || die "usage: check-package.sh BUILD_DIR"
BUILD=$(cd "$1" && pwd) || die "no build folder $1"
for tool in cpack dpkg dpkg-deb desktop-file-validate appstreamcli Xvfb xwininfo; do
    command -v "$tool" >/dev/null || die "$tool is missing: run scripts/setup.sh"
done

failures=0
work=$(mktemp -d /tmp/gwpkg.XXXXXX) || die "mktemp failed"
xvfb="" program=""
end_process() {
    local pid=$1 tries
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null
    for ((tries = 0; tries < 50; tries++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}
cleanup() {
    end_process "$program"
    end_process "$xvfb"
    rm -rf "$work"
}
trap cleanup EXIT

# ---- the package ---------------------------------------------------------------------
(cd "$BUILD" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; die "cpack failed"; }
deb=$(find "$work/out" -maxdepth 1 -name 'ovipgwadmin_*.deb' | head -n 1)
[ -n "$deb" ] || die "cpack made no package"
say "built $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
for needed in fonts-dejavu-extra libqt6widgets6 libqt6network6 libqt6svg6 libqt6keychain1 libsecret-1-0; do
    grep -qE "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
# Every dependency (one alternative of each) is installed on this machine.
IFS=',' read -ra groups <<<"$depends"
for group in "${groups[@]}"; do
    met=0
    IFS='|' read -ra alternatives <<<"$group"
    for alternative in "${alternatives[@]}"; do
        name=$(awk '{print $1}' <<<"$alternative")
        dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed' && met=1
    done
    ((met)) || fail "dependency not installed here: $group"
done

# ---- installed into a scratch root -------------------------------------------------------
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
# The scratch root holds no libraries, so dependencies are taken from this
# machine (checked above) rather than from the root.
if ! dpkg --root="$root" --force-depends --log=/dev/null -i "$deb" >"$work/dpkg.log" 2>&1; then
    cat "$work/dpkg.log" >&2
    die "dpkg could not install the package into $root"
fi
dpkg --root="$root" -s ovipgwadmin 2>/dev/null | grep -q '^Status: install ok installed' || fail "dpkg does not list the package as installed"

desktop-file-validate "$root"/usr/share/applications/*.desktop || fail "desktop entries do not validate"
# The metadata together with the menu entries and icons it refers to.
appstreamcli validate-tree --no-net "$root" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log" >&2; fail "AppStream metadata does not validate with the installed files"; }
if command -v man >/dev/null; then
    man --warnings -l "$root/usr/share/man/man1/ovipgwadmin.1" 2>"$work/man.log" >/dev/null && [ ! -s "$work/man.log" ] ||
        { cat "$work/man.log" >&2; fail "the manual page has formatting faults"; }
fi
for size in 16x16 32x32 48x48 256x256 scalable; do
    ls "$root/usr/share/icons/hicolor/$size/apps/de.orvano.ovipgwadmin."* >/dev/null 2>&1 || fail "no $size application icon"
done
[ -f "$root/etc/ufw/applications.d/ovipgwadmin" ] || fail "no ufw application profile"
[ -f "$root/usr/lib/firewalld/services/ovipgwadmin.xml" ] || fail "no firewalld service"
grep -q '^ports=30718/udp$' "$root/etc/ufw/applications.d/ovipgwadmin" || fail "ufw profile does not open UDP 30718"
grep -q 'protocol="udp" port="30718"' "$root/usr/lib/firewalld/services/ovipgwadmin.xml" || fail "firewalld service does not open UDP 30718"

entries=0
for entry in "$root"/usr/share/applications/*.desktop; do
    entries=$((entries + 1))
    exec_name=$(sed -n 's/^Exec=//p' "$entry")
    [ "$(readlink -f "$root/usr/bin/$exec_name")" = "$root/usr/bin/ovipgwadmin" ] ||
        fail "$(basename "$entry") starts $exec_name, which is not the package's program"
    [ -f "$root/usr/share/man/man1/$exec_name.1" ] || fail "no manual page for $exec_name"
done
((entries == ${#VARIANTS[@]})) || fail "$entries menu entries instead of ${#VARIANTS[@]}"

# ---- every name starts from the scratch root ----------------------------------------------
display=""
for offset in $(seq 0 199); do
    candidate=$((200 + ($$ + offset) % 400))
    if [ ! -e "/tmp/.X$candidate-lock" ]; then display=$candidate; break; fi
done
[ -n "$display" ] || die "no free display number"
Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp 2>"$work/xvfb.log" &
xvfb=$!
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
unset XAUTHORITY
for ((tenths = 0; tenths < 100; tenths++)); do
    xwininfo -root >/dev/null 2>&1 && break
    sleep 0.1
done
xwininfo -root >/dev/null 2>&1 || die "Xvfb did not start: $(cat "$work/xvfb.log")"

title_of() { # variant index, language column (2 English, 3 German)
    awk -F'\t' -v n=$((TITLE_STRING + $1)) -v c="$2" '$1 == n { print $c }' "$SOURCE/resources/strings.tsv" | tr -d '\r'
}

for language in en de; do
    export XDG_CONFIG_HOME=$work/config-$language
    mkdir -p "$XDG_CONFIG_HOME/Orvano GmbH"
    case $language in
    en) printf '[General]\nLanguage=9\nSubLanguage=1\n' ;;
    de) printf '[General]\nLanguage=7\nSubLanguage=1\n' ;;
    esac >"$XDG_CONFIG_HOME/Orvano GmbH/OrvanoLanguageSwitch.ini"
    column=2
    [ "$language" = de ] && column=3
    for index in "${!VARIANTS[@]}"; do
        name=${VARIANTS[$index]}
        title=$(title_of "$index" "$column")
        [ -n "$title" ] || { fail "no title string for variant $index"; continue; }
        "$root/usr/bin/$name" >"$work/$name-$language.log" 2>&1 &
        program=$!
        shown=0
        for ((tenths = 0; tenths < TITLE_WAIT_TENTHS; tenths++)); do
            kill -0 "$program" 2>/dev/null || break
            if xwininfo -root -tree 2>/dev/null | grep -qF "\"$title\""; then shown=1; break; fi
            sleep 0.1
        done
        if ((shown)); then
            [ "$(readlink -f "/proc/$program/exe")" = "$root/usr/bin/ovipgwadmin" ] ||
                fail "$name ($language) runs $(readlink -f "/proc/$program/exe"), not the installed program"
            say "$name ($language): \"$title\""
        else
            fail "$name ($language) did not show \"$title\": $(head -c 500 "$work/$name-$language.log")"
        fi
        end_process "$program"
        program=""
    done
done

((failures == 0)) || die "$failures check(s) failed"
say "package installs into a scratch root and all ${#VARIANTS[@]} names start there"
