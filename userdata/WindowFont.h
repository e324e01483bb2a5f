#pragma once
// The font of every window: "ＭＳ Ｐゴシック" at 12 pixels, or IPAPGothic where it is missing,
// so Japanese text shows on a fresh machine.
#include <QFont>

namespace userdata {

QFont WindowFont();

}  // namespace userdata
