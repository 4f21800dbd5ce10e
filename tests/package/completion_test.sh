#!/usr/bin/env bash
# The bash completion of qvrdb, run as bash runs it: commands and options, --db folders, disc keys
# from `qvrdb list` of the database --db names, images for probe, JSON files for import.
# Usage: completion_test.sh COMPLETION_FILE QVRDB DEMO_JSON
set -uo pipefail
completion=$1 qvrdb=$2 demo_json=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/files/sub dir" "$work/DB"
ln -s "$(realpath "$qvrdb")" "$work/bin/qvrdb"
export PATH="$work/bin:$PATH" HOME="$work" XDG_DATA_HOME="$work/data"
"$qvrdb" --db "$work/DB" import "$demo_json" >/dev/null || { echo "FAIL: import"; exit 1; }
key=$("$qvrdb" --db "$work/DB" list | cut -f1)
[[ -n $key ]] || { echo "FAIL: no key listed"; exit 1; }
touch "$work/files/a.cue" "$work/files/b.BIN" "$work/files/c.txt" "$work/files/d.json"
cd "$work/files" || exit 2
# shellcheck source=/dev/null
source "$completion"

failures=0
# complete LINE: the completions bash offers with the cursor at the end of LINE.
complete_line() {
  local line=$1
  read -r -a COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _qvrdb qvrdb "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd' '
}
expect() {
  local got
  got=$(complete_line "$1")
  if [[ $got != "$2" ]]; then
    echo "FAIL: '$1' completes to '$got', not '$2'"
    failures=$((failures + 1))
  fi
}
expect "qvrdb " "check export import list lookup lyrics probe show"
expect "qvrdb l" "list lookup lyrics"
expect "qvrdb --" "--db --help --version"
expect "qvrdb --db " "sub dir"
expect "qvrdb --db $work/DB " "check export import list lookup lyrics probe show"
expect "qvrdb --db $work/DB show " "$key"
expect "qvrdb --db=$work/DB lookup ${key:0:3}" "$key"
expect "qvrdb --db $work/DB show $key " ""
# Without --db the keys come from the player's own database, here an empty one.
expect "qvrdb show " ""
expect "qvrdb probe " "a.cue b.BIN sub dir"
expect "qvrdb lyrics 1234 --w" "--write"
expect "qvrdb probe --j" "--json"
expect "qvrdb probe --json a" "a.cue"
expect "qvrdb import " "d.json sub dir"
expect "qvrdb check " "--memory"
expect "qvrdb check --memory " ""
expect "qvrdb check --memory 4 " ""
[[ $failures -eq 0 ]] || exit 1
echo PASS
