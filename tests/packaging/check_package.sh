#!/usr/bin/env bash
# The Debian package CPack builds from a built tree: its files and modes, a
# Depends that names every library and libvlc plugin the programs need, and no
# lintian errors (which also cover stripping and maintainer scripts).
# Usage: check_package.sh CPACK CPACK_CONFIG WORK_DIR RULES_FILE RULES_DIR
set -euo pipefail

cpack=$1 config=$2 work=$3 rules_source=$4 rules_dir=$5
programs=(pulsetra pulsetra_ble skeel)
for tool in dpkg-deb readelf lintian; do command -v $tool >/dev/null || { echo "FAIL: no $tool"; exit 1; }; done
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$work"
mkdir -p "$work"
"$cpack" -G DEB --config "$config" -B "$work" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1
}
debs=("$work"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: expected one .deb, found: ${debs[*]}"; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = vantrel-show ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = 1.0.0-1 ] || fail "Version is '$(field Version)'"
echo "Depends: $(field Depends)"
# The package names in Depends, alternatives included, versions dropped.
mapfile -t depends < <(field Depends | tr ',|' '\n\n' | sed -e 's/(.*)//' -e 's/[[:space:]]//g' | grep -v '^$')
depends_on() { printf '%s\n' "${depends[@]}" | grep -x "$1" >/dev/null; }

root=$work/root
dpkg-deb -x "$deb" "$root"

rule=$rules_dir/$(basename "$rules_source")
expected=$(
  echo "-rw-r--r-- .$rule"
  for program in "${programs[@]}"; do
    echo "-rwxr-xr-x ./usr/bin/$program"
    echo "-rw-r--r-- ./usr/share/applications/$program.desktop"
    for size in 16x16 32x32 48x48 256x256; do echo "-rw-r--r-- ./usr/share/icons/hicolor/$size/apps/$program.png"; done
    echo "-rw-r--r-- ./usr/share/icons/hicolor/scalable/apps/$program.svg"
  done
  echo "-rw-r--r-- ./usr/share/doc/vantrel-show/changelog.Debian.gz"
  echo "-rw-r--r-- ./usr/share/doc/vantrel-show/copyright"
)
diff <(sort <<<"$expected") <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $6 }' | sort) \
  || fail "the package's files (>) are not the expected ones (<)"
cmp -s "$root$rule" "$rules_source" || fail "the packaged $rule differs from $rules_source"

for program in "${programs[@]}"; do
  exe=$root/usr/bin/$program
  # Every library it loads comes from a package that Depends names.
  while read -r needed; do
    owner=$(dpkg -S "*/$(gcc -dumpmachine)/$needed" 2>/dev/null | awk -F: 'NR == 1 { print $1 }') || true
    [ -n "$owner" ] || { fail "no package here holds $needed, which $program needs"; continue; }
    depends_on "$owner" || fail "$program needs $needed from $owner, which Depends does not name"
  done < <(readelf -d "$exe" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
done

# libvlc decodes and draws on X11 through plugins that no link names.
for plugin in codec/libavcodec_plugin.so demux/libmp4_plugin.so video_output/libxcb_x11_plugin.so \
              audio_output/libpulse_plugin.so; do
  owner=$(dpkg -S "*/vlc/plugins/$plugin" 2>/dev/null | awk -F: 'NR == 1 { print $1 }') || true
  [ -n "$owner" ] || { fail "libvlc plugin $plugin is not installed here"; continue; }
  depends_on "$owner" || fail "the libvlc plugin $plugin comes from $owner, which Depends does not name"
done

dpkg-deb -e "$deb" "$work/control"
for script in postinst postrm; do
  [ -x "$work/control/$script" ] || fail "no executable $script"
done

# lintian: errors fail the package, the rest is shown.
lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1) || true
[ -z "$lintian_out" ] || echo "$lintian_out"
if grep -q '^E:' <<<"$lintian_out"; then fail "lintian reports errors"; fi

[ $failures -eq 0 ] && echo PASS || { echo "$failures check(s) failed"; exit 1; }
