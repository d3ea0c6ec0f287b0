#!/usr/bin/env bash
# Fails when a source folder includes a folder that its layer may not use (a layer above it, the simulated
# device from above the platform, or an operating-system header from above the platform). The rules are
# in scripts/layers.conf; docs/layers.md explains the layers.
# Usage: scripts/check-layers.sh [ROOT]
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root"
# Every include folder of the project: Platform/Foundation is included as <Foundation/...>.
roots=()
for layer in Platform Libraries Classes; do
    for dir in "$layer"/*/; do
        [[ -d "$dir" ]] && roots+=("$layer/$(basename "$dir")")
    done
done
sources=$(find Platform Libraries Classes Simulator -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.hpp' \) \
    2>/dev/null | sort)
[[ -n "$sources" ]] || { echo "check-layers: no sources found under $root" >&2; exit 1; }
# file:line:#include <x/y.h>  ->  checked by awk against the rules.
# shellcheck disable=SC2086
grep -Hn -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' $sources |
    awk -v roots="${roots[*]}" -v conf="scripts/layers.conf" '
    BEGIN {
        n = split(roots, list, " ")
        for (i = 1; i <= n; ++i) {
            split(list[i], parts, "/")
            layerOf[parts[2]] = parts[1]   # Foundation -> Platform
        }
        while ((getline line < conf) > 0) {
            sub(/#.*/, "", line)
            m = split(line, w, /[[:space:]]+/)
            if (m == 0 || w[1] == "") continue
            if (w[1] == "exception") { exception[w[2] " " w[3]] = 1; continue }
            rule[w[1]] = ""
            for (k = 2; k <= m; ++k) if (w[k] != "") rule[w[1]] = rule[w[1]] " " w[k]
            rule[w[1]] = rule[w[1]] " "
        }
        bad = 0
    }
    # The rule of a folder: its own line, else its layer`s "*" line.
    function ruleFor(folder,    layer) {
        if (folder in rule) return rule[folder]
        layer = folder; sub(/\/.*/, "", layer)
        if ((layer "/*") in rule) return rule[layer "/*"]
        return ""
    }
    function allowed(r, target,    layer) {
        if (index(r, " -" target " ")) return 0
        if (index(r, " " target " ")) return 1
        layer = layerOf[target]
        return index(r, " " layer "/* ") > 0
    }
    {
        split($0, f, ":")
        file = f[1]; lineNo = f[2]
        text = substr($0, length(file) + length(lineNo) + 3)
        if (text ~ /"/) {
            if (text ~ /\.\.\//) { printf "%s:%s: a relative include leaves the folder: %s\n", file, lineNo, text; bad = 1 }
            next
        }
        match(text, /<[^>]*>/)
        header = substr(text, RSTART + 1, RLENGTH - 2)
        folder = file
        if (folder ~ /^Simulator\//) folder = "Simulator"
        else { split(file, p, "/"); folder = p[1] "/" p[2] }
        own = folder; sub(/.*\//, "", own)
        r = ruleFor(folder)
        if ((file " " header) in exception) next
        if (header ~ /\//) {
            target = header; sub(/\/.*/, "", target)
            if (target in layerOf) {
                if (target == own || allowed(r, target)) next
                printf "%s:%s: %s may not include <%s> (%s/%s); see scripts/layers.conf\n", file, lineNo, folder, header, layerOf[target], target
                bad = 1
                next
            }
        } else if (header !~ /\./) {
            next   # the C++ standard library: <vector>, <cstdint>
        }
        if (index(r, " @system ")) next
        printf "%s:%s: %s may not use the system or third-party header <%s>; go through a platform class\n", file, lineNo, folder, header
        bad = 1
    }
    END { exit bad }
    ' || { echo "check-layers: layering broken (rules: scripts/layers.conf, docs/layers.md)" >&2; exit 1; }
echo "check-layers: every include respects the layers"
