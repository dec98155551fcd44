#!/bin/sh
# Prints where scripts/wine-root.sh fetches the Wine root's packages from:
# the Debian mirror this machine's apt already takes Debian's own packages
# from, so that a local mirror or a cache that a company network or a CI
# runner puts before Debian is used, not bypassed. The first line is the
# mirror; each line after it is a proxy setting of this machine's apt, as
# an apt option, because mmdebstrap reads none of the host's apt
# configuration but its keyrings.
#
# LUMAQUILL_DEBIAN_MIRROR names the mirror instead. Otherwise it is the
# first "deb" entry apt has enabled that serves a Debian suite (this
# release's codename, another release's, or a name such as stable, each
# also with -updates or -backports) with its main component: a -security
# entry carries security updates alone, and a third party's archive names
# a suite of its own (nodistro) or components of its own (stable). apt
# reads its sources itself, so both formats and its rules for what is
# turned off (Enabled: no, a file not named *.list or *.sources) hold as
# they do for apt; APT_CONFIG points it at other sources. A mirror list on
# this machine (mirror+file:, as Debian's cloud images have) gives its
# first mirror, since the root cannot read the list.
set -eu
mirror=${LUMAQUILL_DEBIAN_MIRROR:-}
if [ -z "$mirror" ]; then
    codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}") || codename=""
    mirror=$(apt-get indextargets --no-release-info --format '$(TARGET_OF) $(REPO_URI) $(RELEASE) $(COMPONENT)' |
        awk -v names="$codename buster bullseye bookworm trixie forky duke sid oldoldstable oldstable stable testing unstable" '
            BEGIN { n = split(names, list, " "); for (i = 1; i <= n; i++) debian[list[i]] = 1 }
            $1 == "deb" && $4 == "main" {
                suite = $3
                sub(/-(updates|backports|backports-sloppy|proposed-updates)$/, "", suite)
                if (suite in debian) { print $2; exit }
            }')
    case $mirror in
    mirror+file:*)
        list=${mirror#mirror+file:}
        list=${list#//}
        mirror=$(awk '$1 !~ /^#/ && NF { print $1; exit }' "${list%/}" 2>/dev/null) || mirror="" ;;
    esac
fi
if [ -z "$mirror" ]; then
    echo "debian-mirror: this machine's apt sources name no Debian mirror to make the Wine root from; name one in LUMAQUILL_DEBIAN_MIRROR" >&2
    exit 1
fi
echo "$mirror"
# Per-host settings (Proxy::HOST "DIRECT") come too; Proxy-Auto-Detect does
# not, as the program it names is not in the root.
apt-config dump | grep -E '^Acquire::(http|https|ftp)::Proxy(::[^ ]+)? ' || true
