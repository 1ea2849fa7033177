#!/bin/sh
# manual_test.sh - the manual pages render without warnings, and zor-cli(1) documents every
# command, every option and every exit status that `zor-cli [COMMAND] --help` lists.
#
# Usage: manual_test.sh SOURCE-DIR ZOR-CLI
set -u
data="$1/data"
cli="$2"
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

command -v man >/dev/null 2>&1 || { echo "SKIP: no man here"; exit 77; }
for page in zor zor-cli; do
    warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$data/$page.1" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page.1 renders with warnings: $warnings"
    MANWIDTH=80 man -l "$data/$page.1" 2>/dev/null | grep -q '^NAME' || fail "$page.1 renders no NAME section"
done

manual="$data/zor-cli.1"
# The text of one section of the page: SECTION-TITLE
section() { awk -v title="$1" '/^\.SH/ { inside = ($0 == ".SH " title) ; next } inside' "$manual"; }
commands=$(section COMMANDS)
options=$(section OPTIONS)
statuses=$(section "EXIT STATUS")

subcommands=$("$cli" --help | awk '/^Subcommands:/ { listing = 1; next } listing && /^  [a-z]/ { print $1 }')
[ -n "$subcommands" ] || fail "zor-cli --help lists no commands"
for command in $subcommands; do
    printf '%s\n' "$commands" | grep -q "^\.B $command\( \|$\)" || fail "zor-cli.1 does not describe the command $command"
    # Every option name of the command's help: "-q,--quiet", "--threads INT".
    for option in $("$cli" "$command" --help | sed -n 's/^  \(-[^ ]*\).*/\1/p' | tr ',' ' '); do
        escaped=$(printf '%s' "$option" | sed 's/-/\\\\-/g')
        printf '%s\n' "$options" | grep -q -- "$escaped\( \|\"\|$\)" ||
            fail "zor-cli.1 does not describe $option of $command"
    done
done

# "Exit status: 0 success, 1 failed ..., 2 usage error, 3 fatal error."
codes=$("$cli" --help | sed -n 's/^Exit status: //p' | tr ',' '\n' | sed -n 's/^ *\([0-9][0-9]*\) .*/\1/p')
[ -n "$codes" ] || fail "zor-cli --help lists no exit statuses"
for code in $codes; do
    printf '%s\n' "$statuses" | grep -qx "\.B $code" || fail "zor-cli.1 does not describe exit status $code"
done

[ "$failures" -eq 0 ] && echo "ok   manual pages"
[ "$failures" -eq 0 ]
