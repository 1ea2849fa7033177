#!/bin/sh
# speed_table.sh - wall-time ratios of two zor-cli builds against lbzip2 and bzip2, measured in the same run.
#
# For each case every round runs the BEFORE build, the AFTER build and the
# peer once, in an order that alternates from round to round, so that load
# on a shared machine falls on all three alike. Each row prints the median
# and the spread (lowest to highest) of zor/peer over the rounds, for both
# builds. The peers are run only as black boxes. Efficiency rows are
# one-thread wall time / (2 x two-thread wall time) of the same build.
# The outputs of the two builds must be the same bytes; a mismatch is printed.
# Usage: bench/speed_table.sh BEFORE_CLI AFTER_CLI [ROUNDS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
before="${1:?usage: speed_table.sh BEFORE_CLI AFTER_CLI [ROUNDS]}"
after="${2:?usage: speed_table.sh BEFORE_CLI AFTER_CLI [ROUNDS]}"
rounds="${3:-7}"
before="$(cd "$(dirname "$before")" && pwd)/$(basename "$before")"
after="$(cd "$(dirname "$after")" && pwd)/$(basename "$after")"
work="${BENCH_DIR:-/tmp/zor-bench}"
for peer in bzip2 lbzip2 tar; do
    command -v "$peer" >/dev/null || { echo "missing $peer (apt-get install $peer)" >&2; exit 1; }
done
"$here/make_corpus.sh" "$work/corpus" >/dev/null
# The tree of 10,000 small text files that archive_vs_tar.sh makes.
[ -d "$work/tree" ] || "$here/archive_vs_tar.sh" "$after" 1 >/dev/null
out="$work/speed"
cd "$work"  # the tree is packed by its relative name
rm -rf "$out" && mkdir -p "$out"

# run_zor CLI OUTPUT ARGS... : runs one build with @OUT in ARGS standing for OUTPUT.
run_zor() {
    zor="$1" o="$2"
    shift 2
    for a; do
        shift
        [ "$a" = "@OUT" ] && a="$o"
        set -- "$@" "$a"
    done
    "$zor" "$@"
}

# seconds CMD... : the wall time of one run, output discarded.
seconds() {
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || echo "FAILED: $*" >&2
    t1=$(date +%s.%N)
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f\n", b - a }'
}

# median_spread FILE : "median low-high" of the numbers in FILE.
median_spread() {
    sort -g "$1" | awk '{ v[NR] = $1 } END {
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "%.2f %.2f-%.2f", m, v[1], v[NR] }'
}

# row NAME PEER_CMD ZOR_ARGS... (@OUT: the output) : runs the case, records the ratios and the zor wall times.
row() {
    name="$1" peer="$2"
    shift 2
    : > "$out/$name.before" && : > "$out/$name.after"
    : > "$out/$name.before.t" && : > "$out/$name.after.t"
    r=0
    while [ "$r" -lt "$rounds" ]; do
        if [ $((r % 2)) -eq 0 ]; then
            tb=$(seconds run_zor "$before" "$out/before.out" "$@")
            ta=$(seconds run_zor "$after" "$out/after.out" "$@")
            tp=$(seconds sh -c "$peer")
        else
            tp=$(seconds sh -c "$peer")
            ta=$(seconds run_zor "$after" "$out/after.out" "$@")
            tb=$(seconds run_zor "$before" "$out/before.out" "$@")
        fi
        cmp -s "$out/before.out" "$out/after.out" || echo "MISMATCH: $name, round $r"
        echo "$tb" >> "$out/$name.before.t" && echo "$ta" >> "$out/$name.after.t"
        awk -v z="$tb" -v p="$tp" 'BEGIN { printf "%.4f\n", z / p }' >> "$out/$name.before"
        awk -v z="$ta" -v p="$tp" 'BEGIN { printf "%.4f\n", z / p }' >> "$out/$name.after"
        r=$((r + 1))
    done
    printf '%-16s | %-16s | %-16s\n' "$name" "$(median_spread "$out/$name.before")" "$(median_spread "$out/$name.after")"
}

# efficiency NAME ONE TWO : one-thread / (2 x two-thread) median wall time per build.
efficiency() {
    for build in before after; do
        m1=$(median_spread "$out/$2.$build.t") && m2=$(median_spread "$out/$3.$build.t")
        awk -v a="${m1%% *}" -v b="${m2%% *}" 'BEGIN { printf "%.2f\n", a / (2 * b) }' > "$out/eff.$build"
    done
    printf '%-16s | %-16s | %-16s\n' "$1" "$(cat "$out/eff.before")" "$(cat "$out/eff.after")"
}

text="$work/corpus/text" bin="$work/corpus/binary"
"$after" compress --force "$text" "$work/text.zs" && "$after" compress --force "$bin" "$work/binary.zs"
bzip2 -9 -c "$text" > "$work/text.bz2" && bzip2 -9 -c "$bin" > "$work/binary.bz2"

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); $rounds alternated rounds; zor wall time / peer wall time"
printf '%-16s | %-16s | %-16s\n' case "before: median low-high" "after"
row compress-text-2 "lbzip2 -9 -n2 -c '$text'" compress --force --threads 2 "$text" @OUT
row compress-bin-2 "lbzip2 -9 -n2 -c '$bin'" compress --force --threads 2 "$bin" @OUT
row decompress-text-2 "lbzip2 -d -n2 -c '$work/text.bz2'" decompress --force --threads 2 "$work/text.zs" @OUT
row decompress-bin-2 "lbzip2 -d -n2 -c '$work/binary.bz2'" decompress --force --threads 2 "$work/binary.zs" @OUT
row compress-text-1 "lbzip2 -9 -n1 -c '$text'" compress --force --threads 1 "$text" @OUT
row compress-bin-1 "lbzip2 -9 -n1 -c '$bin'" compress --force --threads 1 "$bin" @OUT
row decompress-text-1 "lbzip2 -d -n1 -c '$work/text.bz2'" decompress --force --threads 1 "$work/text.zs" @OUT
row decompress-bin-1 "lbzip2 -d -n1 -c '$work/binary.bz2'" decompress --force --threads 1 "$work/binary.zs" @OUT
row tree-2 "tar cf - tree | lbzip2 -9 -n2" pack --quiet --force --threads 2 @OUT tree
row tree-1 "tar cf - tree | bzip2 -9" pack --quiet --force --threads 1 @OUT tree
efficiency eff-compress-text compress-text-1 compress-text-2
efficiency eff-compress-bin compress-bin-1 compress-bin-2
efficiency eff-decomp-text decompress-text-1 decompress-text-2
efficiency eff-decomp-bin decompress-bin-1 decompress-bin-2
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "targets: two threads <= 0.80 (tree <= 0.90), one thread <= 0.70, efficiency >= 0.92"
