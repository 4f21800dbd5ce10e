// The desktop program's windows and view around a controller on the simulated drive, with its
// settings and database in a temporary folder: what main() builds, without the event loop.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "app/Doubles.h"
#include "app/TQVRDM.h"
#include "cdda/SimulatedDrive.h"
#include "cddb/DatabaseTestSupport.h"
#include "forms/ControllerLink.h"
#include "forms/DesktopView.h"
#include "forms/TPlugInPad.h"
#include "forms/TQVRMain.h"
#include "forms/TQVRPad.h"
#include "platform/HelpViewer.h"
#include "support/TempDir.h"

namespace qvr::test {

class DesktopFixture : public testing::Test {
 protected:
  // One run of the program's objects; a second run over the same folder sees what the first saved.
  struct Program {
    explicit Program(DesktopFixture& fixture)
        : main(link),
          plugin_pad(link),
          pad(link, plugin_pad),
          view(main, pad, plugin_pad, help, link),
          controller({view,
                      timer,
                      random,
                      wallpaper,
                      [&fixture](const std::string&) -> CDDevice& { return fixture.drive; },
                      fixture.today,
                      view,
                      {"qvr", fixture.dir.Path(), fixture.dir.Path()},
                      fixture.demo_disc}) {
      view.Attach(controller.QVRMenu);
      link.Bind(&controller);
    }
    ~Program() { link.Bind(nullptr); }
    ControllerLink link;
    HelpViewer help;
    TQVRMain main;
    TPlugInPad plugin_pad;
    TQVRPad pad;
    DesktopView view;
    ManualTimer timer;
    FixedRandom random;
    MemoryWallpaper wallpaper;
    TQVRDM controller;
  };

  DesktopFixture() { std::filesystem::create_directories(dir / "DB"); }
  std::unique_ptr<Program> Start() {
    auto program = std::make_unique<Program>(*this);
    program->controller.QVRDMCreate();
    return program;
  }

  TempDir dir;
  SimulatedDrive drive;
  FixedDate today{45292};
  std::filesystem::path demo_disc;  // the installed demo disc the program is told of; empty: none
};

}  // namespace qvr::test
