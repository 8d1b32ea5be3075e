#!/usr/bin/env bash
# Writes docs/report.png, the README's picture of an HTML report: the sample drawings audited against
# the sample standard file, rendered by headless Chromium. Usage: scripts/report_screenshot.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cd "$root"
status=0
./kvstcheck.sh --standard examples/standard/KVStPluginDefault.ini --html "$work/report.html" \
  examples/drawings/office.dxf examples/drawings/site.json examples/drawings/office-zh-2010.dxf \
  >/dev/null || status=$?
# Status 1: the samples have findings.
[[ $status -eq 1 ]] || { echo "report_screenshot: kvstcheck ended with status $status" >&2; exit 1; }
mkdir -p docs
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
  --disable-component-update --disable-sync --user-data-dir="$work/profile" --hide-scrollbars \
  --window-size=900,1300 --screenshot="$root/docs/report.png" "file://$work/report.html" 2>/dev/null
echo "report_screenshot: wrote docs/report.png"
