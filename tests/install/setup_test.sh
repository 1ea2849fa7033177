#!/bin/sh
# setup_test.sh - scripts/setup.sh asks dpkg by real package names and calls apt-get only for what is missing.
#
# Usage: setup_test.sh SOURCE-DIR
# Each case runs setup.sh with stand-ins for apt-get, sudo, id and (but for the first case)
# dpkg-query that write what they were asked to a log, and compares the log with the expected one.
set -u
setup="$1/scripts/setup.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

stub() {
    printf '#!/bin/sh\n%s\n' "$2" > "$work/bin/$1"
    chmod +x "$work/bin/$1"
}

# run_case NAME EXPECTED-STATUS EXPECTED-LOG UID MISSING SUDO PURPOSE
#   MISSING: packages the dpkg-query stand-in reports not installed, "real" to ask the real dpkg-query
#   SUDO: yes to offer a sudo that resets the environment, as sudo does
run_case() {
    name=$1 want_status=$2 want_log=$3 uid=$4 missing=$5 sudo=$6 purpose=$7
    rm -rf "${work:?}/bin" "$work/log"
    mkdir "$work/bin"
    : > "$work/log"
    stub apt-get "echo \"apt-get \$* [\$DEBIAN_FRONTEND]\" >> '$work/log'; exit \${APT_STATUS:-0}"
    stub id "echo $uid"
    ln -s "$(command -v env)" "$work/bin/env"
    [ "$sudo" = yes ] && stub sudo "echo \"sudo \$1\" >> '$work/log'; exec env -i PATH=\"\$PATH\" \"\$@\""
    apt_status=0
    if [ "$missing" = real ]; then
        path="$work/bin:$PATH"
        apt_status=1
    else
        # Only the stand-ins are on PATH, so a sudo of the system cannot answer for the missing one.
        stub dpkg-query "shift 2; for p; do case ' $missing ' in *\" \$p \"*) echo \"not-installed \$p\" ;; *) echo \"installed \$p\" ;; esac; done"
        path="$work/bin"
    fi
    PATH="$path" APT_STATUS=$apt_status DEBIAN_FRONTEND="" /bin/sh "$setup" "$purpose" > "$work/out" 2>&1
    status=$?
    got_log=$(cat "$work/log")
    if [ "$status" -ne "$want_status" ] || [ "$got_log" != "$want_log" ]; then
        echo "FAIL $name: status $status (want $want_status)"
        echo "  calls: $got_log"
        echo "  want:  $want_log"
        sed 's/^/  | /' "$work/out"
        failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
}

nl='
'
install_zstd="apt-get install -y --no-install-recommends zstd [noninteractive]"
# The packages of this system, asked by their real names: nothing missing, so no apt-get, no sudo.
run_case "everything installed: no apt-get" 0 "" 0 real yes test
run_case "everything installed for running: no apt-get" 0 "" 0 real yes run
run_case "one missing, as root" 0 "apt-get update []${nl}$install_zstd" 0 zstd no test
run_case "one missing, through sudo" 0 \
    "sudo apt-get${nl}apt-get update []${nl}sudo env${nl}$install_zstd" 1000 zstd yes test
run_case "one missing, no root and no sudo: nothing run" 1 "" 1000 zstd no test
grep -q "missing packages: zstd" "$work/out" || { echo "FAIL the missing package is not named"; failures=$((failures + 1)); }
run_case "a test tool missing: running does not install it" 0 "" 0 "clang zstd" no run
run_case "run and test tools missing: running installs its own" 0 \
    "apt-get update []${nl}apt-get install -y --no-install-recommends qt6-svg-dev [noninteractive]" 0 "qt6-svg-dev clang" no run
run_case "an unknown purpose is a usage error" 2 "" 0 "" no bogus

[ "$failures" -eq 0 ]
