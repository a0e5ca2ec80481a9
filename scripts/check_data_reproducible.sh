#!/usr/bin/env bash
# Rebuilds the bundled database from data/raw/ into a temporary directory and compares what
# the build writes with the committed data/lithora/, data/card_numbers.tsv and docs/data.md.
# Exits 0 when every file is the same byte for byte, 1 when one differs (the differences are
# printed), 2 when the build itself fails. The committed files are never written.
# Needs the Debian packages python3-pymatgen and python3-yaml (scripts/setup.sh installs them).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
python=/usr/bin/python3  # Debian's, where python3-pymatgen lives
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cp data/card_numbers.tsv "$tmp/card_numbers.tsv"
start=$(date +%s)
if ! "$python" data/build_database.py --jobs "$(nproc)" --out "$tmp/lithora" \
        --registry "$tmp/card_numbers.tsv" --report "$tmp/data.md" >"$tmp/build.log" 2>&1; then
    cat "$tmp/build.log" >&2
    echo "check_data_reproducible: the build failed" >&2
    exit 2
fi
echo "check_data_reproducible: built in $(($(date +%s) - start)) s"

status=0
compare() {
    local committed=$1 built=$2
    if cmp -s "$committed" "$built"; then
        echo "  same: $committed"
    else
        echo "  DIFFERS: $committed"
        diff -u "$committed" "$built" | head -n 40 || true
        status=1
    fi
}
for f in entries references optics patterns; do
    compare "data/lithora/$f.tsv" "$tmp/lithora/$f.tsv"
done
compare data/card_numbers.tsv "$tmp/card_numbers.tsv"
compare docs/data.md "$tmp/data.md"
if [ "$status" -ne 0 ]; then
    echo "check_data_reproducible: the committed data differ from what data/build_database.py writes" >&2
fi
exit "$status"
