#include "tests/ui/ScriptedModals.h"

#include "ui/MainUnit.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QPushButton>

namespace parlune::test {

int ScriptedModals::Exec(QDialog& dialog) {
    Shown record;
    record.caption = dialog.windowTitle();
    record.runControlsEnabled =
        window != nullptr && window->SourceButton->isEnabled() &&
        window->TargetButton->isEnabled() && window->ProcessButton->isEnabled() &&
        window->VerboseCheck->isEnabled() && window->NoCompactCheck->isEnabled();
    if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
        record.dialog = QStringLiteral("QMessageBox");
        record.text = box->text();
        record.icon = box->icon();
        shown.push_back(record);
        return QMessageBox::Ok;
    }
    record.dialog = dialog.objectName();
    shown.push_back(record);
    auto* fileDialog = qobject_cast<QFileDialog*>(&dialog);
    // The About box needs no answer: it is shown for real, for its own tests to drive.
    if (fileDialog == nullptr)
        return dialog.exec();
    if (answers.empty())
        return QDialog::Rejected;
    const std::optional<QString> answer = answers.front();
    answers.pop_front();
    if (!answer)
        return QDialog::Rejected;
    if (!answer->isEmpty())
        fileDialog->selectFile(*answer);
    return QDialog::Accepted;
}

} // namespace parlune::test
