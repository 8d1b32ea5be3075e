#!/usr/bin/env bash
# Writes docs/report.png, the README's picture of an HTML report rendered by headless Chromium.
# Usage: scripts/report_screenshot.sh [--standard FILE] [DRAWING|FOLDER...]
# Without drawings it audits a generated office of 1,000 drawings (JSON, in project folders, with the
# mistakes offices make) against the sample standard file; give a real library's folder instead
# for the picture of a real run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

standard=$root/examples/standard/KVStPluginDefault.ini
if [[ ${1:-} == --standard ]]; then
  standard=$(realpath "$2")
  shift 2
fi
drawings=()
for drawing in "$@"; do drawings+=("$(realpath "$drawing")"); done
if [[ ${#drawings[@]} -eq 0 ]]; then
  python3 - "$work/library" <<'PY'
import json, pathlib, random, sys
root = pathlib.Path(sys.argv[1])
chance = random.Random(1000)  # the same library every time
layers = ["0", "Defpoints", "A-WALL", "A-DOOR", "A-GLAZ", "A-FURN", "A-ANNO-TEXT"]
mistakes = [(0.45, "Linetypes", "HIDDEN2"), (0.30, "Layers", "A-WALL-OLD"), (0.18, "Layers", "a-door"),
            (0.12, "TextStyles", "Title"), (0.08, "DimStyles", "Arch-50"), (0.05, "Layers", "A-WALL "),
            (0.04, "Layers", "A\u2011GLAZ"), (0.03, "Layers", "\u0410-FURN"), (0.02, "Layers", "A-DOOR\u200b"),
            (0.02, "Layers", "M-HVAC-SUPPLY-DUCT-LEVEL-03-NORTH"), (0.01, "Layers", "0 ")]
for number in range(1000):
    project = f"project-{number % 7 + 1}"
    drawing = {"Layers": list(layers), "Linetypes": ["ByBlock", "ByLayer", "Continuous", "DASHED"],
               "TextStyles": ["Standard", "Notes"], "DimStyles": ["Standard"]}
    for share, kind, name in mistakes:
        if chance.random() < share:
            drawing[kind].append(name)
    path = root / project / f"level-{number % 12:02}" / f"plan-{number}.json"
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(json.dumps(drawing, ensure_ascii=False), encoding="utf-8")
PY
  # Given relative to its folder, so that the page shows the paths as a user there would see them.
  drawings=(library/)
fi

cd "$work"
status=0
"$root/kvstcheck.sh" --standard "$standard" --html "$work/report.html" "${drawings[@]}" >/dev/null || status=$?
# Status 1: there are findings; 2: some drawings could not be read, which the report shows too.
[[ $status -le 2 && -s $work/report.html ]] || { echo "report_screenshot: kvstcheck ended with status $status" >&2; exit 1; }
mkdir -p docs
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
  --disable-component-update --disable-sync --user-data-dir="$work/profile" --hide-scrollbars \
  --window-size=1200,1500 --screenshot="$root/docs/report.png" "file://$work/report.html" 2>/dev/null
echo "report_screenshot: wrote docs/report.png"
