#!/usr/bin/env bash
# The headless rehearsal of scripts/rehearse, wired as there.
# Usage: check_rehearsal.sh <source dir> <program> <yoyo-rig> <x11-close> <usb|ble>
set -euo pipefail
source_dir=$1 kind=$5
export REHEARSAL_PROGRAM=$2 REHEARSAL_CLOSE=$4 REHEARSAL_DELAY=5
export REHEARSAL_VIDEO=$source_dir/tests/media/sample_show.mp4

status=0
reports=$("$source_dir/tools/test-session" -- "$3" "--$kind" 3 -- "$source_dir/tools/drive-show") || status=$?
echo "$reports"
[ "$status" -eq 0 ] || { echo "FAIL: the rehearsal ended with $status"; exit 1; }

for yoyo in "$kind-1" "$kind-2" "$kind-3"; do
  # (5 - 1) x 60 = 240
  received=$(awk -v yoyo="$yoyo" '$1 ~ /^[0-9.]+$/ && $2 == yoyo { $1 = $2 = ""; sub(/^ +/, ""); print }' <<<"$reports" | paste -sd,)
  [ "$received" = "start 240,stop" ] || { echo "FAIL: $yoyo received '$received'"; exit 1; }
done
echo "PASS: every yo-yo got one start and one stop"
