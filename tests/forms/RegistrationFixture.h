// The desktop program with a disc of five one-minute tracks in the drive, and the registration
// dialog run by a test from inside its own event loop.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "forms/DesktopFixture.h"
#include "forms/TDiscRegDLG.h"

namespace qvr::test {

class RegistrationFixture : public DesktopFixture {
 protected:
  RegistrationFixture() {
    DiscToc toc;
    toc.Tracks = {{150, true}, {4650, true}, {9150, true}, {13650, true}, {18150, true}};
    toc.LeadOut = 22650;
    drive.InsertDisc(toc);
  }

  // Runs the registration command; `during` runs inside the dialog once it is up. A dialog that
  // `during` leaves up (a failed step) is cancelled.
  static void Register(Program& program, const std::function<void(TDiscRegDLG&)>& during) {
    QTimer::singleShot(0, [&] {
      auto* dialog = dynamic_cast<TDiscRegDLG*>(program.view.ActiveDialog());
      ASSERT_TRUE(dialog) << "the registration dialog is not up";
      QApplication::setActiveWindow(dialog);
      during(*dialog);
      if (program.view.ActiveDialog()) dialog->CancelBTN->click();
    });
    program.controller.LibraryEditMNUClick();
  }
};

}  // namespace qvr::test
