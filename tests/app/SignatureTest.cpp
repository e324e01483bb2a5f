// The signature below the body: shown in a new window, once, and never added to a restored draft.
#include <QPlainTextEdit>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include "FrmMainFixture.h"
#include "ProgramCopy.h"
#include "app/DraftKeeper.h"
#include "app/Signature.h"
#include "platform/CodePage.h"
#include "tests/support/TempSettings.h"

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

TEST(Signature, GoesBelowTheBodyOnce) {
    const struct {
        const char* body;
        const char* signature;
        const char* signedBody;
    } cases[] = {
        {"", "", ""},
        {"本文", " \n", "本文"},
        {"", "山田\r\n営業部\r\n", "\n\n-- \n山田\n営業部"},
        {"本文\n\n", "山田", "本文\n\n-- \n山田"},
        {"本文\n\n-- \n山田", "山田", "本文\n\n-- \n山田"},  // there already
        {"-- \n山田\n追記", "山田", "-- \n山田\n追記"},      // at the top, with more
        {"本文\n\n-- \n山田 (旧)", "山田", "本文\n\n-- \n山田 (旧)\n\n-- \n山田"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SignedBody(U(c.body), U(c.signature)), U(c.signedBody)) << c.body;
}

class SignatureInTheWindow : public FrmMainFixture {
  protected:
    TempSettings settings;
    QSettings stored{"Orvane", "Tidemark"};
};

TEST_F(SignatureInTheWindow, ShownInANewWindowAndNotAddedToARestoredDraft) {
    stored.setValue("Settings/Signature", U("山田 太郎\n営業部"));
    const QString fresh = U("\n\n-- \n山田 太郎\n営業部");
    auto form = Create(Dir());
    form->ShowSignature();  // as the program does when it opens the window
    EXPECT_EQ(form->Memo1->toPlainText(), fresh);
    EXPECT_EQ(form->Memo1->textCursor().position(), 0);
    const std::vector<std::string> lines = form->BodyLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "-- "), 1);  // the blank goes out too
    // The signature alone is nothing to keep.
    EXPECT_TRUE(form->Drafts->MayClose());
    EXPECT_TRUE(boxes.boxes.empty());

    const platform::TDraft typed{"a@example.jp", "", "", "件名", "本文\n\n-- \n山田 太郎\n営業部"};
    form->Drafts->Fill(typed);
    form.reset();  // the draft is saved as the window goes
    auto next = Create(Dir());
    next->ShowSignature();
    EXPECT_EQ(next->Memo1->toPlainText(), fresh);
    ASSERT_TRUE(next->Drafts->Restore());
    EXPECT_EQ(next->Drafts->Fields(), typed);

    next->ClearFields();  // after a send: a new message, with the signature
    EXPECT_EQ(next->Memo1->toPlainText(), fresh);

    // A changed signature shows at once in a window nobody has written in.
    standIns.choose = [&](THandOverFields*) { stored.setValue("Settings/Signature", U("新")); };
    next->Action_Option_openExecute();
    EXPECT_EQ(next->Memo1->toPlainText(), U("\n\n-- \n新"));
    next->Memo1->setPlainText(U("書きかけ"));
    standIns.choose = [&](THandOverFields*) { stored.setValue("Settings/Signature", U("別")); };
    next->Action_Option_openExecute();
    EXPECT_EQ(next->Memo1->toPlainText(), U("書きかけ"));
}

// The program itself, started fresh and from the command line's fields.
TEST_F(SignatureInTheWindow, TheProgramShowsItWhenTheWindowOpens) {
    stored.setValue("Settings/Signature", U("署名"));
    stored.sync();
    QTemporaryDir home;
    const QString program = CopyProgramInto(home);
    const QString body = WriteHomeFile(home, "body.txt", "本文\n");
    const struct {
        QStringList arguments;
        const char* body;
    } cases[] = {{{}, "\n\n-- \n署名"},
                 {{"--to", "a@example.jp", "--body-file", body}, "本文\n\n-- \n署名"}};
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", settings.Dir());
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    for (const auto& c : cases) {
        const QString name = QString("fields-%1.json").arg(&c - cases);
        EXPECT_EQ(PrintedFields(program, c.arguments, env, home, name)["body"].toString(),
                  U(c.body));
    }
}

}  // namespace
