#!/bin/sh
# Which mirror scripts/debian-mirror.sh takes the Wine root from, out of
# sample apt folders: apt reads each through APT_CONFIG, as it would the
# machine's own /etc/apt. Every address is a placeholder that leads nowhere.
set -u
here=$(cd "$(dirname "$0")" && pwd)
script="$here/../../scripts/debian-mirror.sh"
work=$(mktemp -d "$(pwd)/debian-mirror-tests.XXXXXX")
# A mirror list is named by a URI, which holds no space: it goes under /tmp.
list=$(mktemp /tmp/debian-mirror-list.XXXXXX)
trap 'rm -rf "$work" "$list"' EXIT
printf '# the nearest first\nhttp://listed.example.invalid/debian\tpriority:1\nhttp://second.example.invalid/debian\n' >"$list"

passed=0
failed=0
# case_ LABEL EXPECTED [FILE=TEXT | LUMAQUILL_DEBIAN_MIRROR=URI]...: the
# lines printed, then "exit N", joined by " | ", must match the pattern
# EXPECTED. Each FILE, under the sample /etc/apt, holds TEXT (\n for a line).
case_() {
    label=$1 expected=$2
    shift 2
    etc="$work/etc"
    mkdir -p "$etc/sources.list.d" "$etc/apt.conf.d"
    named=""
    for given in "$@"; do
        case $given in
        LUMAQUILL_DEBIAN_MIRROR=*) named=${given#*=} ;;
        *) mkdir -p "$(dirname "$etc/${given%%=*}")" && printf '%b' "${given#*=}" >"$etc/${given%%=*}" ;;
        esac
    done
    printf 'Dir::Etc "%s/";\n' "$etc" >"$work/apt.conf"
    got=$({ APT_CONFIG="$work/apt.conf" LUMAQUILL_DEBIAN_MIRROR="$named" sh "$script" 2>&1; echo "exit $?"; } |
        sed ':a;N;$!ba;s/\n/ | /g')
    case $got in
    $expected) passed=$((passed + 1)); echo "ok: $label" ;;
    *) failed=$((failed + 1)); echo "FAILED: $label: printed '$got'" ;;
    esac
    rm -rf "$etc"
}

main='http://main.example.invalid/debian/ | exit 0'
security='deb http://security.example.invalid/debian-security bookworm-security main\n'
case_ "deb822, the main archive before its -security stanza" "$main" \
    "sources.list.d/debian.sources=Types: deb\nURIs: http://main.example.invalid/debian\nSuites: bookworm bookworm-updates\nComponents: main\n\nTypes: deb\nURIs: http://security.example.invalid/debian-security\nSuites: bookworm-security\nComponents: main\n"
case_ "one-line with [options], after a -security entry" "$main" \
    "sources.list=$security""deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://main.example.invalid/debian trixie main contrib\n"
case_ "third parties first: a suite of their own, components of their own" "$main" \
    "sources.list.d/a.list=deb http://node.example.invalid/node_20.x nodistro main\ndeb http://docker.example.invalid/linux/debian bookworm stable\n" \
    "sources.list.d/b.list=deb http://main.example.invalid/debian bookworm main\n"
case_ "entries turned off, sources only, and disabled files are passed over" "$main" \
    "sources.list.d/a.list.disabled-by-farm=deb http://off.example.invalid/debian bookworm main\n" \
    "sources.list.d/b.sources=Types: deb\nURIs: http://off.example.invalid/debian\nSuites: bookworm\nComponents: main\nEnabled: no\n\nTypes: deb-src\nURIs: http://src.example.invalid/debian\nSuites: bookworm\nComponents: main\n" \
    "sources.list.d/c.list=# deb http://off.example.invalid/debian bookworm main\ndeb http://main.example.invalid/debian stable-updates main\n"
case_ "a mirror list on this machine gives its first mirror" 'http://listed.example.invalid/debian | exit 0' \
    "sources.list=deb mirror+file:$list bookworm main\n"
case_ "apt's proxies come along, but not its auto-detection" \
'http://main.example.invalid/debian/ | Acquire::http::Proxy "http://proxy.example.invalid:3142"; | Acquire::http::Proxy::main.example.invalid "DIRECT"; | exit 0' \
    "sources.list=deb http://main.example.invalid/debian bookworm main\n" \
    "apt.conf.d/01proxy=Acquire::http::Proxy \"http://proxy.example.invalid:3142\";\nAcquire::http::Proxy-Auto-Detect \"/usr/bin/auto-apt-proxy\";\nAcquire::http::Proxy::main.example.invalid \"DIRECT\";\n"
case_ "LUMAQUILL_DEBIAN_MIRROR wins over the sources" 'http://named.example.invalid/debian | exit 0' \
    "sources.list=deb http://main.example.invalid/debian bookworm main\n" LUMAQUILL_DEBIAN_MIRROR=http://named.example.invalid/debian
case_ "no Debian mirror: one line naming the variable" 'debian-mirror: *LUMAQUILL_DEBIAN_MIRROR | exit 1' \
    "sources.list=$security""deb http://node.example.invalid/node_20.x nodistro main\n"
echo "debian-mirror: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
