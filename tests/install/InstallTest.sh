#!/bin/sh
# Installs the build into a temporary prefix and checks what a desktop finds
# there: the program, a launcher and metadata that their validators accept,
# the icon in every size the launcher's Icon= is looked up in, and the manual
# pages compressed.
# Usage: InstallTest.sh <cmake> <build folder> <source folder>
set -u
cmake=$1 build=$2 source=$3
id=com.orvendale.Tessarine
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

"$cmake" --install "$build" --prefix "$prefix" >/dev/null || { echo "FAILED: install"; exit 1; }

[ -x "$prefix/bin/tessarine" ] || fail "bin/tessarine missing"
# The installed program starts from its new place (and this switch ends it at once).
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$prefix/bin/tessarine" /regserver || fail "installed program did not run"

entry=$prefix/share/applications/$id.desktop
out=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate reports: $out"
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
[ -x "$prefix/bin/$exec_program" ] || fail "Exec= names $exec_program, which is not installed"
# The links a browser opens come to the program as its argument: the podcast
# schemes, and saved feeds.
grep -qx 'Exec=tessarine %u' "$entry" || fail "Exec= does not take the link"
for type in x-scheme-handler/feed x-scheme-handler/podcast x-scheme-handler/itpc application/rss+xml; do
    grep -q "^MimeType=\(.*;\)\?$type;" "$entry" || fail "MimeType= lacks $type"
done
icon=$(sed -n 's/^Icon=//p' "$entry")
[ "$icon" = "$id" ] || fail "Icon= is '$icon'"

appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null ||
    fail "appstreamcli: $(appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml")"

# Each size is a PNG whose header says that size.
for size in 16 24 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png
    if [ ! -f "$png" ]; then
        fail "icon ${size}x${size} missing"
        continue
    fi
    header=$(od -An -tx1 -j0 -N24 "$png" | tr -d ' \n')
    expected=$(printf '%08x%08x' "$size" "$size")
    [ "${header%"${header#????????????????}"}" = 89504e470d0a1a0a ] || fail "$png is no PNG"
    [ "${header#????????????????????????????????}" = "$expected" ] || fail "$png is not ${size}x${size}"
done
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "scalable icon missing"

for page in "$source"/man/*.1; do
    [ -e "$page" ] || continue
    name=$(basename "$page")
    gzip -t "$prefix/share/man/man1/$name.gz" 2>/dev/null || fail "man page $name.gz missing or broken"
done
gzip -t "$prefix/share/doc/tessarine/changelog.gz" || fail "changelog.gz"
[ -s "$prefix/share/doc/tessarine/copyright" ] || fail "copyright"

[ $failures -eq 0 ] && echo "install checks passed"
exit $failures
