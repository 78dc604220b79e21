#pragma once

#include "tests/support/TestSupport.h"
#include "tests/ui/ScriptedModals.h"
#include "ui/MainUnit.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace parlune::test {

// The main window, which also keeps every line the processing logs, in order, so that tests
// can hold the view against them at any moment.
class RecordingForm : public TMainForm {
public:
    using TMainForm::TMainForm;
    void Log(const std::string& text) override {
        logged.append(QString::fromStdString(text));
        TMainForm::Log(text);
    }
    void LogAtLevel(LogLevel level, const std::string& text) override {
        logged.append(QString::fromStdString(text));
        TMainForm::LogAtLevel(level, text);
    }
    QStringList logged;
};

// The main window, shown and active, with its dialogs answered by a script.
class WindowFixture {
public:
    WindowFixture();

    // Presses a button with the mouse, the prepared answer waiting for its dialog.
    void ChooseSource(const QString& fileName);
    void ChooseTarget(const QString& fileName);
    void Click(QWidget* control);
    // Calls action from inside the About box's modal loop once the box shows.
    void WhenAboutShows(std::function<void()> action);

    // The enabled state of Source, Target, Process, Debug output, Do not compact and About,
    // e.g. "S+ T- P- D+ C+ A+".
    QString ControlStates() const;
    QStringList LogLines() const;

    ScriptedModals modals;
    RecordingForm window;
};

// A small map whose script and unit data refer to two of its three strings.
std::string MakeRunMap(const ScratchDir& dir, const std::string& name);

QString ToQString(const std::string& bytes);

} // namespace parlune::test
