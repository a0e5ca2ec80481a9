#!/usr/bin/env bash
# Takes the README's screenshot: the program in a real window under Xvfb on the bundled database.
# Needs xvfb and imagemagick (apt-get install xvfb imagemagick). Usage: scripts/screenshot.sh [ENTRY]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
entry=${1:-quartz}
out="$root/docs/screenshot-main.png"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "
  '$root/build/bin/lithora' '/i $entry' &
  pid=\$!
  sleep 3
  import -window root -crop 898x612+0+0 +repage '$out'
  kill \$pid"
echo "wrote $out"
