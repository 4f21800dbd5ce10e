#!/usr/bin/env bash
# End-to-end test of what a screen reader finds: the real qvr under its own Xvfb, a session bus
# and the accessibility bus, with Qt's accessibility on. Each window and dialog is opened as a
# user would (tray menu, keys) and atspi_check.py walks it from outside through AT-SPI: every
# control has a name, and no text is one of Qt's English words. The first start has no usable
# drive: its line says what to do, and the menu's "CDドライブの設定..." leads to the options dialog,
# whose file dialog takes the disc image.
# Usage: accessibility_test.sh QVR QVR_E2E_DISC   (exit 77: skipped, tools missing)
set -uo pipefail
qvr_binary=$1 disc_tool=$2
for tool in Xvfb openbox trayer xdotool xwininfo xprop xdpyinfo dbus-run-session /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }
# A session bus of its own, on which the accessibility bus is started on demand.
if [[ -z "${QVR_E2E_SESSION:-}" ]]; then
  QVR_E2E_SESSION=1 exec dbus-run-session -- "$0" "$@"
fi
source "$(dirname "$0")/e2e_common.sh"
check() { /usr/bin/python3 "$(dirname "$0")/atspi_check.py" "$@" || fail "accessibility: $1"; }

mkdir -p "$work/program"
cp "$qvr_binary" "$work/program/qvr"
cue=$("$disc_tool" "$work/disc" "$work/program/DB") || fail "could not make the disc image"
# The online search asks a port where nothing listens: its failure is one of the texts checked.
printf '[Other]\r\nDrive=%s\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\nMusicBrainzServer=http://127.0.0.1:9\r\nGnudbServer=\r\n' \
  "$work/nowhere/gone.cue" >"$work/program/Qvr.ini"
start_desktop
# The accessibility bus first, so that the player finds it at its start.
/usr/bin/python3 -c 'import pyatspi; pyatspi.Registry.getDesktop(0).childCount' >/dev/null 2>&1
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
"$work/program/qvr" >"$work/qvr.log" 2>&1 & qvr_pid=$!
pids+=($qvr_pid)
wait_for 20 xdotool search --name '^CDイメージが見つかりません: .*右クリックして「CDドライブの設定\.\.\.」' ||
  fail "the lyrics line does not say what to do without a drive"
wait_for 10 tray_icon || fail "no icon in the tray"
check no-drive-line '右クリックして'

# The tray menu leads with "CDドライブの設定...", which opens the options dialog at its drive.
open_tray_menu
# (The check's Down puts the focus on the first item.)
check tray-menu-no-drive --menu Down
xdotool key Return
wait_for 10 xdotool search --name '^環境設定$' || fail "CDドライブの設定... did not open the options dialog"
dialog=$(xdotool search --name '^環境設定$' | head -1)
xdotool windowactivate --sync "$dialog" 2>/dev/null
sleep 0.5
for page in other lyrics pad repeat; do
  check "options-$page" '^環境設定$'
  xdotool key ctrl+Next
  sleep 0.3
done
# Back on "その他": the image button opens Qt's file dialog, which takes the disc image.
xdotool key alt+i
wait_for 10 xdotool search --name '^CDイメージを選択$' || fail "no file dialog for the image"
sleep 0.5
check file-dialog '^CDイメージを選択$'
xdotool type --delay 5 "$cue"
xdotool key Return
sleep 0.5
xdotool key alt+o
wait_for 10 bash -c "! xdotool search --name '^環境設定$'" || fail "Ok did not close the dialog"
wait_for 20 xdotool search --name '^\[試験盤\]' || fail "the chosen image's disc does not show"
check line-with-disc '^\[試験盤\]'

# The tray menu with the disc stopped (the check's Down reaches 再生).
open_tray_menu
check tray-menu --menu Down
xdotool key Escape
sleep 0.3

# The registration dialog ("データベース登録...", five up from the bottom), its online search
# (which fails at once), then キャンセル.
open_tray_menu
choose_registration
check registration '^ＣＤデータ登録$'
xdotool key alt+o
sleep 2
check online-search '^ＣＤデータ登録$'
xdotool key Escape
wait_for 10 bash -c "! xdotool search --name '^ＣＤデータ登録\$'" || xdotool key Escape
wait_for 10 bash -c "! xdotool search --name '^ＣＤデータ登録\$'" || fail "the registration dialog did not close"

# The play list dialog, its save dialog, and Qt's question before replacing a file, answered no.
open_play_list_dialog
check playlist '^プレイリスト \.\.\. '
xdotool key alt+f a
wait_for 10 xdotool search --name '^プレイリストを名前を付けて保存$' || fail "no save dialog for the play list"
sleep 0.5
check save-dialog '^プレイリストを名前を付けて保存$'
cp "$cue" "$work/cue.before"
xdotool type --delay 5 "$cue"
xdotool key Return
sleep 1
# Qt's question box carries the save dialog's title.
check replace-question '^プレイリストを名前を付けて保存$' '^プレイリストを名前を付けて保存$'
xdotool key Escape
sleep 0.3
xdotool key Escape
sleep 0.3
xdotool key Escape
wait_for 10 bash -c "! xdotool search --name '^プレイリスト \.\.\. '" || fail "the play list dialog did not close"
cmp -s "$cue" "$work/cue.before" || fail "the question's no replaced the file"

# The help window ("ヘルプ(H)...", two up from the bottom).
open_tray_menu
xdotool key Up Up Return
wait_for 10 xdotool search --name 'ヘルプ' || fail "the help window did not open"
sleep 0.5
check help 'ヘルプ'

# The control pad ("コントロールパッド表示" > "ドッキングベース").
open_tray_menu
for _ in 1 2 3 4 5 6 7; do xdotool key Up; sleep 0.1; done
xdotool key Right Return
sleep 1
check control-pad '^\[試験盤\]' '^\[試験盤\]'

echo "PASS"
