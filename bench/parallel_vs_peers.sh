#!/bin/sh
# parallel_vs_peers.sh - times zor-cli decompress at 1 and 2 threads against bzip2 -d, pbzip2 -d -p2 and lbzip2 -d -n1/-n2.
#
# The peers are run only as black boxes, on the same inputs, interleaved.
# One-thread figures are CPU seconds (user + sys), parallel ones wall
# seconds; each is the best of REPEAT runs. bzip2 and lbzip2 decode one
# bzip2 -9 stream; pbzip2 decodes its own multi-stream file (it decodes in
# parallel only what it wrote). The load average before and after is
# printed, since the machine is shared.
# Usage: bench/parallel_vs_peers.sh [ZOR_CLI] [REPEAT]
set -eu
. "$(cd "$(dirname "$0")" && pwd)/common.sh"
for peer in bzip2 pbzip2 lbzip2; do
    command -v "$peer" >/dev/null || { echo "missing $peer (apt-get install $peer)" >&2; exit 1; }
done

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-11s %6s | %6s %6s %7s | %7s %7s %8s %8s %7s | %6s %6s %6s %6s | %6s %6s\n' \
    input MB z1_cpu bz_cpu lb1_cpu z1_wall z2_wall pb2_wall lb2_wall bz_wall z1/bz z1/lb1 z2/z1 z2/lb2 z1_MB z2_MB
for name in text binary repetitive random; do
    f="$work/corpus/$name"
    [ -s "$work/$name.zs" ] || "$cli" compress "$f" "$work/$name.zs"
    [ -s "$work/$name.bz2" ] || bzip2 -9 -c "$f" > "$work/$name.bz2"
    [ -s "$work/$name.pbz2" ] || pbzip2 -9 -p2 -c "$f" > "$work/$name.pbz2"
    z1=$(measure cpu "$cli" decompress --force --threads 1 "$work/$name.zs" "$work/$name.out")
    cmp -s "$f" "$work/$name.out" || echo "MISMATCH on $name at 1 thread"
    z1w=$(measure wall "$cli" decompress --force --threads 1 "$work/$name.zs" "$work/$name.out")
    z2=$(measure wall "$cli" decompress --force --threads 2 "$work/$name.zs" "$work/$name.out")
    cmp -s "$f" "$work/$name.out" || echo "MISMATCH on $name at 2 threads"
    bz=$(measure cpu sh -c "bzip2 -d -c '$work/$name.bz2' > /dev/null")
    bzw=$(measure wall sh -c "bzip2 -d -c '$work/$name.bz2' > /dev/null")
    lb1=$(measure cpu sh -c "lbzip2 -d -n1 -c '$work/$name.bz2' > /dev/null")
    lb2=$(measure wall sh -c "lbzip2 -d -n2 -c '$work/$name.bz2' > /dev/null")
    pb2=$(measure wall sh -c "pbzip2 -d -p2 -c '$work/$name.pbz2' > /dev/null")
    awk -v n="$name" -v b="$(stat -c %s "$f")" -v z1="$z1" -v z1w="$z1w" -v z2="$z2" -v bz="$bz" -v bzw="$bzw" -v lb1="$lb1" \
        -v lb2="$lb2" -v pb2="$pb2" 'BEGIN {
        split(z1, a, " "); split(z1w, v, " "); split(z2, c, " "); split(bz, d, " "); split(bzw, w, " ");
        split(lb1, e, " "); split(lb2, g, " "); split(pb2, h, " ");
        printf "%-11s %6.1f | %6.2f %6.2f %7.2f | %7.2f %7.2f %8.2f %8.2f %7.2f | %6.2f %6.2f %6.2f %6.2f | %6.1f %6.1f\n",
               n, b / 1e6, a[1], d[1], e[1], v[1], c[1], h[1], g[1], w[1],
               a[1] / d[1], a[1] / e[1], c[1] / v[1], c[1] / g[1], a[2] / 1024, c[2] / 1024 }'
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "z1: zor-cli --threads 1, z2: --threads 2, bz: bzip2 -d, lb1/lb2: lbzip2 -d -n1/-n2, pb2: pbzip2 -d -p2;"
echo "_cpu: user+sys seconds, _wall: elapsed seconds, best of $repeat; z2/lb2 is the target ratio (at most 1.00)"
