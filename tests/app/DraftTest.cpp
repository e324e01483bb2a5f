// Drafts: the compose window keeps what was typed on disk, gives a draft left behind back at
// the next start, and never lets two windows (or two programs) share one.
#include <sys/stat.h>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QThread>
#include <QWindow>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "FrmMainFixture.h"
#include "ProgramCopy.h"
#include "app/DraftKeeper.h"
#include "app/MailtoLink.h"
#include "platform/DraftStore.h"
#include "userdata/FileOps.h"
#include "userdata/LineFile.h"

namespace {

using platform::TDraft;

QString U(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QStringList DraftFiles(const QString& dataDir) {
    return QDir(dataDir + "/drafts").entryList({"*.draft"}, QDir::Files, QDir::Name);
}

// Runs the event loop until done() or the time is up; the result of done().
bool WaitFor(const std::function<bool()>& done, int milliseconds = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return done();
}

// A disk that takes nothing.
class FailingWrites : public userdata::TFileOps {
  public:
    ssize_t Write(int, const char*, size_t) override {
        errno = ENOSPC;
        return -1;
    }
};

void Type(TFrmMain& form, const TDraft& draft) {
    form.Drafts->Fill(draft);
}

TEST(DraftText, GivesBackEveryFieldAndRefusesWhatIsNoDraft) {
    const TDraft drafts[] = {
        {},
        {"a@example.jp", "b@example.jp, c@example.jp", "d@example.jp", "会議", "本文\n二行目\n"},
        {"", "", "", "line\nbreak\\n and \\ backslash\r", "Subject: not a header\n\nTo: x"},
        {"😀@example.jp", "", "", "絵文字 😀", "😀\u00a0\u2028end"},
        {"", "", "", "", "", {"/home/u/資料 1.pdf", "/tmp/odd\nname\\x", "/tmp/Attach: y"}},
    };
    for (const TDraft& draft : drafts) {
        SCOPED_TRACE(draft.Subject);
        EXPECT_EQ(draft, platform::ParseDraft(platform::DraftText(draft)));
    }
    const std::string text = platform::DraftText(drafts[1]);
    for (const std::string& broken :
         {std::string(), std::string("To: a\n"), text.substr(0, text.find("Subject")),
          text.substr(0, text.find("\n\n"))}) {
        EXPECT_EQ(std::nullopt, platform::ParseDraft(broken)) << broken;
    }
}

using Drafts = FrmMainFixture;

// The close box's three answers, by each way of closing; a draft that cannot be saved keeps the
// window open.
TEST_F(Drafts, CloseWithUnsentTextAsksToSaveOrDiscard) {
    using platform::MsgResult;
    struct Case {
        const char* name;
        TDraft typed;
        MsgResult answer;
        std::function<void(TFrmMain&)> close;
        bool saveFails;
        bool closed;
        bool draftKept;
    };
    const auto menu = [](TFrmMain& f) { f.Exit1->trigger(); };
    const auto button = [](TFrmMain& f) { f.windowHandle()->close(); };
    const auto call = [](TFrmMain& f) { f.close(); };
    const TDraft typed{"hanako@example.jp", "", "", "件名", "書きかけ"};
    const Case cases[] = {
        {"save, menu", typed, MsgResult::Save, menu, false, true, true},
        {"discard, menu", typed, MsgResult::Discard, menu, false, true, false},
        {"cancel, menu", typed, MsgResult::Cancel, menu, false, false, false},
        {"save, close button", typed, MsgResult::Save, button, false, true, true},
        {"discard, close button", typed, MsgResult::Discard, button, false, true, false},
        {"cancel, close button", typed, MsgResult::Cancel, button, false, false, false},
        {"only a body, close", {"", "", "", "", " "}, MsgResult::Save, call, false, true, true},
        {"save fails", typed, MsgResult::Save, menu, true, false, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString dir = this->dir.path() + "/" + QString::number(n++);
        QDir().mkpath(dir);
        boxes.boxes.clear();
        auto form = Create(dir.toStdString() + "/");
        form->show();
        FailingWrites failingOps;
        Type(*form, c.typed);
        if (c.saveFails)
            userdata::SetFileOps(&failingOps);
        boxes.answers = {c.answer};
        c.close(*form);
        userdata::SetFileOps(nullptr);
        QApplication::processEvents();

        EXPECT_EQ(c.closed, !form->isVisible());
        ASSERT_EQ(1u + c.saveFails, boxes.boxes.size());
        EXPECT_EQ(platform::MsgButtons::SaveDiscardCancel, boxes.boxes[0].buttons);
        EXPECT_NE(std::string::npos, boxes.boxes[0].text.find("保存"));
        EXPECT_EQ(c.typed.Subject, form->Drafts->Fields().Subject) << "the fields keep the text";
        EXPECT_EQ(c.draftKept ? 1 : 0, DraftFiles(dir).size());
        if (c.draftKept) {
            form.reset();
            auto next = Create(dir.toStdString() + "/");
            EXPECT_TRUE(next->Drafts->Restore());
            EXPECT_EQ(c.typed, next->Drafts->Fields());
            EXPECT_TRUE(next->StatusPanel->text().contains(U("下書き")));
        }
    }
}

// A window manager may send the request to close twice for one Alt+F4: after 保存 or 破棄 the
// repeat asks nothing more; after キャンセル, or once the user typed again, the next request asks.
TEST_F(Drafts, OneQuestionForARepeatedRequestToClose) {
    using platform::MsgResult;
    const TDraft typed{"hanako@example.jp", "", "", "件名", "書きかけ"};
    const struct {
        MsgResult answer;
        size_t boxes;
    } cases[] = {{MsgResult::Save, 1}, {MsgResult::Discard, 1}, {MsgResult::Cancel, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        auto form = Create(Dir());
        form->show();
        Type(*form, typed);
        boxes.boxes.clear();
        boxes.answers = {c.answer, MsgResult::Cancel};
        form->windowHandle()->close();
        form->windowHandle()->close();
        EXPECT_EQ(c.boxes, boxes.boxes.size());
        EXPECT_EQ(c.answer != MsgResult::Cancel, !form->isVisible());
        boxes.answers.clear();
    }
    // Typing again after the answer: the question comes again.
    auto form = Create(Dir());
    form->show();
    Type(*form, typed);
    boxes.boxes.clear();
    boxes.answers = {MsgResult::Discard, MsgResult::Cancel};
    form->windowHandle()->close();
    form->show();
    form->Memo1->insertPlainText(U("追記"));
    form->windowHandle()->close();
    EXPECT_EQ(2u, boxes.boxes.size());
    EXPECT_TRUE(form->isVisible());
}

// Typing is saved after a pause, an emoji and all; the send's success takes the draft away.
TEST_F(Drafts, SavedAfterAPauseInUnicodeAndRemovedBySending) {
    auto form = Create(Dir());
    const TDraft typed{"hanako@example.jp", "", "", "絵文字 😀", "今日は🍣です\nまた明日"};
    Type(*form, typed);
    ASSERT_TRUE(WaitFor([&] { return DraftFiles(dir.path()).size() == 1; }));
    const QString path = dir.path() + "/drafts/" + DraftFiles(dir.path()).front();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(typed, platform::ParseDraft(file.readAll().toStdString()));

    form->ClearFields();  // what the send flow does once the server took the message
    EXPECT_TRUE(DraftFiles(dir.path()).isEmpty());
    QApplication::processEvents();
    EXPECT_FALSE(
        WaitFor([&] { return !DraftFiles(dir.path()).isEmpty(); }, 2 * TDraftKeeper::kSaveDelayMs));
}

// Two windows at once each keep their own draft; a third finds none to take while both live,
// and takes the first one's once that window is gone.
TEST_F(Drafts, TwoWindowsKeepTheirDraftsApart) {
    const TDraft first{"a@example.jp", "", "", "一通目", "一"};
    const TDraft second{"b@example.jp", "", "", "二通目", "二"};
    auto one = Create(Dir());
    auto two = Create(Dir());
    EXPECT_FALSE(one->Drafts->Restore());
    Type(*one, first);
    Type(*two, second);
    ASSERT_TRUE(WaitFor([&] { return DraftFiles(dir.path()).size() == 2; }));

    auto third = Create(Dir());
    EXPECT_FALSE(third->Drafts->Restore());
    third.reset();
    one.reset();
    auto fourth = Create(Dir());
    ASSERT_TRUE(fourth->Drafts->Restore());
    EXPECT_EQ(first, fourth->Drafts->Fields());
    Type(*fourth, {"a@example.jp", "", "", "一通目", "一、書き足し"});
    fourth.reset();  // a pause not yet over is saved as the window goes
    auto fifth = Create(Dir());
    ASSERT_TRUE(fifth->Drafts->Restore());
    EXPECT_EQ("一、書き足し", fifth->Drafts->Fields().Body);
    EXPECT_EQ(2, DraftFiles(dir.path()).size());
}

// Drafts are the user's alone whatever the umask, and a save replaces a link planted at the
// draft's name instead of writing through it.
TEST(DraftFiles, PrivateAndNeverWrittenThroughALink) {
    QTemporaryDir dir;
    const std::string drafts = dir.path().toStdString() + "/drafts/";
    const std::string target = dir.path().toStdString() + "/target";
    std::ofstream(target) << "precious";
    const mode_t mask = ::umask(022);
    platform::TDraftFiles store(drafts, userdata::ReplacePrivateFile);
    store.Save({"a@example.jp", "", "", "s", "first"});
    const std::string path = store.DraftPath();
    std::filesystem::remove(path);
    std::filesystem::create_symlink(target, path);
    store.Save({"a@example.jp", "", "", "s", "second"});
    ::umask(mask);

    struct stat status {};
    ASSERT_EQ(0, ::stat(drafts.c_str(), &status));
    EXPECT_EQ(0700u, status.st_mode & 0777);
    ASSERT_EQ(0, ::lstat(path.c_str(), &status));
    EXPECT_TRUE(S_ISREG(status.st_mode)) << "the link itself is replaced";
    EXPECT_EQ(0600u, status.st_mode & 0777);
    std::ifstream kept(target);
    EXPECT_EQ("precious", std::string(std::istreambuf_iterator<char>(kept), {}));
}

// What lies in drafts/ at the start is read only when it is a draft of a sane size: anything
// else is passed over at once, named in the status bar and left where it is.
TEST_F(Drafts, AnythingButADraftIsPassedOverAtOnceAndNamed) {
    const std::string padded = platform::DraftText(
        {"spy@evil.jp," + std::string(300, ' ') + "boss@company.jp", "", "", "s", "b"});
    const std::string tooLong =
        platform::DraftText({std::string(kMaxFieldLength + 1, 'a'), "", "", "s", "b"});
    const struct {
        const char* name;
        std::function<void(const std::string& path)> make;
        std::string restoredTo;  // "": passed over
    } cases[] = {
        {"fifo", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }, ""},
        {"directory", [](const std::string& p) { std::filesystem::create_directory(p); }, ""},
        {"zero", [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); }, ""},
        {"huge",
         [](const std::string& p) {
             std::ofstream(p).close();
             std::filesystem::resize_file(p, 30'000'000);
         },
         ""},
        {"long", [&](const std::string& p) { std::ofstream(p) << tooLong; }, ""},
        {"padded", [&](const std::string& p) { std::ofstream(p) << padded; },
         "spy@evil.jp, boss@company.jp"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dataDir = Dir() + std::to_string(n++) + "/";
        const std::string path = dataDir + "drafts/" + c.name + ".draft";
        std::filesystem::create_directories(dataDir + "drafts");
        c.make(path);
        QElapsedTimer clock;
        clock.start();
        auto form = Create(dataDir);
        EXPECT_EQ(!c.restoredTo.empty(), form->Drafts->Restore());
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_EQ(c.restoredTo, form->Drafts->Fields().To);
        const QString status = form->StatusPanel->text();
        EXPECT_EQ(c.restoredTo.empty(), status.contains(QString(c.name) + ".draft"))
            << status.toStdString();
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(path)));
    }
}

// The real program, killed while a draft waits on disk: the next start brings it back, and a
// program started while the first still runs leaves that draft alone.
TEST(DraftOfAKilledProgram, ComesBackAtTheNextStart) {
    QTemporaryDir home;
    const QString program = CopyProgramInto(home);
    const QString body =
        WriteHomeFile(home, "body.txt", "お疲れさまです。\r\n絵文字 😀 も入ります。\r\n");
    const QString dataDir = home.filePath("xdg/Orvane/Tidemark");

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home.filePath("xdg"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    const auto printed = [&](const QString& name) {
        return PrintedFields(program, {}, env, home, name);
    };

    QProcess typing;
    typing.setProcessEnvironment(env);
    typing.start(program,
                 {"--to", "hanako@example.jp", "--subject", U("会議 😀"), "--body-file", body});
    ASSERT_TRUE(typing.waitForStarted(10000));
    ASSERT_TRUE(WaitFor([&] { return DraftFiles(dataDir).size() == 1; }, 60000))
        << typing.readAllStandardError().toStdString();

    const QJsonObject meanwhile = printed("meanwhile.json");
    EXPECT_EQ("", meanwhile["to"].toString());
    EXPECT_EQ("", meanwhile["body"].toString());

    typing.kill();
    ASSERT_TRUE(typing.waitForFinished(10000));
    const QJsonObject restored = printed("restored.json");
    EXPECT_EQ("hanako@example.jp", restored["to"].toString());
    EXPECT_EQ(U("会議 😀"), restored["subject"].toString());
    EXPECT_EQ(U("お疲れさまです。\n絵文字 😀 も入ります。\n"), restored["body"].toString());
    EXPECT_EQ(U("前回の下書きを戻しました。"), restored["status"].toString());
}

}  // namespace
