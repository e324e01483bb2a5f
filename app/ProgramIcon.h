#pragma once
// The program's icon, for the compose window's title bar and task switcher.
#include <QIcon>

// The icon theme's "tidemark" (what an installed program finds in hicolor), else the same
// drawing built into the program, so that a program run from its build tree shows it too.
QIcon ProgramIcon();
