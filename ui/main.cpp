// parlune [MAP]: the window, with MAP chosen as the source when one is given.

#include "Version.h"
#include "ui/MainUnit.h"
#include "ui/ModalRunner.h"
#include "ui/ProgramIcon.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parlune"));
    QApplication::setApplicationVersion(QString::fromUtf8(parlune::kVersion));
    QApplication::setWindowIcon(parlune::ProgramIcon());
    // Ties the windows to the desktop entry, whose icon the desktop then shows for them.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.parlune.Parlune"));
    parlune::QtModalRunner modals;
    parlune::TMainForm mainForm(modals);
    if (!mainForm.OpenArguments(QApplication::arguments().mid(1))) {
        QTextStream(stderr) << "usage: parlune [MAP]\n";
        return 2;
    }
    mainForm.show();
    return QApplication::exec();
}
