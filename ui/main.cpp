// parlune: the window. It takes no command-line arguments.

#include "Version.h"
#include "ui/MainUnit.h"
#include "ui/ModalRunner.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parlune"));
    QApplication::setApplicationVersion(QString::fromUtf8(parlune::kVersion));
    parlune::QtModalRunner modals;
    parlune::TMainForm mainForm(modals);
    mainForm.show();
    return QApplication::exec();
}
