#!/usr/bin/env bash
# Compiles the Windows sources and every portable source for
# 64-bit Windows with the MinGW-w64 cross compiler, syntax only (there is no
# Windows build of Qt, libcurl, TinyXML or SQLite to link against here). The
# headers of libcurl, TinyXML and SQLite are the plain ones of their Debian
# -dev packages;
# Qt's headers decide the platform from the compiler's own macros, so the
# Debian Qt 6 headers serve for the syntax of the Qt-dependent sources.
# Warnings are errors, as in CI. Usage: check-windows.sh [output folder]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build-windows}"
cxx="${CXX_WINDOWS:-x86_64-w64-mingw32-g++-posix}"
qt=/usr/include/x86_64-linux-gnu/qt6
curl_include=/usr/include/x86_64-linux-gnu/curl
[ -d "$curl_include" ] || curl_include=/usr/include/curl

command -v "$cxx" >/dev/null || { echo "check-windows: $cxx not found" >&2; exit 1; }

# Each layer is reached as <folder>/<Header>.h, as in the staged include
# folders of the real build; a link to src serves every layer at once. The
# library headers come from their own folders, never from /usr/include as a
# whole, which would mix Linux system headers into the Windows ones.
mkdir -p "$out/include"
ln -sfn "$root/src" "$out/include/src"
ln -sfn "$curl_include" "$out/include/curl"
ln -sfn /usr/include/tinyxml.h "$out/include/tinyxml.h"
ln -sfn /usr/include/sqlite3.h "$out/include/sqlite3.h"
ln -sfn /usr/include/sqlite3ext.h "$out/include/sqlite3ext.h"
ln -sfn /usr/include/nlohmann "$out/include/nlohmann"

flags=(-std=c++20 -fsyntax-only -Wall -Wextra -Werror
       -DTESSARINE_VERSION=\"0\"
       -I"$out/include/src" -isystem "$out/include")
# Qt's targets define UNICODE on Windows; the core's do not.
qt_flags=(-DUNICODE -D_UNICODE -DQT_CORE_LIB -DQT_GUI_LIB -DQT_WIDGETS_LIB -DQT_NETWORK_LIB
          -isystem "$qt" -isystem "$qt/QtCore" -isystem "$qt/QtGui"
          -isystem "$qt/QtWidgets" -isystem "$qt/QtNetwork")

# The core, the front ends' texts and the command line's library: no Qt. The
# desktop layers and the command line's program (which adds the profile, on
# QtCore): on Qt.
shopt -s nullglob
# The core's posix/ sources are left out, its win/ ones compiled.
plain=("$root"/src/core/*/*.cpp "$root"/src/core/*/win/*.cpp "$root"/src/display/*.cpp "$root"/res/*.cpp)
with_qt=("$root"/src/platform/*.cpp "$root"/src/platform/win/*.cpp
         "$root"/src/controls/*.cpp "$root"/src/dialogs/*.cpp "$root"/src/mainwindow/*.cpp
         "$root"/src/app/*.cpp "$root"/src/cli/main.cpp)
for source in "$root"/src/cli/*.cpp; do
    [ "$source" = "$root/src/cli/main.cpp" ] || plain+=("$source")
done

# Up to JOBS compilers at a time; each failure leaves its mark in a file.
jobs="${JOBS:-$(nproc)}"
failures="$out/failures"
rm -f "$failures"
check() {
    local source="$1"; shift
    if ! "$cxx" "${flags[@]}" "$@" "$source"; then
        echo "check-windows: ${source#"$root"/} does not compile for Windows" >&2
        echo "$source" >>"$failures"
    fi
}
run() {
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do sleep 0.2; done
    check "$@" &
}
for source in "${plain[@]}"; do run "$source"; done
for source in "${with_qt[@]}"; do run "$source" "${qt_flags[@]}"; done
wait
[ ! -s "$failures" ] || exit 1
echo "check-windows: $((${#plain[@]} + ${#with_qt[@]})) sources compile for Windows (syntax only)"
