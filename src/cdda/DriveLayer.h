// One call that opens the drive the "Drive" setting names and returns the device layer on it,
// for tools and the program's start-up.
#pragma once

#include <memory>
#include <string>

#include "audio/AudioSink.h"
#include "cdda/CDDA.h"
#include "cdda/CdioDrive.h"

namespace qvr {

// The device layer together with the drive and the audio output it uses. Not movable: the layer
// refers to the drive, the drive to the output.
struct DriveLayer {
  std::unique_ptr<AudioSink> Sink;
  std::unique_ptr<CdioDrive> Drive;
  CDDA Layer;
};

// Opens `drive` (empty: the system's default CD drive; a device path, an image file or a folder
// of images) with the audio output `sink`, binds a device layer to it and polls it once, so that
// Layer.CDState tells whether a disc could be read (Drive->Problem() says why not).
std::unique_ptr<DriveLayer> OpenDriveLayer(const std::string& drive, std::unique_ptr<AudioSink> sink);

}  // namespace qvr
