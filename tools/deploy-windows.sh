#!/usr/bin/env bash
# deploy-windows.sh DIR KIT
# Puts beside the .exe files in DIR what they need to start on Windows without Qt installed:
# the platform, image-format and style plugins of the Qt kit KIT, and every DLL that the
# programs and those DLLs import from KIT/bin or the MinGW-w64 runtime, found with objdump.
# Windows' own DLLs (KERNEL32, USER32...) are left alone. (windeployqt is not built when Qt is
# cross-compiled; this does the part of its work that a MinGW build needs.)
set -euo pipefail
dir=${1:?usage: $0 DIR KIT}
kit=${2:?usage: $0 DIR KIT}
triple=x86_64-w64-mingw32
objdump=${OBJDUMP:-$triple-objdump}
search=("$kit/bin" /usr/lib/gcc/$triple/12-posix /usr/$triple/lib)

for plugin in platforms/qwindows imageformats/qico styles/qwindowsvistastyle; do
    [ -f "$kit/plugins/$plugin.dll" ] || { echo "the kit has no plugin $plugin.dll" >&2; exit 1; }
    mkdir -p "$dir/$(dirname "$plugin")"
    cp "$kit/plugins/$plugin.dll" "$dir/$plugin.dll"
done

find_dll() {
    local folder found
    for folder in "${search[@]}"; do
        found=$(find "$folder" -maxdepth 1 -iname "$1" -print -quit 2>/dev/null)
        [ -n "$found" ] && { echo "$found"; return 0; }
    done
    return 1
}

declare -A seen=()
mapfile -t queue < <(find "$dir" -type f \( -iname '*.exe' -o -iname '*.dll' \))
while [ ${#queue[@]} -gt 0 ]; do
    binary=${queue[0]}
    queue=("${queue[@]:1}")
    while read -r dll; do
        key=${dll,,}
        [ -n "${seen[$key]:-}" ] && continue
        seen[$key]=1
        if source=$(find_dll "$dll"); then
            target=$dir/$(basename "$source")
            [ -f "$target" ] || cp "$source" "$target"
            queue+=("$target")
        fi
    done < <("$objdump" -p "$binary" | sed -n 's/^\s*DLL Name: //p')
done
