// CD-Text prefill: the CD-Text of the disc in the drive, kept as a proposed record for as long as
// that disc's record is the controller's. An unregistered disc shows the CD-Text's titles in the
// status texts, and its registration dialog opens filled with them; nothing reaches the database
// until the user updates.
#pragma once

#include <optional>

#include "cdda/CDDA.h"
#include "cddb/DiscRecord.h"

namespace qvr {

class CdTextPrefill {
 public:
  // Reads the CD-Text of the disc just loaded through the layer; `disc` is its record.
  void DiscLoaded(CDDA& cd, const TDiscRecord& disc);
  // The CD-Text of `disc` as a record (its key, tracks and positions) when `disc` is the disc
  // loaded and has CD-Text; else nullopt.
  std::optional<TDiscRecord> ProposalFor(const TDiscRecord& disc) const;
  // What the status texts show for `disc`: a registered disc's own record; an unregistered
  // disc's with its texts taken from its CD-Text. Valid until the next call.
  const TDiscRecord& Shown(const TDiscRecord& disc);
  // What the registration dialog fills in as it opens for `disc`: the CD-Text of an unregistered
  // disc; nothing for a registered one (its own texts stand; the dialog offers the CD-Text).
  std::optional<TDiscRecord> OpeningProposal(const TDiscRecord& disc) const;

 private:
  bool Matches(const TDiscRecord& disc) const;

  std::optional<TDiscRecord> proposal_;
  TDiscRecord shown_;
};

}  // namespace qvr
