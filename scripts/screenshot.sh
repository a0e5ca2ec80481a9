#!/usr/bin/env bash
# Takes the documentation's screenshots of the program in a real window under Xvfb, on the
# bundled database: docs/screenshot-{main,optics,group,all-columns}.png and the guide's
# help/images/identify.png, identify-mixture.png, near-misses.png, compare.png and any-setting.png.
# Names given (main, optics, group, all-columns, identify, identify-mixture, near-misses, compare,
# any-setting) take only those:
# scripts/screenshot.sh near-misses
# Needs a build (scripts/setup.sh run or test) and xvfb (apt-get install xvfb).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$build/tests/lithora_doc_screenshots" "$build/bin/INDEX" "$root/docs" "$root/help" "$@"
echo "wrote the screenshots into $root/docs and $root/help/images"
