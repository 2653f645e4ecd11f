#!/usr/bin/env bash
# Fails when a file of the program includes one of the project's headers without naming its
# folder, or from a layer above its own (or from a sibling folder of its own layer), or when the
# core includes Qt. Layers, lowest first:
#   0 core/   1 kit/   2 gui/about, gui/copy, gui/filters   3 gui/main   4 app/
set -euo pipefail
cd "$(dirname "$0")/.."

layer_of() {
    case "$1" in
        core) echo 0 ;;
        kit) echo 1 ;;
        gui/about | gui/copy | gui/filters) echo 2 ;;
        gui/main) echo 3 ;;
        app) echo 4 ;;
        *) echo "" ;;
    esac
}
folders="core kit gui/about gui/copy gui/filters gui/main app"

status=0
for folder in $folders; do
    rank=$(layer_of "$folder")
    for file in "$folder"/*.h "$folder"/*.cpp; do
        [ -e "$file" ] || continue
        if [ "$folder" = core ] && grep -nE '^\s*#\s*include\s*<Q' "$file"; then
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
