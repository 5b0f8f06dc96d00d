#!/usr/bin/env bash
# Includes point down: each folder of the program may include only the folders below it, and no
# window includes another. app/ alone knows every window.
set -euo pipefail
shopt -s nullglob
cd "$(dirname "$0")/.."
# base/ lies under every folder and includes none of them.
declare -A allowed=(
    [base]=""
    [platform]="base"
    [settings]="base"
    [pictures]="base"
    [clinic]="base settings"
    [forms]="base platform settings pictures clinic"
    [hesschart]="base platform settings pictures clinic forms"
    [start]="base platform settings pictures clinic forms hesschart"
    [measure]="base platform settings pictures clinic forms hesschart"
    [calibrate]="base platform settings pictures clinic forms hesschart"
    [hess]="base platform settings pictures clinic forms hesschart"
    [results]="base platform settings pictures clinic forms hesschart"
    [app]="base platform settings pictures clinic forms hesschart start measure hess calibrate results"
)
failed=0
for folder in "${!allowed[@]}"; do
    while IFS=: read -r file included; do
        [[ $included == "$folder" || " ${allowed[$folder]} " == *" $included "* ]] && continue
        echo "FAIL: $file includes $included/, which lies above $folder/" >&2
        failed=1
    done < <(grep -Ho '^#include "[a-z]*/' "$folder"/*.h "$folder"/*.cpp | sed 's/#include "//; s|/$||')
done
((failed == 0)) && echo "ok: every include points down"
exit $failed
