#pragma once
// The OK and Cancel buttons of the editors' small dialogs: OK is the
// default (Enter), Cancel answers Escape, and both have the object names
// the windows' tests find them by.
#include <QDialog>
#include <QDialogButtonBox>

namespace tlm {

QDialogButtonBox* OkCancelButtons(QDialog* dialog);

}  // namespace tlm
