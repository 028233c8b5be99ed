#!/usr/bin/env bash
# Each program's Windows resources as the MinGW resource compiler builds them,
# read back: the version information a user sees in the file's properties,
# all in US English; the icon group IDI_ICON1 that Qt shows in every window,
# four sizes in three depths with the largest as PNG; and a Linux desktop
# entry that names the program as Windows does.
#
# Usage: check_windows_resources.sh WINDRES C_COMPILER RESOURCES_BINARY_DIR WORK_DIR
set -euo pipefail
windres=$1 cc=$2 dir=$3 work=$4
[ -x "$windres" ] || { echo "FAIL: no MinGW resource compiler: install binutils-mingw-w64-i686"; exit 1; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
mkdir -p "$work"

while IFS='|' read -r program description product file_name internal_name exec_args; do
  rc=$work/$program.rc
  "$windres" --preprocessor="$cc" --preprocessor-arg=-E --preprocessor-arg=-xc \
    --preprocessor-arg=-DRC_INVOKED -O res -i "$dir/$program/$program.rc" -o "$work/$program.res" &&
    "$windres" -J res -O rc -i "$work/$program.res" -o "$rc" || { fail "$program: windres"; continue; }

  [ "$(grep '^LANGUAGE' "$rc")" = "LANGUAGE 9, 1" ] || fail "$program: not all in US English"
  # What differs between the programs, the version and the copyright sign
  # (octal 251 in the Windows code page).
  for value in "\"FileDescription\", \"$description\"" "\"ProductName\", \"$product\"" \
      "\"OriginalFilename\", \"$file_name\"" "\"InternalName\", \"$internal_name\"" \
      '"FileVersion", "1.0.0"' '"ProductVersion", "1.0.0"' '"LegalCopyright", L"Copyright \251 Talvek Inc."'; do
    grep -qxF "      VALUE $value" "$rc" || fail "$program: the version information lacks $value"
  done
  grep -qx ' FILEVERSION 1, 0, 0, 0' "$rc" && grep -qx '    VALUE "Translation", 0x409, 1252' "$rc" ||
    fail "$program: file version or translation"

  # Group entries: width (octal, 0 for 256) and bits, sorted.
  group=$(sed -n '/^"IDI_ICON1" 14/,/^END/s/^ *"\\\([0-7]*\)\\[0-7]*\\[0-7]*\\[0-7]*", 1, \([0-9]*\),.*/\1 \2/p' "$rc" | sort | tr '\n' ' ')
  [ "$group" = "000 32 000 4 000 8 020 32 020 4 020 8 040 32 040 4 040 8 060 32 060 4 060 8 " ] ||
    fail "$program: icon group holds '$group'"
  pngs=$(sed -n '/RT_ICON/{n;n;p}' "$rc" | grep -c '^ *0x474e5089L' || true)
  [ "$pngs" = 3 ] || fail "$program: $pngs icon images are PNG, expected the three of 256 pixels"

  entry=$dir/$program/$program.desktop
  # The show players open a video handed over by the file manager.
  for key in "Name=$product" "Comment=$description" "Icon=$program" "Exec=$program$exec_args"; do
    grep -qx "$key" "$entry" || fail "$program.desktop lacks $key"
  done
done <<'PROGRAMS'
skeel|Bluetooth Skeel for Vantrel|Bluetooth Skeel|skeel.exe|SKEEL|
pulsetra|Pulsetra for Vantrel|Pulsetra|player.exe|PLAYER| %f
pulsetra_ble|Pulsetra (Bluetooth Edition) for Vantrel|Pulsetra (Bluetooth Edition)|pulsetra_ble.exe|PULSETRA BLE| %f
PROGRAMS
[ $failures -eq 0 ] && echo PASS || { echo "$failures check(s) failed"; exit 1; }
