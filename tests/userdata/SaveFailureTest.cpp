// Every step of replacing a data file made to fail, or to stop dead as in a crash, through the
// file-operation seam: nothing the user had is lost.
#include <QDir>
#include <QLineEdit>
#include <cerrno>

#include "tests/userdata/DataDir.h"
#include "userdata/FileOps.h"
#include "userdata/FrmTanbun.h"
#include "userdata/LineFile.h"

namespace {

enum class Step { Create, Write, ShortWrite, Sync, Close, Rename, SyncDirectory, None };

// Stands for the process dying: nothing after it runs, no cleanup included.
struct Crash {};

// The real file system, except at one step of every save.
class BrokenStep : public userdata::TFileOps {
  public:
    BrokenStep(Step step, int error, bool crash) : step_(step), error_(error), crash_(crash) {
        userdata::SetFileOps(this);
    }
    ~BrokenStep() override { userdata::SetFileOps(nullptr); }

    int CreateTemporary(std::string& name, mode_t mode) override {
        return Broken(Step::Create) ? -1 : TFileOps::CreateTemporary(name, mode);
    }
    ssize_t Write(int fd, const char* data, size_t size) override {
        if (step_ == Step::ShortWrite) {
            // Half the text goes to disk, then the device takes nothing more.
            const ssize_t n = writes_++ == 0 ? TFileOps::Write(fd, data, size / 2) : 0;
            if (crash_ && writes_ > 1)
                throw Crash{};
            return n;
        }
        return Broken(Step::Write) ? -1 : TFileOps::Write(fd, data, size);
    }
    bool Sync(int fd) override { return !Broken(Step::Sync) && TFileOps::Sync(fd); }
    bool Close(int fd) override {
        // The descriptor goes either way, as a failing close leaves it.
        const bool closed = TFileOps::Close(fd);
        return !Broken(Step::Close) && closed;
    }
    // Putting the old file back (from its second name) is not the step under test.
    bool Rename(const std::string& from, const std::string& to) override {
        return (from.ends_with(".old") || !Broken(Step::Rename)) && TFileOps::Rename(from, to);
    }
    bool SyncDirectory(const std::string& dir) override {
        return !Broken(Step::SyncDirectory) && TFileOps::SyncDirectory(dir);
    }

  private:
    bool Broken(Step step) {
        if (step != step_)
            return false;
        if (crash_)
            throw Crash{};
        errno = error_;
        return true;
    }

    Step step_;
    int error_;
    bool crash_;
    int writes_ = 0;
};

}  // namespace

class SaveFailureTest : public DataDirTest {};

TEST_F(SaveFailureTest, EveryStepFailingOrCrashingLeavesTheOldOrTheNewFileWhole) {
    struct Case {
        const char* what;
        Step step;
        int error;
        const char* reason;  // in the message
    };
    const Case cases[] = {
        {"temporary file", Step::Create, EMFILE, "Too many open files"},
        {"short write", Step::ShortWrite, 0, "Input/output error"},
        {"disk full", Step::Write, ENOSPC, "No space left on device"},
        {"close", Step::Close, EIO, "Input/output error"},
        {"fsync", Step::Sync, EIO, "Input/output error"},
        {"rename", Step::Rename, EXDEV, "Invalid cross-device link"},
        {"directory sync", Step::SyncDirectory, EIO, "Input/output error"},
    };
    const std::string old = "old phrase\r\n";
    const std::string added = old + "new phrase\r\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes("tanbun.dat", old);
        boxes.boxes.clear();
        TFrmTanbun window(FrmMain);
        window.show();
        window.Edit1->setText("new phrase");
        window.Spb_add_tanbunClick();
        {
            BrokenStep broken(c.step, c.error, false);
            window.close();
            EXPECT_TRUE(window.isVisible());
        }
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].icon, platform::MsgIcon::Error);
        EXPECT_NE(boxes.boxes[0].text.find("tanbun.dat"), std::string::npos);
        EXPECT_NE(boxes.boxes[0].text.find(c.reason), std::string::npos) << boxes.boxes[0].text;
        EXPECT_EQ(ReadBytes("tanbun.dat"), old);
        EXPECT_EQ(DirEntries(), QStringList{"tanbun.dat"});

        // Stopped dead before the step instead: one file or the other, whole.
        {
            BrokenStep crash(c.step, 0, true);
            EXPECT_THROW(
                userdata::WriteLineFile(PathOf("tanbun.dat"), {"old phrase", "new phrase"}), Crash);
        }
        const std::string left = ReadBytes("tanbun.dat");
        EXPECT_TRUE(left == old || left == added) << left;
        EXPECT_EQ(left == added, c.step == Step::SyncDirectory);
        for (const QString& name : DirEntries())
            QFile::remove(dir.filePath(name));
        window.reject();
    }
}
