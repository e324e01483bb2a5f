#pragma once
// The lines a wrapping plain text field shows: what a reader of the message should see is what
// the writer saw.
#include <QStringList>

class QPlainTextEdit;

// The field's lines as its document lays them out at the field's current width, in order (the
// layout is brought up to date first, also for a field not on screen): every
// paragraph gives at least one line, and a line separator ends a line like a paragraph does
// (it is not part of the line). Spaces at a wrap stay at the end of the line before it, so the
// lines of a paragraph joined give the paragraph back.
QStringList DisplayedLines(QPlainTextEdit& memo);

// The lines as they go out: the displayed lines, except that where the field cut a word wider
// than itself (a URL, a path) the pieces stay one line. Breaks at a blank or beside a Japanese
// character stay the reader's lines.
QStringList LinesToSend(QPlainTextEdit& memo);
