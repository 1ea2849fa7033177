#!/usr/bin/env bash
# make_corpus.sh - generates the seed corpora of the fuzz targets with zor-cli from small trees.
#
# Usage: fuzz/make_corpus.sh [ZOR-CLI]   (default: build/release/cli/zor-cli)
# Rewrites fuzz/corpus/<target>/ for the archive targets and adds stream
# seeds made by zor-cli's compress command. The seeds stay small (a few KB
# each): fuzzing grows them, the saved corpus only has to reach every part.
# Only the thread-equivalence seeds are larger: blocks are decoded in
# parallel only in entries of 1 MiB of packed data or more.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
cli="$(realpath "${1:-$here/../build/release/cli/zor-cli}")"
[[ -x "$cli" ]] || { echo "no zor-cli at $cli" >&2; exit 2; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The trees: a little of everything an archive can hold.
trees="$work/trees"
mkdir -p "$trees/one" "$trees/nested/docs/img/deep" "$trees/nested/empty" "$trees/mixed" "$trees/emptydir/d"
printf 'hello, archive\n' > "$trees/one/a.txt"
printf 'top\n' > "$trees/nested/top.txt"
printf 'readme readme readme readme\n' > "$trees/nested/docs/readme.txt"
head -c 300 /dev/zero | tr '\0' 'x' > "$trees/nested/docs/img/b.png"
printf 'AbC' > "$trees/nested/docs/img/deep/Upper.TXT"
: > "$trees/mixed/empty.bin"
seq 1 200 > "$trees/mixed/numbers.txt"
printf 'same bytes\n' > "$trees/mixed/twin1"
printf 'same bytes\n' > "$trees/mixed/twin2"
chmod a-w "$trees/mixed/twin2"
printf 'secret\n' > "$work/password"

archives="$work/archives"
mkdir -p "$archives"
pack() {  # pack NAME TREE [password]
    local name="$1" tree="$2"
    shift 2
    (cd "$trees/$tree" && "$cli" pack -q "$@" "$archives/$name.zor" $(ls -A))
}
pack one one
pack nested nested
pack mixed mixed
pack emptydir emptydir
pack one_protected one --password-file "$work/password"
pack nested_protected nested --password-file "$work/password"
pack mixed_protected mixed --password-file "$work/password"

seed() {  # seed TARGET NAME FILE [prefix]
    mkdir -p "$here/corpus/$1"
    { printf '%b' "${4:-}"; cat "$3"; } > "$here/corpus/$1/$2"
}
for target in archive_list archive_test archive_extract archive_cipher exact_block thread_equivalence block_scan; do
    rm -rf "$here/corpus/$target"
done
for archive in "$archives"/*.zor; do
    name="$(basename "$archive" .zor)"
    for target in archive_list archive_test archive_extract exact_block; do seed "$target" "$name" "$archive"; done
    # The cipher target reads a length byte (1 + byte % 50) and the password first.
    seed archive_cipher "$name" "$archive" '\x05secret'
    # The thread-equivalence target reads the operation and thread count, and the answers first.
    seed thread_equivalence "$name" "$archive" '\x01\x1b'
done

# Entries large enough for blocks decoded in parallel: about 1.1 MiB packed
# of text that hardly compresses, with runs, beside small files decoded ahead.
mkdir -p "$trees/large/small"
awk 'BEGIN { srand(11); for (i = 0; i < 1400000; i++) {
         c = 32 + int(rand() * 95); printf "%c", c; if (rand() < 0.002) for (k = 0; k < 40; k++) printf "%c", c } }' \
    > "$trees/large/text.txt"
for i in $(seq 1 24); do seq "$i" 7 $((i * 900)) > "$trees/large/small/part$i.txt"; done
pack large large
pack many large/small
pack many_protected large/small --password-file "$work/password"
seed thread_equivalence large "$archives/large.zor" '\x02\x06'
seed thread_equivalence many "$archives/many.zor" '\x00\x00'
seed thread_equivalence many_protected "$archives/many_protected.zor" '\x81\x00'

# Streams for the decoder and round trip targets.
mkdir -p "$work/streams"
for file in "$trees/mixed/numbers.txt" "$trees/nested/docs/img/b.png" "$trees/nested/docs/readme.txt"; do
    name="$(basename "$file")"
    "$cli" compress "$file" "$work/streams/$name.zst"
    seed stream_decode "cli_$name" "$work/streams/$name.zst"
    seed stream_round_trip "cli_$name" "$file"
done

# The block scan target reads the planted magic's bit offset, a flag byte and the range first.
head -c 64 /dev/zero > "$work/zeros"
seed block_scan magic_in_stream "$work/streams/numbers.txt.zst" '\x00\x00\x01\x40\x01\x00\x00\xff\xff'
seed block_scan planted_in_zeros "$work/zeros" '\x00\x00\x00\x09\x01\x00\x02\x00\x05'
du -sh "$here/corpus"
