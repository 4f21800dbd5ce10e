// Fuzzes the CD-Text readers: the input as CD-Text packs (a drive's reply, a CDTEXTFILE) and as a
// cdrdao .toc file, then made into a proposed record. Besides not crashing: no more than 99 tracks,
// every text is valid in the code it claims (Shift-JIS texts read without a replacement character,
// UTF-8 texts valid UTF-8), and record texts end at a character boundary.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cdda/CdText.h"
#include "cddb/DiscRecord.h"
#include "lyrics/LrcFile.h"
#include "metadata/CdTextRecord.h"
#include "util/ShiftJis.h"

namespace {

void CheckString(const qvr::CdTextString& text) {
  if (text.Charset == qvr::CdTextCharset::MsJis &&
      qvr::SjisToUtf8(text.Bytes).find("\xEF\xBF\xBD") != std::string::npos) {
    std::abort();
  }
  if (text.Charset == qvr::CdTextCharset::Utf8 && !qvr::IsValidUtf8(text.Bytes)) std::abort();
}

template <std::size_t N>
void CheckField(const qvr::ShortString<N>& field) {
  if (qvr::SjisPrefix(field.View(), field.Length()) != field.View()) std::abort();
}

void Check(const qvr::CdText& text) {
  if (text.Tracks.size() > 99) std::abort();
  std::vector<const qvr::CdTextEntry*> entries = {&text.Disc};
  for (const qvr::CdTextEntry& entry : text.Tracks) entries.push_back(&entry);
  for (const qvr::CdTextEntry* entry : entries) {
    for (const qvr::CdTextString* string :
         {&entry->Title, &entry->Performer, &entry->Songwriter, &entry->Composer, &entry->Arranger, &entry->Genre}) {
      CheckString(*string);
    }
  }
  qvr::TDiscRecord disc;
  disc.TrackCount = 99;
  const std::optional<qvr::TDiscRecord> proposed = qvr::CdTextProposal(text, disc);
  if (text.Empty() && proposed) std::abort();
  if (!proposed) return;
  CheckField(proposed->DiscName);
  CheckField(proposed->ArtistName);
  for (std::size_t n = 1; n <= 99; ++n) {
    CheckField(proposed->Tracks[n].TrackName);
    CheckField(proposed->Tracks[n].Lyricsby);
    CheckField(proposed->Tracks[n].Genre);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Check(qvr::DecodeCdTextPacks(bytes));
  Check(qvr::ReadTocCdText(bytes));
  return 0;
}
