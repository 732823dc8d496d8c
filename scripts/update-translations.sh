#!/usr/bin/env bash
# Refreshes the English translation file from the sources: texts new in the
# sources come in unfinished, texts gone from them are dropped, finished
# translations stay. Then translate what is unfinished (Qt Linguist, or by
# hand: fill in <translation> and remove type="unfinished") and build; the
# test tst_translations names every text still missing.
#   scripts/update-translations.sh [TS_FILE]   (default translations/strideloom_en.ts)
set -euo pipefail
cd "$(dirname "$0")/.."
ts="${1:-translations/strideloom_en.ts}"
# No source locations: line numbers would change the file on every edit and
# make merges conflict.
"${LUPDATE:-lupdate}" -silent -locations none -no-obsolete -no-ui-lines \
  -source-language zh_CN -target-language en -extensions cpp,h,ui \
  app plot stream -ts "$ts"
unfinished=$(grep -c 'type="unfinished"' "$ts" || true)
echo "$ts: $unfinished unfinished"
