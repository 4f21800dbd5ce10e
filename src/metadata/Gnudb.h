// gnudb: the CDDB protocol over HTTP (protocol level 6, UTF-8). A query names the disc by its
// CDDB disc ID and table of contents and answers with matching entries (category, ID, title);
// a read returns one entry in the xmcd format.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cdda/DiscToc.h"
#include "metadata/DiscProposal.h"

namespace qvr {

struct CddbMatch {
  std::string Category;
  std::string DiscId;
  std::string Title;  // "Artist / Disc title"
};

// Whether `address` can go into gnudb's greeting as the user's e-mail address: one "@" between a
// non-empty name and host, printable ASCII without blanks, at most 254 characters.
bool UsableEmailAddress(std::string_view address);
// The query string of the request for `command` ("cddb query ...", "cddb read ..."), with the
// greeting (the user's e-mail address as name and host, which gnudb asks every program to send
// and let the user set; "qvr localhost" while no usable address is set) and protocol level 6.
std::string CddbRequestQuery(std::string_view command, std::string_view program_version, std::string_view email = {});
// "cddb query <discid> <tracks> <offset>... <seconds>" for `toc`.
std::string CddbQueryCommand(const DiscToc& toc);

// Answers that are not valid UTF-8 (entries stored before gnudb spoke UTF-8) are read as Latin-1
// (code page 1252).
// The entries a query's answer lists (code 200: one; 210 or 211: a list up to "."). Raises
// LookupError: NotFound for 202, ServerError for other error codes, BadAnswer for anything else.
std::vector<CddbMatch> ParseCddbQuery(std::string_view answer);

// A read's answer (code 210 and an xmcd entry up to ".") as a proposal for `disc`: DTITLE's
// "Artist / Title", DGENRE (every track's genre; the category when empty), TTITLEn. Lines of the
// same key are joined; "\n", "\t" and "\\" are unescaped. Raises LookupError like the query.
DiscProposal ParseCddbRead(std::string_view answer, const CddbMatch& match, const TDiscRecord& disc);

}  // namespace qvr
