#pragma once
// Completion in the address fields: after two or more characters of the piece being typed (the
// text after the last comma or semicolon before the caret), a popup offers the recent
// recipients and the address book's entries whose name, reading or address holds them. Down
// selects, Enter or a click puts the choice in place of that piece alone.
#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "userdata/AddressBook.h"
#include "userdata/RecentRecipients.h"

class QCompleter;
class QLineEdit;
class QStringListModel;

// One choice of the popup.
struct TAddressChoice {
    QString Name;
    QString Reading;
    QString Address;
    QString Typed;  // a recent recipient's entry as it was typed; empty for a book entry
};

// The text as completion compares it: full-width letters and digits as plain ones, half-width
// kana as full-width, letter case folded, katakana as hiragana, blanks left out.
QString FoldedForMatch(const QString& text);

// The recent recipients (most recent first), then the book's entries with an address that are
// not among them; a recent address that the book holds shows with the book's name and reading.
std::vector<TAddressChoice> CompletionChoices(const std::vector<userdata::TRecentRecipient>& recent,
                                              const std::vector<userdata::TBookEntry>& book);

// The choices whose name, reading, address or typed entry holds typed anywhere, compared
// folded; none for fewer than two characters.
std::vector<TAddressChoice> MatchingChoices(const QString& typed,
                                            const std::vector<TAddressChoice>& choices);

// What a choice puts in the field: "名前 <address>", the name quoted where it holds a character
// that would split the field; a recent entry as it was typed; the address alone without a name.
QString ChoiceText(const TAddressChoice& choice);

// The field with the picked entries (an address list) after its own, ", " between; an entry
// whose address the field holds already (letter case ignored) is not added again.
QString WithAddresses(const QString& field, const QString& picked);

// The piece before the caret that completion works on, and where it starts; nullopt when the
// caret follows a separator or a blank.
struct TTypedPiece {
    int Start;
    QString Text;
};
std::optional<TTypedPiece> PieceBeforeCursor(const QString& field, int cursor);

class TAddressCompleter : public QObject {
  public:
    // choices is asked afresh at every offer, so that a change of the book or a send shows.
    TAddressCompleter(QLineEdit* field, std::function<std::vector<TAddressChoice>()> choices);

    QCompleter* Completer;

  private:
    void Offer();
    void Take(const QString& choice);

    QLineEdit* field_;
    QStringListModel* model_;
    std::function<std::vector<TAddressChoice>()> choices_;
    bool taking_ = false;
};
