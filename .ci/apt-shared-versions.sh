# shellcheck shell=bash
# Sourced by windows-tests.sh (and its test). A mirror caught mid-sync can
# serve the amd64 index of the security archive but not yet the i386 one:
# then a Multi-Arch: same library installed for amd64 at the security version
# has no i386 twin of that version, and apt refuses wine32:i386 with "held
# broken packages". The way out is to take both copies at a version both
# architectures' indexes know (downgrading the amd64 copy where need be).

# Reads `apt-cache policy` output for NAME and NAME:i386 pairs on stdin and
# prints "NAME=VERSION NAME:i386=VERSION" for every NAME whose amd64 version
# (installed, else the candidate) has no i386 twin in the version table,
# VERSION being the newest version apt knows for both architectures. A NAME
# with no such version is named on stderr and makes the status 1.
shared_version_pins() {
    local -A current versions
    local name kind value status=0 pins=()
    while read -r kind name value; do
        case $kind in
        current) current[$name]=$value ;;
        version) versions[$name]+=" $value" ;;
        esac
    done < <(awk '
        /^[^ ].*:$/ { name = substr($0, 1, length($0) - 1); installed = ""; next }
        name == "" { next }
        $1 == "Installed:" { installed = $2; next }
        $1 == "Candidate:" {
            v = (installed != "" && installed != "(none)") ? installed : $2
            if (v != "(none)") print "current", name, v
            next
        }
        /^ (\*\*\*|   ) [^ ]+ -?[0-9]+$/ { print "version", name, $(NF - 1) }')
    for name in "${!current[@]}"; do
        [[ $name == *:i386 ]] && continue
        local twin="$name:i386" mine=${current[$name]} shared="" v
        [[ -v versions[$twin] ]] || continue
        [[ " ${versions[$twin]} " == *" $mine "* ]] && continue
        for v in ${versions[$name]}; do
            [[ " ${versions[$twin]} " == *" $v "* ]] || continue
            if [ -z "$shared" ] || dpkg --compare-versions "$v" gt "$shared"; then shared=$v; fi
        done
        if [ -n "$shared" ]; then
            pins+=("$name=$shared $twin=$shared")
        else
            echo "no version of $name that both amd64 and i386 know (amd64 has $mine)" >&2
            status=1
        fi
    done
    [ ${#pins[@]} -eq 0 ] || printf '%s\n' "${pins[@]}" | sort
    return $status
}

# The Multi-Arch: same libraries that the i386 packages given need and whose
# amd64 twin is installed or comes with the amd64 packages given, as
# "NAME NAME:i386" pairs for apt-cache policy.
# Usage: multiarch_same_pairs "I386 PACKAGES..." "AMD64 PACKAGES..."
multiarch_same_pairs() {
    local deps=(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts
        --no-breaks --no-replaces --no-enhances)
    local i386 amd64 name
    # shellcheck disable=SC2086
    i386=$("${deps[@]}" $1 2>/dev/null | grep -v '^ ' | grep ':i386$' | sort -u || true)
    [ -n "$i386" ] || return 0
    # shellcheck disable=SC2086
    amd64=" $( { [ -n "$2" ] && "${deps[@]}" $2 2>/dev/null | grep -v '^ '; } | tr '\n' ' ') "
    # shellcheck disable=SC2086
    apt-cache show --no-all-versions $i386 2>/dev/null |
        awk '/^Package:/ {p = $2} /^Multi-Arch: same/ {print p}' | sort -u |
        while read -r name; do
            if [[ $amd64 == *" $name "* ]] ||
                dpkg-query -W -f='${db:Status-Abbrev}' "$name:amd64" 2>/dev/null | grep -q '^ii'; then
                echo "$name $name:i386"
            fi
        done
}
