// Wires an audio output, the cdio drive and the device layer together.
#include "cdda/DriveLayer.h"

namespace qvr {

std::unique_ptr<DriveLayer> OpenDriveLayer(const std::string& drive, std::unique_ptr<AudioSink> sink) {
  auto opened = std::make_unique<DriveLayer>();
  opened->Sink = std::move(sink);
  opened->Drive = std::make_unique<CdioDrive>(drive, *opened->Sink);
  opened->Layer.CDInit(*opened->Drive);
  opened->Layer.CDPoll();
  return opened;
}

}  // namespace qvr
