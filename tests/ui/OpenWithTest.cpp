// Maps handed to the window from outside: the program's argument and files dropped on the
// window, each taken as if chosen in Select Source, or refused; and the window's icon.

#include "tests/ui/WindowFixture.h"
#include "ui/AboutUnit.h"
#include "window/MainFormBehaviour.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

namespace parlune::test {

namespace {

const QString kStart = QStringLiteral("S+ T- P- D+ C+ A+");
const QString kSourceChosen = QStringLiteral("S+ T+ P- D+ C+ A+");
const QString kRefused = QStringLiteral("Only Warcraft III maps can be loaded!");

// What the window shows after a map was handed to it.
struct Outcome {
    QString states;
    QString log;
    QStringList boxes;
};

Outcome outcomeOf(const WindowFixture& f) {
    QStringList boxes;
    for (const ScriptedModals::Shown& shown : f.modals.shown)
        boxes.append(shown.text);
    return {f.ControlStates(), f.window.LogMemo->toPlainText(), boxes};
}

QString chosenLog(const QString& path) {
    return QStringLiteral("Selected \"%1\" as source file").arg(QDir::toNativeSeparators(path));
}

// Drags files over the window and drops them; returns whether the window took the drag.
bool dropOn(QWidget& window, const QStringList& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& file : files)
        urls.append(QUrl::fromLocalFile(file));
    data.setUrls(urls);
    const QPoint centre = window.rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    QDropEvent drop(QPointF(centre), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    return enter.isAccepted() && drop.isAccepted();
}

} // namespace

class OpenWithTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The argument, a relative path here, is taken as the dialog would hand it over.
    void takesTheMapGivenAsArgument() {
        ScratchDir dir;
        const QString folder = ToQString(dir.Path().string());
        MakeRunMap(dir, "map.w3x");
        WriteFileBytes(dir.File("notes.txt"), "not a map");
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder);
        const struct {
            QStringList arguments;
            Outcome expected;
        } cases[] = {
            {{QStringLiteral("map.w3x")},
             {kSourceChosen, chosenLog(folder + QStringLiteral("/map.w3x")), {}}},
            {{QStringLiteral("notes.txt")},
             {kStart, QString::fromStdString(ReadmeText()), {kRefused}}},
            {{}, {kStart, QString::fromStdString(ReadmeText()), {}}},
        };
        for (const auto& [arguments, expected] : cases) {
            WindowFixture f;
            QVERIFY(f.window.OpenArguments(arguments));
            QTest::qWait(20);
            const Outcome outcome = outcomeOf(f);
            QCOMPARE(outcome.states, expected.states);
            QCOMPARE(outcome.log, expected.log);
            QCOMPARE(outcome.boxes, expected.boxes);
        }
        QDir::setCurrent(previous);
        WindowFixture f;
        QVERIFY(!f.window.OpenArguments({QStringLiteral("a.w3x"), QStringLiteral("b.w3x")}));
    }

    void takesOneDroppedFileAndRefusesTheRest() {
        ScratchDir dir;
        const QString map = ToQString(MakeRunMap(dir, "map.w3x"));
        const QString notes = ToQString(dir.File("notes.txt"));
        const struct {
            QStringList files;
            bool taken;
            Outcome expected;
        } cases[] = {
            {{map}, true, {kSourceChosen, chosenLog(map), {}}},
            {{notes}, true, {kStart, QString::fromStdString(ReadmeText()), {kRefused}}},
            {{map, map}, false, {kStart, QString::fromStdString(ReadmeText()), {}}},
        };
        for (const auto& [files, taken, expected] : cases) {
            WindowFixture f;
            QCOMPARE(dropOn(f.window, files), taken);
            const Outcome outcome = outcomeOf(f);
            QCOMPARE(outcome.states, expected.states);
            QCOMPARE(outcome.log, expected.log);
            QCOMPARE(outcome.boxes, expected.boxes);
        }
    }

    void refusesADropDuringARun() {
        ScratchDir dir;
        const QString source = ToQString(MakeRunMap(dir, "map.w3x"));
        const QString other = ToQString(MakeRunMap(dir, "other.w3x"));
        WindowFixture f;
        f.ChooseSource(source);
        f.ChooseTarget(ToQString(dir.File("target.w3x")));
        bool taken = true;
        QTimer::singleShot(0, &f.window, [&] { taken = dropOn(f.window, {other}); });
        f.Click(f.window.ProcessButton);

        QVERIFY(!taken);
        QCOMPARE(f.window.SourcePath, source.toStdString());
        QVERIFY(!f.window.LogMemo->toPlainText().contains(chosenLog(other)));
        QCOMPARE(f.LogLines().back(), QStringLiteral("Everything done."));
        QCOMPARE(f.ControlStates(), QStringLiteral("S+ T+ P+ D+ C+ A+"));
    }

    void bothWindowsShowTheProgramIcon() {
        WindowFixture f;
        for (const QWidget* window :
             {static_cast<QWidget*>(&f.window), static_cast<QWidget*>(f.window.AboutForm)})
            QCOMPARE(window->windowIcon().availableSizes(), (QList<QSize>{{48, 48}, {256, 256}}));
    }
};

int RunOpenWithTests(int argc, char** argv) {
    OpenWithTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace parlune::test

#include "OpenWithTest.moc"
