#!/usr/bin/env bash
# The layers of the core: each folder includes only itself and the folders listed for it below,
# which lie under it; `ui` stands for every `<subsystem>/ui/` folder. Only ui/ folders, the entry
# and the front-end tests may include Qt headers. Tests, benchmarks and fuzz targets may include
# any folder.
set -euo pipefail
cd "$(dirname "$0")/.."

layers='
platform
shell       platform
message     platform shell
filtering   platform shell message
accounts    platform shell message filtering
transport   platform shell message filtering accounts
complaints  platform shell message filtering accounts transport
demo        platform shell message filtering accounts transport complaints
mainwindow  platform shell message filtering accounts transport complaints
app         platform shell message filtering accounts transport complaints demo mainwindow
ui          platform shell message filtering accounts transport complaints demo mainwindow app
program     platform shell message filtering accounts transport complaints demo mainwindow app ui
'
# Folders of the tree that are not layers of the core.
outside='^(tests|bench|fuzz|tools|scripts|data|cmake|build.*)$'

status=0

core=()
for dir in */; do
  dir=${dir%/}
  [[ $dir =~ $outside ]] && continue
  [ -n "$(find "$dir" \( -name '*.h' -o -name '*.cpp' \) -print -quit)" ] || continue
  if ! grep -qE "^$dir( |$)" <<<"$layers"; then
    echo "$dir/ is not in the layer table of $0"
    status=1
  fi
  core+=("$dir")
done

if [ ${#core[@]} -gt 0 ]; then
  hits=$(grep -rnE '^\s*#\s*include\s*"' --include='*.h' --include='*.cpp' "${core[@]}" \
    | awk -v layers="$layers" '
        function layer(path) {
          if (path ~ /^[^\/]+\/ui\//) return "ui"
          split(path, part, "/")
          return part[1]
        }
        BEGIN {
          n = split(layers, rows, "\n")
          for (i = 1; i <= n; ++i) {
            m = split(rows[i], word, " ")
            for (j = 2; j <= m; ++j) allowed[word[1], word[j]] = 1
          }
        }
        {
          split($0, quoted, "\"")
          file = substr($0, 1, index($0, ":") - 1)
          from = layer(file)
          # A name without a folder is found beside the file that includes it.
          to = quoted[2] ~ /\// ? layer(quoted[2]) : from
          if (to != from && !((from, to) in allowed)) print $0 "    (" from " may not include " to ")"
        }')
  if [ -n "$hits" ]; then
    echo "includes against the layer order:"
    echo "$hits"
    status=1
  fi
fi

qt=$(grep -rnE '#include\s*[<"]Q[A-Za-z]+' --include='*.h' --include='*.cpp' . \
  | grep -vE '^\./(build[^/]*|\.cache)/' \
  | grep -vE '(^|/)ui/|^\./program/|^\./tests/ui/' || true)
if [ -n "$qt" ]; then
  echo "Qt headers included in core code:"
  echo "$qt"
  status=1
fi

[ $status -eq 0 ] && echo "each core folder includes only the folders under it, and none includes Qt"
exit $status
