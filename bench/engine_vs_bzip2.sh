#!/bin/sh
# engine_vs_bzip2.sh - times zor-cli compress/decompress against bzip2 -9/-d on the same inputs, interleaved, and prints ratios.
#
# bzip2 is run only as a black box, as a peer measured in the same run. Each
# figure is the best of REPEAT runs; memory is the peak resident size from
# /usr/bin/time. Usage: bench/engine_vs_bzip2.sh [ZOR_CLI] [REPEAT]
set -eu
. "$(cd "$(dirname "$0")" && pwd)/common.sh"

printf '%-11s %11s %11s %11s %8s %8s %8s %8s %9s %9s\n' input bytes zor_size bz2_size c_ratio d_ratio c_mem_MB d_mem_MB bz_c_MB bz_d_MB
for name in text binary repetitive random; do
    f="$work/corpus/$name"
    zc=$(measure wall sh -c "\"$cli\" compress --force \"$f\" \"$work/$name.zs\"")
    bc=$(measure wall sh -c "bzip2 -9 -c \"$f\" > \"$work/$name.bz2\"")
    zd=$(measure wall sh -c "\"$cli\" decompress --force \"$work/$name.zs\" \"$work/$name.out\"")
    bd=$(measure wall sh -c "bzip2 -d -c \"$work/$name.bz2\" > /dev/null")
    cmp -s "$f" "$work/$name.out" || echo "MISMATCH on $name"
    awk -v n="$name" -v b="$(stat -c %s "$f")" -v zs="$(stat -c %s "$work/$name.zs")" \
        -v bs="$(stat -c %s "$work/$name.bz2")" -v zc="$zc" -v bc="$bc" -v zd="$zd" -v bd="$bd" 'BEGIN {
        split(zc, a, " "); split(bc, c, " "); split(zd, d, " "); split(bd, e, " ");
        printf "%-11s %11d %11d %11d %8.2f %8.2f %8.1f %8.1f %9.1f %9.1f\n", n, b, zs, bs,
               a[1] / c[1], d[1] / e[1], a[2] / 1024, d[2] / 1024, c[2] / 1024, e[2] / 1024 }'
done
echo "c_ratio, d_ratio: zor-cli time / bzip2 time (best of $repeat); sizes in bytes; memory = peak RSS"
