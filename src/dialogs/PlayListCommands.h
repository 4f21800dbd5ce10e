// The play list dialog's File menu over the controller and the file dialogs: load, save and
// save as. The play lists of a disc are the files whose extension is its key; the dialogs offer
// only those and append the key to a name typed without an extension.
#pragma once

#include <string>
#include <string_view>

#include "dialogs/FileDialogs.h"

namespace qvr {

class TQVRDM;
struct TDiscRecord;

// The one file type the play list dialogs offer: "<disc title>のプレイリスト" with "*.<key>".
FileFilter PlayListFilter(const TDiscRecord& disc);

// The dialog's caption for a play list name: "プレイリスト ... " and the name, without its
// extension when `without_extension`.
std::string PlayListCaption(std::string_view name, bool without_extension);

// How "読み込み" ended: the user cancelled (nothing changed, playback goes on); the file was not a
// play list of this disc (reported, the play order is the disc order, the name stays); or the
// play list was loaded and its name is the current one.
enum class PlayListLoad : unsigned char { Cancelled, OtherFile, Loaded };

// "読み込み": asks for a file and loads it (TQVRDM::LoadPlayList). Raises what the load raises.
PlayListLoad LoadPlayListCommand(TQVRDM& dm, FileDialogs& files);
// "名前を付けて保存": asks for a file name (the dialog asks before replacing a file) and saves.
// Returns false when the user cancelled.
bool SaveAsPlayListCommand(TQVRDM& dm, FileDialogs& files);
// "保存": saves to the file last loaded or saved, without asking (unless another program changed
// that file since: TQVRDM::SavePlayList asks); before any, as "save as".
// Returns true when it ran "save as" and a file was chosen (the caption follows the new name).
bool SavePlayListCommand(TQVRDM& dm, FileDialogs& files);

}  // namespace qvr
