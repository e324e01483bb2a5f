#include "app/MemoLines.h"

#include <QCoreApplication>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QTextBlock>
#include <QTextLayout>
#include <vector>

namespace {

// Qt delivers the resize of a hidden widget only when it is shown, and the field lays out its
// viewport and then its document at its width on those events: a field never shown, or
// resized while hidden, would give one line per paragraph or lines of a stale width. They are
// delivered now, as a show would; the show repeats them harmlessly.
void DeliverPendingResize(QWidget& widget) {
    if (!widget.testAttribute(Qt::WA_PendingResizeEvent))
        return;
    QResizeEvent resize(widget.size(), QSize());
    QCoreApplication::sendEvent(&widget, &resize);
}

// The document lays out a block only when it is painted.
void LayOutAtFieldWidth(QPlainTextEdit& memo) {
    memo.ensurePolished();
    DeliverPendingResize(memo);
    DeliverPendingResize(*memo.viewport());
    const auto* layout = qobject_cast<QPlainTextDocumentLayout*>(memo.document()->documentLayout());
    for (QTextBlock block = memo.document()->begin(); block.isValid(); block = block.next())
        layout->ensureBlockLayout(block);
}

QString WithoutLineSeparator(QString line) {
    if (line.endsWith(QChar::LineSeparator))
        line.chop(1);
    return line;
}

struct TShownLine {
    QString text;
    bool wrapped;  // the field broke the line for want of width, not the writer
};

std::vector<TShownLine> ShownLines(QPlainTextEdit& memo) {
    LayOutAtFieldWidth(memo);
    std::vector<TShownLine> lines;
    for (QTextBlock block = memo.document()->begin(); block.isValid(); block = block.next()) {
        // The block's raw text: the plain text would turn a no-break space into a space.
        const QString text = block.text();
        const QTextLayout* blockLayout = block.layout();
        for (int i = 0; i < blockLayout->lineCount(); ++i) {
            const QTextLine line = blockLayout->lineAt(i);
            const QString shown = text.mid(line.textStart(), line.textLength());
            const bool last = i + 1 == blockLayout->lineCount();
            lines.push_back(
                {WithoutLineSeparator(shown), !last && !shown.endsWith(QChar::LineSeparator)});
        }
    }
    return lines;
}

// Part of a word that the field may only cut: anything but a blank, below the CJK range, where
// every character is a place to break.
bool InWord(QChar c) {
    return !c.isSpace() && c.unicode() < 0x2E80;
}

bool CutInsideWord(const QString& line, const QString& next) {
    return !line.isEmpty() && !next.isEmpty() && InWord(line.back()) && InWord(next.front());
}

}  // namespace

QStringList DisplayedLines(QPlainTextEdit& memo) {
    QStringList lines;
    for (const TShownLine& line : ShownLines(memo))
        lines.append(line.text);
    return lines;
}

QStringList LinesToSend(QPlainTextEdit& memo) {
    const std::vector<TShownLine> shown = ShownLines(memo);
    QStringList lines;
    bool joinNext = false;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (joinNext)
            lines.back() += shown[i].text;
        else
            lines.append(shown[i].text);
        joinNext = shown[i].wrapped && i + 1 < shown.size() &&
                   CutInsideWord(shown[i].text, shown[i + 1].text);
    }
    return lines;
}
