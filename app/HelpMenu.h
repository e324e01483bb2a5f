#pragma once
// The help menu's windows: the user guide (the guide file shipped with the program, rendered)
// and the version box.
#include <QString>
#include <memory>

class QMessageBox;
class QTextBrowser;
class QWidget;

// Opens the user guide beside the owner, or brings it to the front when it is open already; it
// stays open while the user writes. A missing guide file is reported in a message box, and
// nullptr comes back.
QTextBrowser* ShowUserGuide(QWidget* owner);

// The program's name, version, licence and the Qt version it runs with.
QString VersionText();
std::unique_ptr<QMessageBox> VersionBox(QWidget* owner);
