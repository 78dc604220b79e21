#include "ui/ProgramIcon.h"

namespace parlune {

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {48, 256})
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace parlune
