// Wires the SDL audio output, the cdio drive and the device layer together.
#include "cdda/DriveLayer.h"

#include "audio/SdlAudioSink.h"

namespace qvr {

std::unique_ptr<DriveLayer> OpenDriveLayer(const std::string& drive) {
  auto opened = std::make_unique<DriveLayer>();
  opened->Sink = std::make_unique<SdlAudioSink>();
  opened->Drive = std::make_unique<CdioDrive>(drive, *opened->Sink);
  opened->Layer.CDInit(*opened->Drive);
  opened->Layer.CDPoll();
  return opened;
}

}  // namespace qvr
