#!/bin/sh
# parallel_compress_vs_peers.sh - times zor-cli compress at 1 and 2 threads against bzip2 -9, pbzip2 -9 -p2 and lbzip2 -9 -n1/-n2.
#
# The peers are run only as black boxes. Each figure is the best of REPEAT
# runs in elapsed (wall-clock) seconds, since parallelism shows only there;
# the load average printed first says how much else the machine was doing.
# Memory is the peak resident size from /usr/bin/time. The two zor-cli
# streams are also compared: they must be byte-identical.
# Usage: bench/parallel_compress_vs_peers.sh [ZOR_CLI] [REPEAT]
set -eu
. "$(cd "$(dirname "$0")" && pwd)/common.sh"

echo "cores: $(nproc); load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-10s %9s %9s %7s %7s %7s %7s %7s %9s %9s %9s %6s %6s %6s\n' input zor1_s zor2_s 2/bz2 2/pbz2 2/lbz_n2 1/lbz_n1 \
    1/bz2 zor_size bz2_size lbz_size mem1MB mem2MB lbzMB
for name in text binary repetitive random; do
    f="$work/corpus/$name"
    z1=$(measure wall sh -c "\"$cli\" compress --force --threads 1 \"$f\" \"$work/$name.t1.zs\"")
    z2=$(measure wall sh -c "\"$cli\" compress --force --threads 2 \"$f\" \"$work/$name.t2.zs\"")
    bz=$(measure wall sh -c "bzip2 -9 -c \"$f\" > \"$work/$name.bz2\"")
    pb=$(measure wall sh -c "pbzip2 -9 -p2 -c \"$f\" > \"$work/$name.pbz2\"")
    l1=$(measure wall sh -c "lbzip2 -9 -n1 -c \"$f\" > \"$work/$name.lbz2\"")
    l2=$(measure wall sh -c "lbzip2 -9 -n2 -c \"$f\" > \"$work/$name.lbz2\"")
    cmp -s "$work/$name.t1.zs" "$work/$name.t2.zs" || echo "STREAMS DIFFER on $name"
    awk -v n="$name" -v z1="$z1" -v z2="$z2" -v bz="$bz" -v pb="$pb" -v l1="$l1" -v l2="$l2" \
        -v zs="$(stat -c %s "$work/$name.t2.zs")" -v bs="$(stat -c %s "$work/$name.bz2")" \
        -v ls="$(stat -c %s "$work/$name.lbz2")" 'BEGIN {
        split(z1, a, " "); split(z2, b, " "); split(bz, c, " "); split(pb, d, " "); split(l1, e, " "); split(l2, g, " ");
        printf "%-10s %9.2f %9.2f %7.2f %7.2f %7.2f %7.2f %7.2f %9d %9d %9d %6.1f %6.1f %6.1f\n", n, a[1], b[1],
               b[1] / c[1], b[1] / d[1], b[1] / g[1], a[1] / e[1], a[1] / c[1], zs, bs, ls, a[2] / 1024, b[2] / 1024, g[2] / 1024 }'
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "2/x: zor-cli --threads 2 time / peer time; 1/x: --threads 1; lbz_n2 = lbzip2 -9 -n2 (target 2/lbz_n2 <= 1.00)"
echo "best of $repeat elapsed times; sizes in bytes; memory = peak RSS of zor-cli at 1 and 2 threads and of lbzip2 -n2"
