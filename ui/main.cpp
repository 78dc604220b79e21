// parlune: the window. It takes no command-line arguments.

#include "ui/MainUnit.h"
#include "ui/ModalRunner.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parlune"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.2"));
    parlune::QtModalRunner modals;
    parlune::TMainForm mainForm(modals);
    mainForm.show();
    return QApplication::exec();
}
