#pragma once
// The 16 x 16 pictures on the compose window's speed buttons, drawn in code, and the greyed,
// embossed form that a button shows while it is disabled.
#include <QIcon>
#include <QImage>

namespace glyphs {

constexpr int kSize = 16;

QImage HandWriting();        // a hand writing on a sheet: the address buttons
QImage EnvelopeWithStamp();  // the send button
QImage SpiralNotepad();      // the phrase button
QImage Globe();              // the hidden connect button
QImage PaperClip();          // the attach button

// Dark parts of the picture as a grey relief with a white edge; light parts vanish.
QImage DisabledForm(const QImage& normal);

// The picture for the normal state and its disabled form.
QIcon Icon(const QImage& normal);

}  // namespace glyphs
