#!/bin/sh
# archive_vs_tar.sh - times zor-cli pack/unpack against zor-cli compress/decompress on one 20 MB file, and against tar | bzip2 -9 on a tree of 10,000 small files.
#
# The first table shows what the archive layer adds around the codec (the
# target is at most 1.03 x); the second shows per-file overhead against
# tar piped into bzip2 -9 (target at most 1.3 x, bzip2 in one thread). The
# peers are run only as black boxes. Each figure is the best of REPEAT runs,
# in CPU seconds (user + system, children included) so that other load on a
# shared machine does not decide the ratios. The third table is wall-clock
# time and peak memory of WALL_RUNS (default 7) alternated runs: packing the
# tree on 1 thread against tar piped into bzip2 -9 (target at most 0.70 x)
# and on 2 threads against tar piped into lbzip2 -9 -n2 (target at most
# 0.90 x); the archives of both thread counts must be the same bytes.
# Usage: [WALL_RUNS=N] bench/archive_vs_tar.sh [ZOR_CLI] [REPEAT]
set -eu
command -v lbzip2 >/dev/null || { echo "missing lbzip2 (apt-get install lbzip2)" >&2; exit 1; }
here=$(cd "$(dirname "$0")" && pwd)
cli="${1:-$here/../build/release/cli/zor-cli}"
cli="$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")"
repeat="${2:-3}"
work="${BENCH_DIR:-/tmp/zor-bench}"
"$here/make_corpus.sh" "$work/corpus" >/dev/null
file="$work/corpus/text"

# 100 folders of 100 files of 200-4000 bytes (about 21 MB), cut from the text corpus.
tree="$work/tree"
if [ ! -d "$tree" ]; then
    awk -v out="$tree" -v corpus="$file" 'BEGIN {
        RS = "^$"; getline text < corpus; n = length(text); seed = 12345; at = 1
        for (d = 0; d < 100; d++) {
            folder = sprintf("%s/folder%03d", out, d); system("mkdir -p " folder)
            for (f = 0; f < 100; f++) {
                seed = (seed * 1103515245 + 12345) % 2147483648
                size = 200 + seed % 3801
                if (at + size > n) at = 1
                printf "%s", substr(text, at, size) > (folder sprintf("/file%03d.txt", f))
                close(folder sprintf("/file%03d.txt", f)); at += size
            }
        }
    }'
fi

# best CMD: the best time of REPEAT runs of CMD, each into a fresh, empty output folder.
best() {
    b=""
    i=0
    while [ "$i" -lt "$repeat" ]; do
        rm -rf "$work/out" && mkdir -p "$work/out"
        /usr/bin/time -f "%U %S" -o "$work/time.txt" sh -c "$1"
        t=$(awk '{ print $1 + $2 }' "$work/time.txt")
        if [ -z "$b" ] || awk -v a="$t" -v c="$b" 'BEGIN{exit !(a<c)}'; then b="$t"; fi
        i=$((i + 1))
    done
    echo "$b"
}

cd "$work"
cp "$file" "$work/big.txt"
pack=$(best "\"$cli\" pack -q \"$work/big.zor\" big.txt")
compress=$(best "\"$cli\" compress --force big.txt \"$work/big.zs\"")
unpack=$(best "\"$cli\" unpack -q \"$work/big.zor\" -d \"$work/out\" --overwrite all")
cmp -s big.txt "$work/out/big.txt" || echo "MISMATCH after unpack"
decompress=$(best "\"$cli\" decompress --force \"$work/big.zs\" \"$work/big.out\"")

cd "$tree"
tpack=$(best "\"$cli\" pack -q \"$work/tree.zor\" \$(ls)")
tbz=$(best "tar cf - \$(ls) | bzip2 -9 > \"$work/tree.tar.bz2\"")
tunpack=$(best "\"$cli\" unpack -q \"$work/tree.zor\" -d \"$work/out\" --overwrite all")
diff -r "$tree" "$work/out" >/dev/null || echo "MISMATCH after unpacking the tree"
tbunz=$(best "bzip2 -dc \"$work/tree.tar.bz2\" | tar xf - -C \"$work/out\"")

# The wall-clock runs alternate the four commands, WALL_RUNS times, so
# that a change of load on a shared machine falls on all of them alike;
# each line of wall.txt is "case elapsed_seconds peak_kb".
wallRuns="${WALL_RUNS:-7}"
loadBefore=$(cut -d' ' -f1-3 /proc/loadavg)
rm -f "$work/wall.txt"
i=0
while [ "$i" -lt "$wallRuns" ]; do
    /usr/bin/time -f "zor1 %e %M" -a -o "$work/wall.txt" sh -c "\"$cli\" pack -q -f --threads 1 \"$work/tree1.zor\" \$(ls)"
    /usr/bin/time -f "bzip2 %e %M" -a -o "$work/wall.txt" sh -c "tar cf - \$(ls) | bzip2 -9 > \"$work/tree.tar.bz2\""
    /usr/bin/time -f "zor2 %e %M" -a -o "$work/wall.txt" sh -c "\"$cli\" pack -q -f --threads 2 \"$work/tree2.zor\" \$(ls)"
    /usr/bin/time -f "lbzip2 %e %M" -a -o "$work/wall.txt" sh -c "tar cf - \$(ls) | lbzip2 -9 -n2 > \"$work/tree.tar.lbz2\""
    i=$((i + 1))
done
loadAfter=$(cut -d' ' -f1-3 /proc/loadavg)
cmp -s "$work/tree1.zor" "$work/tree2.zor" || echo "MISMATCH between the tree archives of 1 and 2 threads"

printf '%-34s %9s %9s %7s\n' case zor_cpu_s peer_cpu_s ratio
row() { awk -v n="$1" -v a="$2" -v b="$3" 'BEGIN { printf "%-34s %9.2f %9.2f %7.3f\n", n, a, b, a / b }'; }
row "pack 20 MB / compress" "$pack" "$compress"
row "unpack 20 MB / decompress" "$unpack" "$decompress"
row "pack tree / tar | bzip2 -9" "$tpack" "$tbz"
row "unpack tree / bzip2 -d | tar x" "$tunpack" "$tbunz"
echo "sizes: big.zor $(stat -c %s "$work/big.zor"), big.zs $(stat -c %s "$work/big.zs"), tree.zor $(stat -c %s "$work/tree.zor"), tree.tar.bz2 $(stat -c %s "$work/tree.tar.bz2")"

printf '\n%s\n' "pack tree, wall seconds: median (min-max) of $wallRuns alternated runs; load $loadBefore before, $loadAfter after"
awk '
    function sorted(list, a,   n, i, j, t) {
        n = split(list, a, " ")
        for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
        return n
    }
    function median(list,   a, n) { n = sorted(list, a); return a[int((n + 1) / 2)] }
    function spread(list,   a, n) { n = sorted(list, a); return sprintf("%.2f-%.2f", a[1], a[n]) }
    { wall[$1] = wall[$1] " " $2; kb[$1] = kb[$1] " " $3 }
    END {
        printf "%-30s %7s %11s %9s\n", "case", "median", "spread", "peak_kb"
        split("zor1 bzip2 zor2 lbzip2", order, " ")
        names["zor1"] = "zor-cli --threads 1"; names["bzip2"] = "tar | bzip2 -9"
        names["zor2"] = "zor-cli --threads 2"; names["lbzip2"] = "tar | lbzip2 -9 -n2"
        for (k = 1; k <= 4; k++) {
            c = order[k]
            printf "%-30s %7.2f %11s %9d\n", names[c], median(wall[c]), spread(wall[c]), median(kb[c])
        }
        printf "ratio 1 thread / tar | bzip2 -9 (target at most 0.70): %.3f\n", median(wall["zor1"]) / median(wall["bzip2"])
        printf "ratio 2 threads / tar | lbzip2 -9 -n2 (target at most 0.90): %.3f\n", median(wall["zor2"]) / median(wall["lbzip2"])
        printf "parallel efficiency, 1 thread / (2 x 2 threads): %.3f\n", median(wall["zor1"]) / (2 * median(wall["zor2"]))
    }' "$work/wall.txt"
