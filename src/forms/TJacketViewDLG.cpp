// TJacketViewDLG: not built yet; the view ends its command at once as cancelled.
#include "forms/DialogFactories.h"
#include "forms/ModalDialog.h"

namespace qvr {

std::unique_ptr<ModalDialog> MakeJacketViewDialog(const DialogContext&) { return nullptr; }

}  // namespace qvr
