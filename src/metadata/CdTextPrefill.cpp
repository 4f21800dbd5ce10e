// CD-Text prefill for the disc in the drive.
#include "metadata/CdTextPrefill.h"

#include "metadata/CdTextRecord.h"

namespace qvr {

void CdTextPrefill::DiscLoaded(CDDA& cd, const TDiscRecord& disc) { proposal_ = CdTextProposal(cd.CDText(), disc); }

bool CdTextPrefill::Matches(const TDiscRecord& disc) const {
  return proposal_ && proposal_->DiscKey == disc.DiscKey && proposal_->TrackCount == disc.TrackCount &&
         proposal_->DiscTime == disc.DiscTime;
}

const TDiscRecord& CdTextPrefill::Shown(const TDiscRecord& disc) {
  if (!disc.DiscName.Empty() || !Matches(disc)) return disc;
  shown_ = disc;
  FillEmptyTexts(shown_, *proposal_);
  return shown_;
}

std::optional<TDiscRecord> CdTextPrefill::ProposalFor(const TDiscRecord& disc) const {
  if (!Matches(disc)) return std::nullopt;
  return proposal_;
}

std::optional<TDiscRecord> CdTextPrefill::OpeningProposal(const TDiscRecord& disc) const {
  if (!disc.DiscName.Empty() || !Matches(disc)) return std::nullopt;
  return proposal_;
}

}  // namespace qvr
