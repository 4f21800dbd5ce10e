// Changing the "Other"/"Drive" setting while the program runs: the device layer is closed and
// bound to a device for the new drive, image or image folder, and the monitor sees the change
// as the old disc taken out and the new one put in.
#include "app/TQVRDM.h"
#include "util/ShiftJis.h"

namespace qvr {

void TQVRDM::ReopenDrive() {
  // A lookup reads the old device's disc; the first tick after it makes the change.
  if (looking_up_) {
    drive_changed_ = true;
    return;
  }
  drive_changed_ = false;
  SwitchDevice(SjisToUtf8(Drive));
}

void TQVRDM::DriveSetupMNUClick() { RunOptions(OptionsStart::Drive); }

void TQVRDM::DemoDiscMNUClick() {
  if (ports_.demo_disc.empty()) return;
  ChangeDrive(ports_.demo_disc.string());
}

void TQVRDM::SwitchDevice(const std::string& drive) {
  if (CD.CDState == TCDState::cdPlaying || CD.CDState == TCDState::cdPaused) CD.CDStop();
  CD.CDClose();
  CD.CDInit(ports_.drive(drive));
  // The old disc leaves as if taken out, then the tick finds the new one as if put in.
  DiscRemovedSteps();
  TimerTimer();
  // A drive that cannot be used says why at once rather than leaving the old disc's texts.
  if (CD.CDState == TCDState::cdNotReady) UpdateStatus();
}

}  // namespace qvr
