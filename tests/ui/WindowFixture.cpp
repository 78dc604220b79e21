#include "tests/ui/WindowFixture.h"

#include "ui/AboutUnit.h"

#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace parlune::test {

WindowFixture::WindowFixture() : window(modals) {
    modals.window = &window;
    window.show();
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window))
        qWarning("the main window did not become active");
    // The window fits its size to the frame once it is shown; the platform confirms the new
    // size with an event of its own.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

void WindowFixture::ChooseSource(const QString& fileName) {
    modals.AnswerFile(fileName);
    Click(window.SourceButton);
}

void WindowFixture::ChooseTarget(const QString& fileName) {
    modals.AnswerFile(fileName);
    Click(window.TargetButton);
}

void WindowFixture::Click(QWidget* control) {
    QTest::mouseClick(control, Qt::LeftButton);
}

void WindowFixture::WhenAboutShows(std::function<void()> action) {
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [this, poll, action = std::move(action)] {
        if (!window.AboutForm->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start(10);
}

QString WindowFixture::ControlStates() const {
    const std::pair<char, const QWidget*> controls[] = {
        {'S', window.SourceButton}, {'T', window.TargetButton},   {'P', window.ProcessButton},
        {'D', window.VerboseCheck}, {'C', window.NoCompactCheck}, {'A', window.AboutButton}};
    QStringList states;
    for (const auto& [letter, control] : controls)
        states.append(QString(QLatin1Char(letter)) + QLatin1Char(control->isEnabled() ? '+' : '-'));
    return states.join(QLatin1Char(' '));
}

QStringList WindowFixture::LogLines() const {
    return window.LogMemo->toPlainText().split(QLatin1Char('\n'));
}

std::string MakeRunMap(const ScratchDir& dir, const std::string& name) {
    using namespace std::string_literals;
    return MakeMap(dir, name,
                   {{"war3map.wts", MakeTable({{1, "Footman"}, {2, "Knight"}, {3, "unused"}})},
                    {"war3map.j", "call DisplayText(\"TRIGSTR_001\")\r\n"},
                    {"war3map.w3u", "unam\0TRIGSTR_002\0"s}});
}

QString ToQString(const std::string& bytes) {
    return QString::fromStdString(bytes);
}

} // namespace parlune::test
