# common.sh - what every benchmark script shares: its arguments, the corpus and the best-of-N timer.
#
# Sourced, not run. Sets `here`, `cli` (argument 1), `repeat` (argument 2)
# and `work` (BENCH_DIR), builds the corpus in "$work/corpus", and defines
#   measure KIND CMD...   best of $repeat runs; KIND cpu = user+sys seconds,
#                         wall = elapsed seconds; prints "seconds peak_kb".
here=$(cd "$(dirname "$0")" && pwd)
cli="${1:-$here/../build/release/cli/zor-cli}"
repeat="${2:-3}"
work="${BENCH_DIR:-/tmp/zor-bench}"
mkdir -p "$work"
"$here/make_corpus.sh" "$work/corpus" >/dev/null

measure() {
    kind="$1"
    shift
    best=""
    i=0
    while [ "$i" -lt "$repeat" ]; do
        /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$@"
        t=$(awk -v k="$kind" '{ if (k == "cpu") printf "%.3f %d", $2 + $3, $4; else printf "%.3f %d", $1, $4 }' "$work/time.txt")
        if [ -z "$best" ] || awk -v a="${t% *}" -v b="${best% *}" 'BEGIN{exit !(a<b)}'; then best="$t"; fi
        i=$((i + 1))
    done
    echo "$best"
}
