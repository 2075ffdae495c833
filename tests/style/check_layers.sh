#!/bin/sh
# House rule: each layer of the core includes only itself and the layers it
# is built on (platform -> net, storage, settings, address -> engine ->
# project -> cluster), by the path from the layer's root, never by "../".
# Prints every include that breaks the rule and fails if there is one. Run from the source tree's root.
set -eu

# The layers a layer may include, itself first.
allowed() {
    case $1 in
    platform) echo platform ;;
    net | storage | settings | address) echo "$1 platform" ;;
    engine) echo "engine net storage settings address platform" ;;
    project) echo "project engine net storage settings address platform" ;;
    cluster) echo "cluster project engine net storage settings address platform" ;;
    esac
}

layers="platform net storage settings address engine project cluster"
found=0
for layer in $layers; do
    bad=$(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "core/$layer" |
        awk -v layer="$layer" -v ok=" $(allowed "$layer") " -v all=" $layers " '
        {
            text = $0
            sub(/^[^:]*:[0-9]+:/, "", text)
            if (!match(text, /[<"][^>"]*[>"]/)) next
            path = substr(text, RSTART + 1, RLENGTH - 2)
            split(path, part, "/")
            where = $0
            sub(/:[^:]*$/, "", where)
            if (path ~ /(^|\/)\.\.\//)
                print where ": " layer " includes " path " through \"..\""
            else if (index(all, " " part[1] " ") && !index(ok, " " part[1] " "))
                print where ": " layer " must not include " path " (layer " part[1] ")"
        }')
    if [ -n "$bad" ]; then
        echo "$bad"
        found=1
    fi
done
if [ "$found" -ne 0 ]; then
    echo "A lower layer of the core includes a higher one (or a sibling): see above."
    exit 1
fi
