#!/usr/bin/env bash
# Includes point down: each folder of the program may include only the folders below it, and no
# window includes another. app/ alone knows every window.
set -euo pipefail
cd "$(dirname "$0")/.."
declare -A allowed=(
    [platform]=""
    [settings]=""
    [pictures]=""
    [clinic]="settings"
    [forms]="platform settings pictures clinic"
    [hesschart]="platform settings pictures clinic forms"
    [start]="platform settings pictures clinic forms hesschart"
    [measure]="platform settings pictures clinic forms hesschart"
    [calibrate]="platform settings pictures clinic forms hesschart"
    [hess]="platform settings pictures clinic forms hesschart"
    [results]="platform settings pictures clinic forms hesschart"
    [app]="platform settings pictures clinic forms hesschart start measure hess calibrate results"
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
