#!/usr/bin/env bash
# Every command-line program answers --help and --version on standard output with status 0 and
# touches nothing; an option it does not know gets the usage on standard error and status 2,
# and is never taken for a file or folder to write.
# Usage: options_test.sh PROGRAM...
set -uo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for program in "$@"; do
  name=$(basename "$program")
  for option in --help -h --version -V --bogus -x; do
    folder="$work/$name$option"
    mkdir -p "$folder" && cd "$folder" || exit 2
    # No settings, database or display to find: a program that reaches for them shows here.
    env -u DISPLAY -u WAYLAND_DISPLAY HOME="$work/home" XDG_DATA_HOME="$work/home/data" \
      timeout 20 "$program" "$option" >"$work/out" 2>"$work/err" </dev/null
    status=$?
    case $option in
      --help | -h)
        [[ $status -eq 0 ]] || fail "$name $option: status $status"
        grep -q '使い方' "$work/out" || fail "$name $option: no usage on standard output"
        [[ ! -s "$work/err" ]] || fail "$name $option: wrote to standard error: $(cat "$work/err")" ;;
      --version | -V)
        [[ $status -eq 0 ]] || fail "$name $option: status $status"
        grep -q '1\.2\.2\.249' "$work/out" || fail "$name $option: no version: $(cat "$work/out")" ;;
      *)
        [[ $status -eq 2 ]] || fail "$name $option: status $status, not 2"
        [[ ! -s "$work/out" ]] || fail "$name $option: wrote to standard output"
        grep -q -- "$option" "$work/err" || fail "$name $option: the error does not name the option" ;;
    esac
    [[ -z "$(ls -A "$folder")" ]] || fail "$name $option: wrote into the working folder: $(ls -A "$folder")"
    [[ ! -e "$work/home" ]] || fail "$name $option: wrote into the home folder"
    rm -rf "$work/home"
  done
  echo "$name: --help, --version and unknown options as expected"
done
[[ $failures -eq 0 ]] || exit 1
echo PASS
