#include "userdata/WindowFont.h"

#include <QStringList>

namespace userdata {

QFont WindowFont() {
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")});
    font.setPixelSize(12);
    return font;
}

}  // namespace userdata
