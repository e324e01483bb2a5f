#pragma once
// The message boxes of the windowed program: QMessageBox.

namespace platform {

// Makes QMessageBox the standard message boxes of this process. Needs a QApplication.
void UseQtMessageBoxes();

}  // namespace platform
