// The compose window's behaviour: start-up, the windows it opens and what they hand back, the
// hidden button, the end, and the fields as the send flow reads them.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSettings>
#include <QStatusBar>
#include <QTextCursor>
#include <QToolButton>
#include <QUrl>
#include <algorithm>

#include "FrmMainFixture.h"
#include "app/MemoLines.h"
#include "platform/Application.h"
#include "platform/Shell.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/TempSettings.h"
#include "tests/support/WaitFor.h"

namespace {

constexpr int kBodyWidth = 338;

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QByteArray ReadFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteFile(const std::string& path, const QByteArray& content) {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

class RecordingShell : public platform::Shell {
  public:
    RecordingShell() { platform::SetShell(this); }
    ~RecordingShell() override { platform::SetShell(nullptr); }
    void Open(const std::string& address) override { opened.push_back(address); }
    std::vector<std::string> opened;
};

using FormCreate = FrmMainFixture;

TEST_F(FormCreate, CreatesMissingDataFilesEmptyAndLeavesExistingOnesAlone) {
    struct Case {
        const char* name;
        const char* subdirectory;  // of the temporary directory, in UTF-8
        const char* tanbun;        // nullptr: missing before start-up
        const char* address;
    };
    const Case cases[] = {
        {"first start", "", nullptr, nullptr},
        {"both exist", "", "\x88\xa4\r\nhello\r\n", "Taro\r\ntaro@example.com\r\n"},
        {"only the phrases exist", "", "line without end", nullptr},
        {"directory with a Japanese name", "ぴこぴこ便", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir programDir;
        const QString path = QDir(programDir.path()).filePath(QString::fromUtf8(c.subdirectory));
        ASSERT_TRUE(QDir().mkpath(path));
        const std::string dirPath = path.toStdString() + "/";
        if (c.tanbun)
            WriteFile(dirPath + "tanbun.dat", c.tanbun);
        if (c.address)
            WriteFile(dirPath + "Address.dat", c.address);

        const auto form = Create(dirPath);

        EXPECT_EQ(dirPath, form->ProgramDir);
        EXPECT_EQ(QByteArray(c.tanbun ? c.tanbun : ""), ReadFile(dirPath + "tanbun.dat"));
        EXPECT_EQ(QByteArray(c.address ? c.address : ""), ReadFile(dirPath + "Address.dat"));
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(FormCreate, FileThatCannotBeCreatedGivesOneErrorBoxThenTheWindowAsUsual) {
    struct Case {
        const char* name;
        std::string programDir;
        const char* created;     // the file that exists afterwards, if any
        const char* notCreated;  // a file that was not even tried, if any
    };
    // Running as root, permissions stop nothing: the failures come from the paths themselves.
    WriteFile(Dir() + "plain-file", "x");
    QDir(dir.path()).mkpath("blocked/tanbun.dat");
    QDir(dir.path()).mkpath("half/Address.dat");
    const Case cases[] = {
        {"directory path through a regular file", Dir() + "plain-file/", nullptr, nullptr},
        {"phrase file is a directory", Dir() + "blocked/", nullptr, "Address.dat"},
        {"address file is a directory", Dir() + "half/", "tanbun.dat", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.boxes.clear();

        const auto form = Create(c.programDir);

        ASSERT_EQ(1u, boxes.boxes.size());
        const RecordedBox& box = boxes.boxes[0];
        EXPECT_EQ(platform::MsgIcon::Error, box.icon);
        EXPECT_EQ("ぴこぴこ便", box.caption);
        EXPECT_EQ(0u, box.text.find("ファイル " + c.programDir)) << box.text;
        EXPECT_NE(std::string::npos, box.text.find(" を開けません (")) << box.text;
        const QString at = QString::fromStdString(c.programDir);
        if (c.created) {
            EXPECT_TRUE(QFile::exists(at + c.created));
        }
        if (c.notCreated) {
            EXPECT_FALSE(QFile::exists(at + c.notCreated));
        }

        form->show();
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(c.programDir, form->ProgramDir);
    }
}

class ComposeWindow : public FrmMainFixture {
  protected:
    void SetUp() override {
        form = Create(Dir());
        form->show();
        QApplication::processEvents();
    }
    std::unique_ptr<TFrmMain> form;
};

// The chosen addresses join the field's own ones; an address already there is not added again.
TEST_F(ComposeWindow, AddressButtonsAddOnlyChosenAddressesToTheirField) {
    struct Case {
        const char* name;
        QToolButton* TFrmMain::*button;
        const char* chosen;  // nullptr: closed without a choice
        const char* to;
        const char* cc;
        const char* bcc;
    };
    const Case cases[] = {
        {"To chosen", &TFrmMain::Spb_Addless, "x@example.com", "old to, x@example.com", "old cc",
         "old bcc"},
        {"CC chosen is added", &TFrmMain::Spb_CC, "山田 <y@example.com>", "old to",
         "old cc, 山田 <y@example.com>", "old bcc"},
        {"BCC: several, one there already", &TFrmMain::Spb_BCC, "a@x.jp, OLD BCC, b@y.jp", "old to",
         "old cc", "old bcc, a@x.jp, b@y.jp"},
        {"BCC closed without choice", &TFrmMain::Spb_BCC, nullptr, "old to", "old cc", "old bcc"},
        {"To: entry with empty address", &TFrmMain::Spb_Addless, "", "old to", "old cc", "old bcc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form->Edit_ToAddress->setText("old to");
        form->Edit_ToCarbonCopy->setText("old cc");
        form->Edit_ToBlindCarbonCopy->setText("old bcc");
        form->SelectedAddless = "stale";
        bool emptiedBeforeShown = false;
        standIns.choose = [&](THandOverFields* fields) {
            emptiedBeforeShown = fields->SelectedAddless.empty();
            if (c.chosen)
                fields->SelectedAddless = platform::Sjis(c.chosen);
        };

        (form.get()->*c.button)->click();

        EXPECT_TRUE(emptiedBeforeShown);
        EXPECT_EQ(U(c.to), form->Edit_ToAddress->text());
        EXPECT_EQ(U(c.cc), form->Edit_ToCarbonCopy->text());
        EXPECT_EQ(U(c.bcc), form->Edit_ToBlindCarbonCopy->text());
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ComposeWindow, ChosenPhraseBecomesTheLastLineOfTheBody) {
    struct Case {
        const char* name;
        const char* body;
        int caret;
        const char* chosen;  // nullptr: closed without a choice
        const char* expected;
    };
    const Case cases[] = {
        {"empty body", "", 0, "お世話になります。", "お世話になります。"},
        {"caret in the first of two lines", "一行目\n二行目", 1, "よろしく",
         "一行目\n二行目\nよろしく"},
        {"body ending in a line break", "本文\n", 0, "以上", "本文\n以上"},
        {"closed without a choice", "本文", 0, nullptr, "本文"},
        {"empty phrase chosen", "本文", 0, "", "本文"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form->Memo1->setPlainText(U(c.body));
        QTextCursor caret = form->Memo1->textCursor();
        caret.setPosition(c.caret);
        form->Memo1->setTextCursor(caret);
        standIns.choose = [&](THandOverFields* f) {
            if (c.chosen)
                f->SelectedTanbun = platform::Sjis(c.chosen);
        };

        form->SpeedButton2->click();

        EXPECT_EQ(U(c.expected), form->Memo1->toPlainText());
        EXPECT_EQ("", form->SelectedTanbun);
    }
}

TEST_F(ComposeWindow, EveryOpeningIsANewModalWindowPlacedBesideAndDestroyedAfter) {
    struct Case {
        const char* kind;
        std::function<void()> open;
    };
    const Case cases[] = {
        {"Option", [&] { form->Action_Option_open->trigger(); }},
        {"Address", [&] { form->Action_addless->trigger(); }},
        {"Address", [&] { form->Spb_CC->click(); }},
        {"Tanbun", [&] { form->Action_Tanbun_open->trigger(); }},
        {"Tanbun", [&] { form->SpeedButton2->click(); }},
        {"Option", [&] { form->Action_Option_open->trigger(); }},
    };
    form->move(120, 90);
    QApplication::processEvents();
    const QPoint expected = form->frameGeometry().topLeft() + QPoint(25, 20);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        standIns.openings.clear();

        c.open();

        ASSERT_EQ(1u, standIns.openings.size());
        const auto& opening = standIns.openings[0];
        EXPECT_EQ(c.kind, opening.kind);
        EXPECT_EQ(expected, opening.position);
        EXPECT_TRUE(opening.modal);
        EXPECT_EQ(0, standIns.alive);
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ComposeWindow, ErrorLeavingAHandlerGoesToTheErrorDisplayAndTheWindowGoesOn) {
    const auto failing = [](THandOverFields&, QWidget*) -> std::unique_ptr<QDialog> {
        throw EInOutError(platform::Sjis("ファイルを開けません"));
    };
    auto windows = standIns.Windows();
    windows.Tanbun = failing;
    windows.Address = failing;
    TFrmMain failingForm(windows, Dir());
    failingForm.Edit_ToAddress->setText("kept");

    failingForm.SpeedButton2->click();
    failingForm.Spb_Addless->click();

    ASSERT_EQ(2u, boxes.boxes.size());
    for (const RecordedBox& box : boxes.boxes) {
        EXPECT_EQ("ファイルを開けません.", box.text);
        EXPECT_EQ(platform::MsgIcon::Error, box.icon);
    }
    EXPECT_EQ("kept", failingForm.Edit_ToAddress->text());
}

TEST_F(ComposeWindow, SendButtonRunsTheSendFlow) {
    TempSettings settings;
    form->SpeedButton3->click();
    ASSERT_EQ(std::vector<std::string>{"宛先を設定してね。"}, boxes.Texts());

    // Nothing stored yet: the box names what is missing, and OK opens the options.
    form->Edit_ToAddress->setText("to@example.com");
    form->SpeedButton3->click();
    ASSERT_EQ(2u, boxes.boxes.size());
    EXPECT_EQ(
        "送信するには、オプション設定の ＳＭＴＰサーバ、メールアドレス が必要です。\n"
        "オプション設定を開きますか?",
        boxes.boxes[1].text);
    ASSERT_EQ(1u, standIns.openings.size());
    EXPECT_EQ("Option", standIns.openings[0].kind);

    // An unusable port leaves the flow as an exception, which the error display shows.
    QSettings stored("Orvane", "Tidemark");
    stored.setValue("Settings/Smtp", "127.0.0.1");
    stored.setValue("Settings/Email", "me@example.com");
    stored.setValue("Settings/Port", "abc");
    form->SpeedButton3->click();
    ASSERT_EQ(3u, boxes.boxes.size());
    EXPECT_EQ("'abc' は整数ではありません.", boxes.boxes[2].text);
    EXPECT_EQ(platform::MsgIcon::Error, boxes.boxes[2].icon);
    EXPECT_EQ("to@example.com", form->Edit_ToAddress->text());
}

// Every box is titled as the window is; a failed connection's boxes carry the warning icon.
TEST_F(ComposeWindow, BoxesCarryTheWindowTitleAndFailuresTheWarningIcon) {
    TempSettings settings;
    testsupport::RefusingPort refusing;
    QSettings stored("Orvane", "Tidemark");
    stored.setValue("Settings/Smtp", "127.0.0.1");
    stored.setValue("Settings/Email", "me@example.com");
    stored.setValue("Settings/Port", QString::number(refusing.Port()));
    form->Edit_ToAddress->setText("to@example.com");
    form->SpeedButton3->click();
    ASSERT_TRUE(WaitFor([&] {
        const std::vector<std::string> texts = boxes.Texts();
        return std::any_of(texts.begin(), texts.end(), [](const std::string& text) {
            return text.starts_with("送信に失敗したよ。");
        });
    })) << testing::PrintToString(boxes.Texts());
    for (const RecordedBox& box : boxes.boxes) {
        SCOPED_TRACE(box.text);
        EXPECT_EQ("ぴこぴこ便", box.caption);
        EXPECT_EQ(platform::MsgIcon::Warning, box.icon);
    }
    EXPECT_EQ("to@example.com", form->Edit_ToAddress->text());
}

TEST_F(ComposeWindow, HiddenButtonOpensTheLocalPageThroughTheShell) {
    RecordingShell shell;
    form->SpeedButton1->click();
    ASSERT_EQ(1u, shell.opened.size());
    const QUrl url(QString::fromStdString(shell.opened[0]));
    EXPECT_TRUE(url.isValid());
    EXPECT_EQ("127.0.0.1", url.host());
}

// With text in the fields the window asks first (tests/app/DraftTest.cpp).
TEST_F(ComposeWindow, ExitClosesAnEmptyWindowAtOnce) {
    form->show();
    form->Exit1->trigger();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ComposeWindow, FieldsReachTheSendFlowAsShiftJis) {
    form->Edit_ToAddress->setText(U("山田 <y@example.com>"));
    form->Edit_ToCarbonCopy->setText(" ");
    form->Edit_kenmei->setText(U("ｶﾀｶﾅと〜"));
    EXPECT_FALSE(form->ToAddressEmpty());
    EXPECT_EQ(platform::Sjis("山田 <y@example.com>"), form->ToAddress());
    EXPECT_EQ(" ", form->ToCarbonCopy());
    EXPECT_EQ("", form->ToBlindCarbonCopy());
    EXPECT_EQ(platform::Sjis("ｶﾀｶﾅと〜"), form->Subject());

    struct Case {
        const char* body;
        std::vector<const char*> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"one", {"one"}},
        {"one\n", {"one"}},
        {"one\n\n", {"one", ""}},
        {"一\n\n三", {"一", "", "三"}},
        {"a\u2028b", {"a", "b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        form->Memo1->setPlainText(U(c.body));
        std::vector<std::string> expected;
        for (const char* line : c.lines)
            expected.push_back(platform::Sjis(line));
        EXPECT_EQ(expected, form->BodyLines());
    }

    form->ClearFields();
    for (QLineEdit* e : {form->Edit_ToAddress, form->Edit_ToCarbonCopy,
                         form->Edit_ToBlindCarbonCopy, form->Edit_kenmei}) {
        EXPECT_EQ("", e->text());
    }
    EXPECT_EQ("", form->Memo1->toPlainText());
    EXPECT_TRUE(form->ToAddressEmpty());
}

// The lines of a paragraph pasted without Enter, as the body shows them (and sends them, but for
// a word wider than the body: tests/app/WindowSizeTest.cpp): read before the window was ever
// shown, while shown, after the body became narrower, and after it was widened again while
// hidden.
TEST_F(FrmMainFixture, DisplayedLinesAreTheLinesTheBodyShows) {
    const QString paragraph =
        U("本日の会議は十五時から第二会議室で行います。資料は各自で印刷してお持ちください。") +
        " See https://example.jp/" + QString(70, 'x') + " for the agenda.";
    const auto form = Create(Dir());
    QPlainTextEdit* body = form->Memo1;
    body->setPlainText(paragraph + "\n" + U("二行目"));

    const auto check = [&](const char* when) {
        SCOPED_TRACE(when);
        std::vector<std::string> lines;
        for (const QString& line : DisplayedLines(*body))
            lines.push_back(platform::ToSjis(line));
        const QFontMetricsF metrics(body->document()->defaultFont());
        const qreal room = body->contentsRect().width() - 2 * body->document()->documentMargin();
        QString joined;
        for (size_t i = 0; i + 1 < lines.size(); ++i) {
            const QString line = platform::FromSjis(lines[i]);
            EXPECT_LE(metrics.horizontalAdvance(line.trimmed()), room) << lines[i];
            joined += line;
        }
        EXPECT_EQ(paragraph, joined);
        EXPECT_EQ(platform::Sjis("二行目"), lines.back());
        return lines;
    };
    const std::vector<std::string> neverShown = check("never shown");
    EXPECT_GE(neverShown.size(), 5u);

    form->show();
    QApplication::processEvents();
    EXPECT_EQ(neverShown, check("shown"));

    body->resize(200, body->height());
    EXPECT_GT(check("narrower").size(), neverShown.size());

    form->hide();
    body->resize(kBodyWidth, body->height());
    EXPECT_EQ(neverShown, check("widened while hidden"));
}

TEST_F(ComposeWindow, CharacterOutsideTheCodePageIsReportedNeverDropped) {
    struct Case {
        const char* name;
        std::function<void()> setText;
        std::function<void()> read;
        char32_t character;
    };
    const Case cases[] = {
        {"To", [&] { form->Edit_ToAddress->setText(U("a😀@example.com")); },
         [&] { form->ToAddress(); }, U'\U0001F600'},
        {"subject", [&] { form->Edit_kenmei->setText(U("件名\u00e9")); }, [&] { form->Subject(); },
         U'\u00e9'},
        {"body keeps a no-break space", [&] { form->Memo1->setPlainText(U("a\u00a0b")); },
         [&] { form->BodyLines(); }, U'\u00a0'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.setText();
        try {
            c.read();
            ADD_FAILURE() << "no error";
        } catch (const ECodePageError& e) {
            EXPECT_EQ(c.character, e.Character);
        }
    }
}

// What Shift_JIS cannot hold reaches a UTF-8 message straight from the widgets, the body as the
// lines it shows.
TEST_F(ComposeWindow, UnicodeTextIsWhatTheFieldsHold) {
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    form->Edit_ToAddress->setText(U("한국어 <kr@example.jp>"));
    form->Edit_ToCarbonCopy->setText(U("☃ <cc@example.jp>"));
    form->Edit_ToBlindCarbonCopy->setText("b@example.jp");
    form->Edit_kenmei->setText(U("ｶﾀｶﾅ ") + emoji);
    form->Memo1->setPlainText(U("𠮷野家 é\n\na\u00a0b\n"));
    const TMessageText text = form->UnicodeText();
    EXPECT_EQ(text.ToAddress, "한국어 <kr@example.jp>");
    EXPECT_EQ(text.ToCarbonCopy, "☃ <cc@example.jp>");
    EXPECT_EQ(text.ToBlindCarbonCopy, "b@example.jp");
    EXPECT_EQ(text.Subject, "ｶﾀｶﾅ 😀");
    EXPECT_EQ(text.Body, (std::vector<std::string>{"𠮷野家 é", "", "a\u00a0b"}));
}

}  // namespace
