#!/usr/bin/env bash
# Fails when a file of the program includes one of the project's headers without naming its
# folder, or from a layer above its own (or from a sibling folder of its own layer), or when the
# core includes Qt. Layers, lowest first:
#   0 core/base   1 core/table   2 core/names, core/list   3 core/owners   4 core/describe
#   5 kit/   6 gui/about, gui/copy, gui/filters   7 gui/main   8 app/
set -euo pipefail
cd "$(dirname "$0")/.."

layer_of() {
    case "$1" in
        core/base) echo 0 ;;
        core/table) echo 1 ;;
        core/names | core/list) echo 2 ;;
        core/owners) echo 3 ;;
        core/describe) echo 4 ;;
        kit) echo 5 ;;
        gui/about | gui/copy | gui/filters) echo 6 ;;
        gui/main) echo 7 ;;
        app) echo 8 ;;
        *) echo "" ;;
    esac
}
folders="core/base core/table core/names core/list core/owners core/describe kit gui/about gui/copy gui/filters gui/main app"

status=0
# A file in a folder that has no layer would go unchecked.
while read -r file; do
    if [ -z "$(layer_of "$(dirname "$file")")" ]; then
        echo "$file: its folder is not one of the layers" >&2
        status=1
    fi
done < <(git ls-files -co --exclude-standard 'core/*' 'kit/*' 'gui/*' 'app/*' | grep -E '\.(h|cpp)$')
for folder in $folders; do
    rank=$(layer_of "$folder")
    for file in "$folder"/*.h "$folder"/*.cpp; do
        [ -e "$file" ] || continue
        if [[ $folder == core/* ]] && grep -nE '^\s*#\s*include\s*<Q' "$file"; then
            echo "$file: the core includes Qt" >&2
            status=1
        fi
        while read -r included; do
            target=$(dirname "$included")
            if [ ! -f "$included" ] || [ -z "$(layer_of "$target")" ]; then
                echo "$file: includes \"$included\", which names no header of the program's folders" >&2
                status=1
            elif [ "$target" != "$folder" ] && [ "$(layer_of "$target")" -ge "$rank" ]; then
                echo "$file: includes $included, which is not below $folder" >&2
                status=1
            fi
        done < <(sed -nE 's/^\s*#\s*include\s*"([^"]+)".*/\1/p' "$file")
    done
done
[ $status -eq 0 ] && echo "layers: every include names its folder and points down"
exit $status
