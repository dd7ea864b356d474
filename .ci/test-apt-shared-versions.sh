#!/usr/bin/env bash
# The choice of shared versions that windows-tests.sh falls back on, on
# `apt-cache policy` output recorded on a day the mirror's i386 security
# index lagged the amd64 one.
set -uo pipefail
. "$(dirname "$0")/apt-shared-versions.sh"
failed=0
expect() { # NAME EXPECTED-STATUS EXPECTED-OUTPUT < policy output
    local out rc
    out=$(shared_version_pins 2>/dev/null)
    rc=$?
    if [ "$out" != "$3" ] || [ "$rc" != "$2" ]; then
        printf 'FAIL %s: status %s, got\n%s\nwanted\n%s\n' "$1" "$rc" "$out" "$3"
        failed=1
    fi
}

# libpcre2-8-0 blocks (amd64 installed at the security version, i386 only at
# main's); libc6 has the same version on both and is left alone; libssl3 is
# not installed for amd64 and its candidate has no i386 twin, the newest
# shared version being the middle one; libgnutls30 has no shared version.
expect "lagging i386 index" 1 "libpcre2-8-0=10.42-1 libpcre2-8-0:i386=10.42-1
libssl3=3.0.15-1~deb12u1 libssl3:i386=3.0.15-1~deb12u1" <<'POLICY'
libpcre2-8-0:
  Installed: 10.42-1+deb12u2
  Candidate: 10.42-1+deb12u2
  Version table:
 *** 10.42-1+deb12u2 500
        500 http://deb.debian.org/debian-security bookworm-security/main amd64 Packages
        100 /var/lib/dpkg/status
     10.42-1 500
        500 http://deb.debian.org/debian bookworm/main amd64 Packages
libpcre2-8-0:i386:
  Installed: (none)
  Candidate: 10.42-1
  Version table:
     10.42-1 500
        500 http://deb.debian.org/debian bookworm/main i386 Packages
libc6:
  Installed: 2.36-9+deb12u10
  Candidate: 2.36-9+deb12u10
  Version table:
 *** 2.36-9+deb12u10 500
        500 http://deb.debian.org/debian bookworm/main amd64 Packages
        100 /var/lib/dpkg/status
libc6:i386:
  Installed: (none)
  Candidate: 2.36-9+deb12u10
  Version table:
     2.36-9+deb12u10 500
        500 http://deb.debian.org/debian bookworm/main i386 Packages
libssl3:
  Installed: (none)
  Candidate: 3.0.16-1~deb12u1
  Version table:
     3.0.16-1~deb12u1 500
        500 http://deb.debian.org/debian-security bookworm-security/main amd64 Packages
     3.0.15-1~deb12u1 500
        500 http://deb.debian.org/debian bookworm/main amd64 Packages
     3.0.11-1~deb12u2 500
        500 http://deb.debian.org/debian bookworm/main amd64 Packages
libssl3:i386:
  Installed: (none)
  Candidate: 3.0.15-1~deb12u1
  Version table:
     3.0.11-1~deb12u2 500
        500 http://deb.debian.org/debian bookworm/main i386 Packages
     3.0.15-1~deb12u1 500
        500 http://deb.debian.org/debian bookworm/main i386 Packages
libgnutls30:
  Installed: 3.7.9-2+deb12u4
  Candidate: 3.7.9-2+deb12u4
  Version table:
 *** 3.7.9-2+deb12u4 500
        500 http://deb.debian.org/debian-security bookworm-security/main amd64 Packages
        100 /var/lib/dpkg/status
libgnutls30:i386:
  Installed: (none)
  Candidate: 3.7.9-2+deb12u3
  Version table:
     3.7.9-2+deb12u3 500
        500 http://deb.debian.org/debian bookworm/main i386 Packages
POLICY

# A healthy mirror (today's): nothing to pin, and the normal install stands.
expect "synced mirror" 0 "" <<'POLICY'
libpcre2-8-0:
  Installed: 10.42-1+deb12u2
  Candidate: 10.42-1+deb12u2
  Version table:
 *** 10.42-1+deb12u2 500
        500 http://deb.debian.org/debian-security bookworm-security/main amd64 Packages
        100 /var/lib/dpkg/status
     10.42-1 500
        500 http://deb.debian.org/debian bookworm/main amd64 Packages
libpcre2-8-0:i386:
  Installed: 10.42-1+deb12u2
  Candidate: 10.42-1+deb12u2
  Version table:
 *** 10.42-1+deb12u2 500
        500 http://deb.debian.org/debian-security bookworm-security/main i386 Packages
        100 /var/lib/dpkg/status
     10.42-1 500
        500 http://deb.debian.org/debian bookworm/main i386 Packages
POLICY

[ $failed = 0 ] && echo "apt shared versions: ok"
exit $failed
