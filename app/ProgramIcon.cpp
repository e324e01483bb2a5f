#include "app/ProgramIcon.h"

namespace {

QIcon BuiltInIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 128, 256})
        icon.addFile(QString(":/icons/%1/tidemark.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace

QIcon ProgramIcon() {
    return QIcon::fromTheme("tidemark", BuiltInIcon());
}
