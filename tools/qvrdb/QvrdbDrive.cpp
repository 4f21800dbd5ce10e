// The disc in a drive or an image with its table of contents and CD-Text, for lookup and lyrics,
// and probe run in a program that reads drives itself (qvrdb-online, the tests).
#include <ostream>

#include "cdda/DriveLayer.h"
#include "metadata/CdTextRecord.h"
#include "metadata/DiscIds.h"
#include "tools/qvrdb/Qvrdb.h"

namespace qvr {

std::optional<DriveDisc> ReadDiscIn(const std::string& drive, std::ostream& err) {
  std::optional<OpenedDisc> opened = OpenDiscIn(drive, err);
  if (!opened) return std::nullopt;
  CDDA& layer = opened->Drive->Layer;
  const TDiscRecord& disc = opened->Record;
  return DriveDisc{disc, TocOfDisc(layer, disc), CdTextProposal(layer.CDText(), disc)};
}

namespace {

// The disc read in this process when the probe asks for it, after its pass over the master file.
class DiscReadHere final : public PendingDisc {
 public:
  DiscReadHere(std::string drive, std::ostream& err) : drive_(std::move(drive)), err_(err) {}
  std::variant<TDiscRecord, int> Wait() override {
    std::optional<OpenedDisc> opened = OpenDiscIn(drive_, err_);
    if (!opened) return kQvrdbProblem;
    return std::move(opened->Record);
  }

 private:
  std::string drive_;
  std::ostream& err_;
};

}  // namespace

int RunProbe(const QvrdbContext& context, std::span<const std::string> arguments) {
  return Probe(context, arguments, [](const std::string& drive, std::ostream& err) -> std::unique_ptr<PendingDisc> {
    return std::make_unique<DiscReadHere>(drive, err);
  });
}

}  // namespace qvr
