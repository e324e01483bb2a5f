#pragma once
// The compose window's size, remembered in the settings (group Settings, values WindowWidth and
// WindowHeight: the client area in pixels). Only a size the user chose is written: left at the
// designed size, the settings stay as they were.
#include <QSize>

class TFrmMain;

// Gives the window the remembered size, within its least size and the screen, and centres it;
// returns the client size given.
QSize RestoreWindowSize(TFrmMain& FrmMain);
// Writes the window's client size when it differs from the one it was given; a maximized
// window's size is not the user's choice and is not kept.
void RememberWindowSize(const TFrmMain& FrmMain, QSize given);
