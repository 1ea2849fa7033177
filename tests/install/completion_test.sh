#!/usr/bin/env bash
# completion_test.sh - the bash completion of zor-cli offers the commands, options, option values
# and archive names a user expects at each point of a command line.
#
# Usage: completion_test.sh SOURCE-DIR ZOR-CLI
set -u
source "$1/data/zor-cli.bash-completion"
cli_dir=$(cd "$(dirname "$2")" && pwd)
PATH="$cli_dir:$PATH"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" && touch photos.zor notes.txt pw && mkdir out
failures=0

# check EXPECTED WORD... : completes the last word. EXPECTED is "=A B" for exactly those
# offers in sorted order, or "+A -B" for offers that must be there and that must not.
check() {
    local expected=$1 want
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _zor_cli
    local got=" ${COMPREPLY[*]} " ok=1 sorted
    sorted=$( ((${#COMPREPLY[@]})) && printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' ')
    if [[ $expected == =* ]]; then
        [[ $sorted == "${expected#=}" ]] || ok=0
    else
        for want in $expected; do
            case $want in
                +*) [[ $got == *" ${want#+} "* ]] || ok=0 ;;
                -*) [[ $got != *" ${want#-} "* ]] || ok=0 ;;
            esac
        done
    fi
    if ((ok)); then
        echo "ok   [$*]"
    else
        echo "FAIL [$*]: offered '${COMPREPLY[*]}', want '$expected'"
        failures=$((failures + 1))
    fi
}

check "+pack +unpack +test +list +info +lock +compress +decompress +--version" zor-cli ""
check "=unpack" zor-cli un
check "=--overwrite" zor-cli unpack --ov
check "+-d +--directory +--password-file +-q -ITEM" zor-cli unpack -
check "=all ask skip" zor-cli unpack photos.zor --overwrite ""
check "=all ask" zor-cli unpack --overwrite = a
# An archive argument offers archives and folders to walk into, not other files.
check "=out photos.zor" zor-cli unpack ""
check "=out photos.zor" zor-cli test -q ""
check "=out photos.zor" zor-cli unpack --password-file pw ""
check "=out photos.zor" zor-cli unpack --threads 2 ""
check "=out photos.zor" zor-cli unpack --overwrite = skip ""
# What goes into an archive, and a password file, may be any file.
check "+notes.txt +photos.zor +out" zor-cli pack new.zor ""
check "+notes.txt +pw" zor-cli pack --password-file ""
check "=out" zor-cli unpack photos.zor -d ""
check "=out" zor-cli unpack photos.zor --directory = ""
# A number, a flag's next word, and names inside an archive: nothing to offer from the disk.
check "=" zor-cli pack --threads ""
check "=" zor-cli list photos.zor ""
check "=" zor-cli info photos.zor ""
check "+notes.txt" zor-cli compress ""

((failures == 0))
