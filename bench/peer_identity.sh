#!/usr/bin/env bash
# peer_identity.sh - compares ZOR's compressed streams with bzip2 -9 (run as a black box) bit for bit.
#
# ZOR's stream is bzip2's bit layout with another signature (00 00 00 39
# instead of "BZh9") and block magic (0x324260275460 instead of
# 0x314159265359; block magics are not byte-aligned). With those swapped, a
# stream made by the same algorithm must equal bzip2's byte for byte. The
# script builds two throwaway compressors from the engine sources: ZOR as
# it is, and a copy whose table passes limit code lengths to 17 bits, which
# is what bzip2 does (ZOR allows 20). Local check only; not part of CI.
#
# Usage: bench/peer_identity.sh [megabytes of text and of binaries, default 8]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
megabytes=${1:-8}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

command -v bzip2 >/dev/null || { echo "bzip2 is not installed"; exit 1; }

cat > "$work/raw_compress.cpp" <<'EOF'
// Compresses stdin to stdout as one stream at level 9, work factor 30.
#include <cstdio>
#include "engine/compress_stream.h"
using namespace zor;
static uint8_t in[1 << 16], out[1 << 16];
int main() {
    CodecStream s{};
    if (compressInit(&s, 9, 0, 30) != OK) return 2;
    auto drain = [&] { fwrite(out, 1, sizeof out - s.availOut, stdout); s.nextOut = out; s.availOut = sizeof out; };
    s.nextOut = out;
    s.availOut = sizeof out;
    size_t n;
    while ((n = fread(in, 1, sizeof in, stdin)) > 0) {
        s.nextIn = in;
        s.availIn = static_cast<uint32_t>(n);
        while (s.availIn > 0) { if (compressStep(&s, RUN) != RUN_OK) return 3; drain(); }
    }
    int r;
    do { r = compressStep(&s, FINISH); drain(); } while (r == FINISH_OK);
    compressEnd(&s);
    return r == STREAM_END ? 0 : 4;
}
EOF

engine_sources=(codec.cpp block_sort.cpp main_sort.cpp block_encoder.cpp huffman_code_lengths.cpp compress_stream.cpp)
build() {  # build <output> <table_selection.cpp to use>
    g++ -O2 -std=c++20 -I"$root" "$work/raw_compress.cpp" "${engine_sources[@]/#/$root/engine/}" "$2" -o "$1"
}
build "$work/zor" "$root/engine/table_selection.cpp"
sed 's/alphabetSize, kMaxCodeLength)/alphabetSize, 17)/' "$root/engine/table_selection.cpp" > "$work/table_selection_17.cpp"
grep -q 'alphabetSize, 17)' "$work/table_selection_17.cpp" || { echo "could not make the 17-bit variant"; exit 1; }
sed -i "s|#include \"engine/|#include \"$root/engine/|" "$work/table_selection_17.cpp"
build "$work/zor17" "$work/table_selection_17.cpp"

limit=$((megabytes * 1000000))
find /usr/include -name '*.h' -type f | sort | xargs cat 2>/dev/null | head -c "$limit" > "$work/text" || true
find /usr/lib/x86_64-linux-gnu -maxdepth 1 -name '*.so*' -type f | sort | xargs cat 2>/dev/null | head -c "$limit" > "$work/binary" || true
head -c 2000000 /dev/urandom > "$work/random"
python3 -c "import sys; sys.stdout.buffer.write(b'ab' * 700000)" > "$work/periodic_ab"
python3 -c "import sys; sys.stdout.buffer.write(bytes([251]) * 3000000)" > "$work/run_of_251"
python3 -c "import sys; sys.stdout.buffer.write(b'x' * 9999)" > "$work/short_run"

cat > "$work/compare.py" <<'EOF'
import sys
ours, peer = (open(p, 'rb').read() for p in sys.argv[1:3])
if ours[:4] != b'\0\0\0\x39' or peer[:4] != b'BZh9':
    print('unexpected stream headers'); sys.exit(1)
bits = lambda data: ''.join(format(b, '08b') for b in data[4:])
ours_bits = bits(ours).replace(format(0x324260275460, '048b'), 'M')
peer_bits = bits(peer).replace(format(0x314159265359, '048b'), 'M')
blocks = ours_bits.count('M')
if ours_bits == peer_bits:
    print(f'identical   {len(ours):>9} bytes, {blocks} blocks')
else:
    first = next((i for i, (a, b) in enumerate(zip(ours_bits, peer_bits)) if a != b), min(len(ours_bits), len(peer_bits)))
    block = ours_bits[:first].count('M')
    print(f'DIFFERENT   ours {len(ours)} bytes, bzip2 {len(peer)} bytes; first difference in block {block}')
EOF

printf '%-12s %-10s %s\n' sample size "as built (20-bit limit) | 17-bit limit like bzip2"
for sample in text binary random periodic_ab run_of_251 short_run; do
    file="$work/$sample"
    bzip2 -9 -c "$file" > "$file.bz2"
    "$work/zor" < "$file" > "$file.zor"
    "$work/zor17" < "$file" > "$file.zor17"
    printf '%-12s %-10s %s | %s\n' "$sample" "$(stat -c %s "$file")" \
        "$(python3 "$work/compare.py" "$file.zor" "$file.bz2")" "$(python3 "$work/compare.py" "$file.zor17" "$file.bz2")"
done
