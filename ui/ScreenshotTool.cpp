// parlune-screenshots OUTPUT_DIR: takes the README's pictures of the main window, at start
// and after a run on the example map, as main-window-start.png and main-window-after-run.png.
// Run it on a real display, e.g. under xvfb-run.

#include "ui/MainUnit.h"
#include "ui/ModalRunner.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

namespace {

// Answers each file dialog with the next prepared file name; any other box is dismissed.
class AnsweringModals : public parlune::ModalRunner {
public:
    QString answer;
    QString unexpected;

    int Exec(QDialog& dialog) override {
        if (auto* fileDialog = qobject_cast<QFileDialog*>(&dialog)) {
            fileDialog->selectFile(answer);
            return QDialog::Accepted;
        }
        if (auto* box = qobject_cast<QMessageBox*>(&dialog))
            unexpected = box->text();
        return QDialog::Rejected;
    }
};

void settle() {
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

bool save(QWidget& window, const QString& path) {
    if (window.grab().save(path))
        return true;
    QTextStream(stderr) << "cannot write " << path << "\n";
    return false;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: parlune-screenshots OUTPUT_DIR\n";
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir work(QDir::temp().filePath(QStringLiteral("parlune-maps-XXXXXX")));
    const QString source = work.filePath(QStringLiteral("Example.w3x"));
    if (!work.isValid() || !QFile::copy(QStringLiteral(PARLUNE_EXAMPLE_MAP), source)) {
        QTextStream(stderr) << "cannot copy the example map\n";
        return 1;
    }

    AnsweringModals modals;
    parlune::TMainForm window(modals);
    window.show();
    settle();
    if (!save(window, output.filePath(QStringLiteral("main-window-start.png"))))
        return 1;

    modals.answer = source;
    window.SourceButton->click();
    modals.answer = work.filePath(QStringLiteral("Example-inlined.w3x"));
    window.TargetButton->click();
    window.ProcessButton->click();
    settle();
    if (!modals.unexpected.isEmpty()) {
        QTextStream(stderr) << "the run failed: " << modals.unexpected << "\n";
        return 1;
    }
    return save(window, output.filePath(QStringLiteral("main-window-after-run.png"))) ? 0 : 1;
}
