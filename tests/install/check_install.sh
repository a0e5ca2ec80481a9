#!/usr/bin/env bash
# The installed program: `cmake --install` into a scratch prefix and the Debian package unpacked
# into a scratch root; in both the tools answer on the installed database, the desktop program
# starts, and the desktop entry, icons, AppStream data and man pages are where desktops look.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

check_tree() { # PREFIX
    local prefix=$1
    local out
    out=$("$prefix/bin/lithora-cli" list) || fail "lithora-cli list in $prefix"
    grep -q '"Name"' <<<"$out" || fail "lithora-cli list in $prefix shows no rows"
    out=$("$prefix/bin/lithora-cli" card 1) || fail "lithora-cli card 1 in $prefix"
    grep -q '"currentCardNumber": 1' <<<"$out" || fail "lithora-cli card 1 in $prefix"
    "$prefix/bin/lithora-pack" verify "$prefix/share/lithora/INDEX" >/dev/null || fail "verify in $prefix"
    QT_QPA_PLATFORM=offscreen LITHORA_QUIT_AFTER_START=1 LITHORA_UNATTENDED=1 "$prefix/bin/lithora" 2>/dev/null ||
        fail "the desktop program in $prefix"
    for f in share/applications/lithora.desktop share/metainfo/org.lithora.Lithora.metainfo.xml \
             share/icons/hicolor/scalable/apps/lithora.svg share/icons/hicolor/48x48/apps/lithora.png \
             share/man/man1/lithora-cli.1 share/man/man1/lithora-pack.1 share/lithora/help/index.html \
             share/doc/lithora/LICENSE share/doc/lithora/LICENSE-DATA.md; do
        [ -s "$prefix/$f" ] || fail "$prefix/$f is missing"
    done
    # The man page describes each command's options, not only the command names.
    for option in --two-theta --residual-of --near-misses; do
        grep -qF -- "$option" "$prefix/share/man/man1/lithora-cli.1" ||
            fail "the man page of lithora-cli lacks $option"
    done
    if command -v desktop-file-validate >/dev/null; then
        out=$(desktop-file-validate "$prefix/share/applications/lithora.desktop" || true)
        grep -q error <<<"$out" && fail "desktop entry: $out"
    fi
    grep -q '^Exec=lithora' "$prefix/share/applications/lithora.desktop" || fail "desktop entry Exec"
}

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
check_tree "$scratch/prefix"

cpack --config "$build/CPackConfig.cmake" -B "$scratch/package" >/dev/null
deb=$(ls "$scratch"/package/lithora_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
grep -q libqt6widgets6 <<<"$depends" || fail "the package does not depend on Qt: $depends"
dpkg-deb -x "$deb" "$scratch/root"
check_tree "$scratch/root/usr"
echo "install: 2 passed, 0 failed"
