#!/usr/bin/env bash
# Regenerates the default adventure, its media and the game screen's artwork,
# then checks the adventure. The outputs are committed, so this is needed only
# after changing one of the scripts here.
#
# Needs (generation time only, never to build or run the program):
#   python3, python3-pil, fonts-dejavu-core, fonts-dejavu-extra, ffmpeg, lame
# On Debian: apt-get install python3-pil ffmpeg lame fonts-dejavu-core fonts-dejavu-extra
set -euo pipefail
cd "$(dirname "$0")"
# Debian's interpreter, where python3-pil lives, even when another python3 is first on PATH.
PY=python3
if [ -x /usr/bin/python3 ]; then PY=/usr/bin/python3; fi
"$PY" make_quest.py
"$PY" make_media.py "$@"
"$PY" make_art.py
"$PY" check_quest.py
