#include "app/MemoLines.h"

#include <QCoreApplication>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QTextBlock>
#include <QTextLayout>

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

}  // namespace

QStringList DisplayedLines(QPlainTextEdit& memo) {
    LayOutAtFieldWidth(memo);
    QStringList lines;
    for (QTextBlock block = memo.document()->begin(); block.isValid(); block = block.next()) {
        // The block's raw text: the plain text would turn a no-break space into a space.
        const QString text = block.text();
        const QTextLayout* blockLayout = block.layout();
        for (int i = 0; i < blockLayout->lineCount(); ++i) {
            const QTextLine line = blockLayout->lineAt(i);
            lines.append(WithoutLineSeparator(text.mid(line.textStart(), line.textLength())));
        }
    }
    return lines;
}
