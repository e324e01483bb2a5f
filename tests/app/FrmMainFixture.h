#pragma once
// A compose window in a fresh program directory, with recorded message boxes and stand-in
// secondary windows.
#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <memory>

#include "StandInWindows.h"
#include "app/FrmMain.h"
#include "tests/support/RecordingMessageBoxes.h"

class FrmMainFixture : public testing::Test {
  protected:
    std::unique_ptr<TFrmMain> Create(const std::string& programDir) {
        return std::make_unique<TFrmMain>(standIns.Windows(), programDir);
    }
    std::string Dir() const { return dir.path().toStdString() + "/"; }

    QTemporaryDir dir;
    RecordingMessageBoxes boxes;
    StandInWindows standIns;
};
