// Address completion: what a piece of a name, reading or address finds, and what a choice puts
// in the field.
#include <QAbstractItemView>
#include <QCompleter>
#include <QLineEdit>
#include <QTest>

#include "FrmMainFixture.h"
#include "app/AddressCompleter.h"
#include "platform/CodePage.h"
#include "tests/support/TempSettings.h"
#include "userdata/RecentRecipients.h"

namespace {

using platform::Sjis;

const std::vector<userdata::TBookEntry> kBook = {
    {Sjis("佐藤 花子"), "hanako@example.jp", Sjis("さとう はなこ")},
    {Sjis("山田 太郎"), "taro@example.jp", Sjis("ヤマダ タロウ")},
    {Sjis("名前だけ"), "", ""},
};
const std::vector<userdata::TRecentRecipient> kRecent = {
    {"jiro@example.jp", "Jiro <jiro@example.jp>"},
    {"Taro@Example.JP", "taro@example.jp"},
};

std::vector<std::string> Addresses(const std::vector<TAddressChoice>& choices) {
    std::vector<std::string> addresses;
    for (const TAddressChoice& c : choices)
        addresses.push_back(c.Address.toStdString());
    return addresses;
}

TEST(Completion, MatchesNameReadingAndAddressAnywhereWhateverTheWidthAndCase) {
    const std::vector<TAddressChoice> choices = CompletionChoices(kRecent, kBook);
    // Recent first, most recent first; a recent address of the book takes the book's name.
    ASSERT_EQ(Addresses(choices), (std::vector<std::string>{"jiro@example.jp", "taro@example.jp",
                                                            "hanako@example.jp"}));
    EXPECT_EQ(choices[1].Name.toStdString(), "山田 太郎");
    const struct {
        const char* typed;
        std::vector<std::string> found;
    } cases[] = {
        {"hana", {"hanako@example.jp"}},
        {"ｈａｎａ", {"hanako@example.jp"}},   // full-width letters
        {"HANAKO@EX", {"hanako@example.jp"}},  // letter case
        {"佐藤", {"hanako@example.jp"}},       // name
        {"藤 花", {"hanako@example.jp"}},      // anywhere in it, blanks aside
        {"はなこ", {"hanako@example.jp"}},     // reading
        {"たろう", {"taro@example.jp"}},       // katakana reading found by hiragana
        {"ﾀﾛｳ", {"taro@example.jp"}},          // half-width kana
        {"jiro", {"jiro@example.jp"}},         // a recent entry's typed name
        {"example", {"jiro@example.jp", "taro@example.jp", "hanako@example.jp"}},
        {"h", {}},  // one character is not enough
        {"ｈ", {}},
        {"suzuki", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Addresses(MatchingChoices(QString::fromUtf8(c.typed), choices)), c.found)
            << c.typed;
    }
}

TEST(Completion, ChoiceTextAndThePieceItReplaces) {
    const struct {
        TAddressChoice choice;
        const char* text;
    } choices[] = {
        {{"佐藤 花子", "", "hanako@example.jp", ""}, "佐藤 花子 <hanako@example.jp>"},
        {{"Sato, Hanako", "", "h@x.jp", ""}, "\"Sato, Hanako\" <h@x.jp>"},
        {{"", "", "h@x.jp", ""}, "h@x.jp"},
        {{"", "", "j@x.jp", "Jiro <j@x.jp>"}, "Jiro <j@x.jp>"},
    };
    for (const auto& c : choices)
        EXPECT_EQ(ChoiceText(c.choice).toStdString(), c.text);

    const struct {
        const char* field;
        int cursor;  // -1: the end
        std::optional<int> start;
        const char* piece;
    } pieces[] = {
        {"hana", -1, 0, "hana"},
        {"a@x.jp, hana", -1, 8, "hana"},
        {"a@x.jp;ta", -1, 7, "ta"},
        {"\"Sato, Ha", -1, 0, "\"Sato, Ha"},  // a comma inside quotes splits nothing
        {"a@x.jp, ", -1, std::nullopt, ""},
        {"hana, b@y.jp", 4, 0, "hana"},
    };
    for (const auto& c : pieces) {
        const QString field = QString::fromUtf8(c.field);
        const auto piece = PieceBeforeCursor(field, c.cursor < 0 ? field.size() : c.cursor);
        ASSERT_EQ(piece.has_value(), c.start.has_value()) << c.field;
        if (piece) {
            EXPECT_EQ(piece->Start, *c.start) << c.field;
            EXPECT_EQ(piece->Text.toStdString(), c.piece) << c.field;
        }
    }
}

class CompletionInTheWindow : public FrmMainFixture {
  protected:
    void SetUp() override {
        QFile book(QString::fromStdString(Dir() + "Address.dat"));
        ASSERT_TRUE(book.open(QIODevice::WriteOnly));
        book.write(QByteArray::fromStdString(
            Sjis("佐藤 花子\r\nhanako@example.jp\r\n山田 太郎\r\ntaro@example.jp\r\n")));
        book.close();
        userdata::TRecentRecipients(Dir()).Add({{"jiro@example.jp", "jiro@example.jp"}});
        form = Create(Dir());
        form->show();
        QApplication::setActiveWindow(form.get());
    }
    QAbstractItemView* Popup(QLineEdit* field) const {
        return field->findChild<QCompleter*>()->popup();
    }

    TempSettings settings;
    std::unique_ptr<TFrmMain> form;
};

TEST_F(CompletionInTheWindow, DownAndEnterReplaceOnlyThePieceBeingTyped) {
    const struct {
        const char* before;
        const char* typed;
        int downs;
        const char* after;
    } cases[] = {
        {"", "hana", 1, "佐藤 花子 <hanako@example.jp>"},
        {"佐藤 花子 <hanako@example.jp>", ", taro", 1,
         "佐藤 花子 <hanako@example.jp>, 山田 太郎 <taro@example.jp>"},
        // Recent first; an address the field holds already is not offered again.
        {"", "exam", 2, "佐藤 花子 <hanako@example.jp>"},
        {"taro@example.jp; ", "exam", 2, "taro@example.jp; 佐藤 花子 <hanako@example.jp>"},
        {"", "ji", 1, "jiro@example.jp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        QLineEdit* field = form->Edit_ToCarbonCopy;
        field->setText(QString::fromUtf8(c.before));
        field->setFocus();
        QTest::keyClicks(field, QString::fromUtf8(c.typed));
        QAbstractItemView* popup = Popup(field);
        ASSERT_TRUE(popup->isVisible());
        // Nothing is chosen before the first Down, which chooses the first row.
        EXPECT_FALSE(popup->selectionModel()->hasSelection());
        for (int i = 0; i < c.downs; ++i)
            QTest::keyClick(popup, Qt::Key_Down);
        QTest::keyClick(popup, Qt::Key_Return);
        EXPECT_EQ(field->text().toStdString(), c.after);
        EXPECT_FALSE(popup->isVisible());
    }
}

}  // namespace
