#pragma once
// The compose window's size, remembered in the settings (group Settings, values WindowWidth and
// WindowHeight: the client area in pixels). Only a size the user chose is written: left at the
// designed size, the settings stay as they were.
#include <QSize>

class TFrmMain;

// Gives the window the remembered size, within its least size and the screen it opens on
// (counting the menu bar and the window manager's frame), and centres it there; returns the
// client size given.
QSize RestoreWindowSize(TFrmMain& FrmMain);
// The client size for a stored one: no smaller than the least, no larger than the available
// area leaves once the chrome around the client (menu bar, frame) is counted; the least wins
// on a screen too small for it.
QSize FitClientSize(QSize stored, QSize least, QSize available, QSize chrome);
// Writes the window's client size when it differs from the one it was given; a maximized
// window's size is not the user's choice and is not kept.
void RememberWindowSize(const TFrmMain& FrmMain, QSize given);
