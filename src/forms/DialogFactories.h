// The program's modal dialogs, one factory each, so the view can run any of them without
// knowing their classes. A factory builds its dialog over the controller's current state (read
// through the link) and returns it ready to Run.
#pragma once

#include <cstdint>
#include <memory>

namespace qvr {

class ControllerLink;
class FileDialogs;
class ModalDialog;
struct TOptionValues;
enum class OptionsStart : std::uint8_t;

// What every dialog is built with.
struct DialogContext {
  ControllerLink& link;  // the one call site into the controller
  FileDialogs& files;    // file and folder dialogs, remembering their folders for the session
};

std::unique_ptr<ModalDialog> MakeDiscRegDialog(const DialogContext& context);
std::unique_ptr<ModalDialog> MakePlayListDialog(const DialogContext& context);
std::unique_ptr<ModalDialog> MakeJacketViewDialog(const DialogContext& context);
// The options dialog starts from the controller's current settings, open where `start` says; on
// Ok `values` holds what the user chose.
std::unique_ptr<ModalDialog> MakeOptionDialog(const DialogContext& context, TOptionValues& values, OptionsStart start);

}  // namespace qvr
