#!/usr/bin/env bash
# Checks through GIO, as file managers see it, that the model/x-ase type
# takes real ASE exports (UTF-8, both UTF-16 orders, upper-case names) and
# leaves the other ".ase" files alone: an Aseprite sprite, an Adobe swatch
# exchange file and a plain text. Given the MIME XML, it builds a database of
# its own; given an XDG data folder (an install's share/), it updates and
# uses that folder's database. Any wrong type ends it with status 1.
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "mime_test: $*" >&2
    exit 1
}

if [ -f "$1" ]; then
    data_dir=$scratch/data
    mkdir -p "$data_dir/mime/packages"
    cp "$1" "$data_dir/mime/packages/aseview.xml"
else
    data_dir=$(cd "$1" && pwd)
fi
XDG_DATA_HOME=$data_dir update-mime-database "$data_dir/mime" ||
    fail "update-mime-database failed on $data_dir/mime"

content_type() {
    XDG_DATA_HOME=$data_dir XDG_DATA_DIRS=/usr/share \
        gio info -a standard::content-type "$1" | sed -n 's/^ *standard::content-type: //p'
}

# Little- and big-endian integers as escapes for printf's %b.
le16() { printf '\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)); }
le32() { printf '%s%s' "$(le16 $(($1 & 65535)))" "$(le16 $(($1 >> 16)))"; }
be16() { printf '\\x%02x\\x%02x' $(($1 >> 8 & 255)) $(($1 & 255)); }
be32() { printf '%s%s' "$(be16 $(($1 >> 16)))" "$(be16 $(($1 & 65535)))"; }

# An Aseprite sprite of one empty 16x16 frame: the 128-byte header (size,
# magic 0xA5E0, frames, width, height, depth, flags, speed, two reserved,
# palette entry, colours, pixel ratio, grid), the rest zero, and a frame
# header of no chunks.
write_sprite() {
    {
        printf '%b' "$(le32 144)" "$(le16 0xA5E0)" "$(le16 1)" "$(le16 16)" "$(le16 16)" \
            "$(le16 32)" "$(le32 1)" "$(le16 100)" "$(le32 0)" "$(le32 0)" "$(le32 0)" \
            "$(le16 0)" '\x01\x01' "$(le16 0)" "$(le16 0)" "$(le16 16)" "$(le16 16)"
        head -c 84 /dev/zero
        printf '%b' "$(le32 16)" "$(le16 0xF1FA)" "$(le16 0)" "$(le16 100)" '\x00\x00' \
            "$(le32 0)"
    } >"$1"
}

# A swatch exchange file of one colour: "ASEF", version 1.0, one block of a
# colour entry named "Red" (UTF-16BE), RGB in big-endian floats, global.
write_swatches() {
    printf '%b' ASEF "$(be16 1)" "$(be16 0)" "$(be32 1)" "$(be16 1)" "$(be32 28)" "$(be16 4)" \
        '\x00R\x00e\x00d\x00\x00' 'RGB ' '\x3f\x80\x00\x00' "$(be32 0)" "$(be32 0)" \
        "$(be16 2)" >"$1"
}

models=$scratch/models
mkdir "$models"
cp "$project_root"/tests/fixtures/real/*.[aA][sS][eE] "$models/"
cp "$project_root/tests/fixtures/real/cafu-box1a.ase" "$models/BOX1A.ASE"
write_sprite "$models/sprite.ase"
write_swatches "$models/swatches.ase"
echo "notes on the scene, not a model" >"$models/notes.ase"
[ "$(head -c 6 "$models/sprite.ase" | od -An -tx1 | tr -d ' ')" = 90000000e0a5 ] ||
    fail "the sprite's header is not as laid out"
[ "$(wc -c <"$models/sprite.ase")" = 144 ] || fail "the sprite is not 144 bytes"
[ "$(wc -c <"$models/swatches.ase")" = 46 ] || fail "the swatch file is not 46 bytes"

for model in "$models"/*; do
    type=$(content_type "$model")
    case $(basename "$model") in
    sprite.ase | swatches.ase | notes.ase)
        [ "$type" != model/x-ase ] || fail "$(basename "$model") taken for a model"
        ;;
    *) [ "$type" = model/x-ase ] || fail "$(basename "$model") is $type, not model/x-ase" ;;
    esac
    echo "$(basename "$model"): $type"
done
