#include "app/AddressCompleter.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QLineEdit>
#include <QStringListModel>
#include <set>

#include "app/AddressPieces.h"
#include "platform/CodePage.h"

namespace {

constexpr int kLeastTyped = 2;
constexpr int kShownRows = 8;

QString LowerAddress(const QString& address) {
    return address.trimmed().toCaseFolded();
}

QString Quoted(const QString& name) {
    static const QString kSplitting = QStringLiteral(",;<>\"\\");
    for (const QChar c : name) {
        if (kSplitting.contains(c)) {
            QString escaped = name;
            escaped.replace('\\', "\\\\").replace('"', "\\\"");
            return '"' + escaped + '"';
        }
    }
    return name;
}

// Addresses of the field's pieces other than the one being typed.
std::set<QString> AddressesBesides(const QString& field, const TTypedPiece& piece, int cursor) {
    std::set<QString> present;
    const QString others = field.left(piece.Start) + field.mid(cursor);
    for (const TAddressPiece& p : AddressPieces(others.toStdString()))
        present.insert(LowerAddress(QString::fromStdString(p.Address)));
    return present;
}

}  // namespace

QString FoldedForMatch(const QString& text) {
    QString folded = text.normalized(QString::NormalizationForm_KC).toCaseFolded();
    folded.removeIf([](QChar c) { return c.isSpace(); });
    for (QChar& c : folded) {
        if (c.unicode() >= 0x30A1 && c.unicode() <= 0x30F6)  // katakana ァ..ヶ
            c = QChar(c.unicode() - 0x60);
    }
    return folded;
}

std::vector<TAddressChoice> CompletionChoices(const std::vector<userdata::TRecentRecipient>& recent,
                                              const std::vector<userdata::TBookEntry>& book) {
    std::vector<TAddressChoice> bookChoices;
    for (const userdata::TBookEntry& e : book) {
        if (!e.Addless.empty()) {
            bookChoices.push_back({platform::FromSjis(e.Name),
                                   platform::FromSjis(e.Reading),
                                   platform::FromSjis(e.Addless).trimmed(),
                                   {}});
        }
    }
    std::vector<TAddressChoice> choices;
    std::set<QString> listed;
    const auto add = [&](const TAddressChoice& choice) {
        if (listed.insert(LowerAddress(choice.Address)).second)
            choices.push_back(choice);
    };
    for (const userdata::TRecentRecipient& r : recent) {
        TAddressChoice choice{
            {}, {}, QString::fromStdString(r.Address), QString::fromStdString(r.Text)};
        for (const TAddressChoice& b : bookChoices) {
            if (LowerAddress(b.Address) == LowerAddress(choice.Address))
                choice = b;
        }
        add(choice);
    }
    for (const TAddressChoice& b : bookChoices)
        add(b);
    return choices;
}

std::vector<TAddressChoice> MatchingChoices(const QString& typed,
                                            const std::vector<TAddressChoice>& choices) {
    const QString wanted = FoldedForMatch(typed);
    if (wanted.size() < kLeastTyped)
        return {};
    std::vector<TAddressChoice> matching;
    for (const TAddressChoice& c : choices) {
        for (const QString& text : {c.Name, c.Reading, c.Address, c.Typed}) {
            if (!text.isEmpty() && FoldedForMatch(text).contains(wanted)) {
                matching.push_back(c);
                break;
            }
        }
    }
    return matching;
}

QString ChoiceText(const TAddressChoice& choice) {
    if (!choice.Typed.isEmpty())
        return choice.Typed;
    if (choice.Name.trimmed().isEmpty())
        return choice.Address;
    return Quoted(choice.Name.trimmed()) + " <" + choice.Address + '>';
}

QString WithAddresses(const QString& field, const QString& picked) {
    std::set<QString> present;
    for (const TAddressPiece& p : AddressPieces(field.toStdString()))
        present.insert(LowerAddress(QString::fromStdString(p.Address)));
    QString text = field;
    while (text.endsWith(' ') || text.endsWith('\t'))
        text.chop(1);
    for (const TAddressPiece& p : AddressPieces(picked.toStdString())) {
        if (!present.insert(LowerAddress(QString::fromStdString(p.Address))).second)
            continue;
        if (!text.isEmpty())
            text += text.endsWith(',') || text.endsWith(';') ? " " : ", ";
        text += QString::fromStdString(p.Text);
    }
    return text;
}

std::optional<TTypedPiece> PieceBeforeCursor(const QString& field, int cursor) {
    const QString before = field.left(cursor);
    const std::vector<TAddressPiece> pieces = AddressPieces(before.toStdString());
    if (pieces.empty())
        return std::nullopt;
    const QString last = QString::fromStdString(pieces.back().Text);
    if (!before.endsWith(last))
        return std::nullopt;
    return TTypedPiece{static_cast<int>(before.size() - last.size()), last};
}

TAddressCompleter::TAddressCompleter(QLineEdit* field,
                                     std::function<std::vector<TAddressChoice>()> choices)
    : QObject(field),
      Completer(new QCompleter(this)),
      field_(field),
      model_(new QStringListModel(this)),
      choices_(std::move(choices)) {
    Completer->setModel(model_);
    // The popup shows what Offer chose; the completer neither filters nor fills in by itself.
    Completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    Completer->setMaxVisibleItems(kShownRows);
    Completer->setWidget(field);
    connect(field, &QLineEdit::textEdited, this, &TAddressCompleter::Offer);
    connect(Completer, qOverload<const QString&>(&QCompleter::activated), this,
            &TAddressCompleter::Take);
}

void TAddressCompleter::Offer() {
    if (taking_)
        return;
    const int cursor = field_->cursorPosition();
    const std::optional<TTypedPiece> piece = PieceBeforeCursor(field_->text(), cursor);
    QStringList offered;
    if (piece) {
        const std::set<QString> present = AddressesBesides(field_->text(), *piece, cursor);
        for (const TAddressChoice& c : MatchingChoices(piece->Text, choices_())) {
            if (!present.contains(LowerAddress(c.Address)))
                offered << ChoiceText(c);
        }
    }
    model_->setStringList(offered);
    if (offered.isEmpty())
        Completer->popup()->hide();
    else
        Completer->complete();
}

// Only the piece before the caret is replaced; what was typed before and after it stays.
void TAddressCompleter::Take(const QString& choice) {
    const int cursor = field_->cursorPosition();
    const std::optional<TTypedPiece> piece = PieceBeforeCursor(field_->text(), cursor);
    if (!piece)
        return;
    // Inserting (so that undo takes it back) counts as an edit, which must not offer again.
    taking_ = true;
    field_->setSelection(piece->Start, cursor - piece->Start);
    field_->insert(choice);
    taking_ = false;
}
