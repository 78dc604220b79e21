// Runs started from the main window: the live log, the controls during a run, the error box,
// the compaction's caption, About and closing the window while a run proceeds.

#include "tests/ui/WindowFixture.h"
#include "ui/AboutUnit.h"

#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <filesystem>

namespace parlune::test {

namespace {

using namespace std::string_literals;

const QString kDuringRun = QStringLiteral("S- T- P- D- C- A+");
const QString kAfterRun = QStringLiteral("S+ T+ P+ D+ C+ A+");

const std::string kInlinedScript = "call DisplayText(\"Footman\")\r\n";
const std::string kInlinedUnits = "unam\0Knight\0"s;

// A failing run: what the source map holds and the text its error box shows.
struct FailingRun {
    const char* name;
    std::optional<Members> members; // no archive at all when absent
    QString shown;
};

const FailingRun kFailingRuns[] = {
    {"not an archive", std::nullopt, QStringLiteral("Error opening map file!")},
    {"no string table", Members{{"war3map.j", "call DisplayText(\"TRIGSTR_001\")\r\n"}},
     QStringLiteral("war3map.wts not found inside map!")},
    {"string number not an integer",
     Members{{"war3map.wts", "STRING abc\r\n{\r\nFootman\r\n}\r\n"}},
     QString::fromUtf8("'abc' ist kein g\xC3\xBCltiger Integerwert.")},
    {"string table cut short", Members{{"war3map.wts", "STRING 1\r\n"}},
     QString::fromUtf8("Listenindex \xC3\xBC"
                       "berschreitet das Maximum (1)")},
};

// Calls action from inside the next Log of a run (or whatever handles events next).
template <typename Action> void duringRun(QObject* context, Action action) {
    QTimer::singleShot(0, context, action);
}

QStringList toLines(const std::vector<std::string>& log) {
    QStringList lines;
    for (const std::string& line : log)
        lines.append(ToQString(line));
    return lines;
}

// A map whose verbose run logs thousands of lines: 2000 strings, each inlined once.
std::string makeLongMap(const ScratchDir& dir) {
    std::vector<std::pair<int, std::string>> strings;
    std::string script;
    for (int id = 1; id <= 2000; ++id) {
        strings.emplace_back(id, "Text " + std::to_string(id));
        script += "call X(\"TRIGSTR_" + std::to_string(id) + "\")\r\n";
    }
    return MakeMap(dir, "long.w3x", {{"war3map.wts", MakeTable(strings)}, {"war3map.j", script}});
}

} // namespace

class RunWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void logsAWholeRunStartedWithEnter() {
        ScratchDir dir;
        const std::string source = MakeRunMap(dir, "map.w3x");
        const std::string target = dir.File("inlined.w3x");
        WindowFixture f;
        f.Click(f.window.VerboseCheck);
        f.ChooseSource(ToQString(source));
        f.ChooseTarget(ToQString(target));

        QString statesDuringRun;
        QStringList logAtFirstLine;
        duringRun(&f.window, [&] {
            statesDuringRun = f.ControlStates();
            logAtFirstLine = f.LogLines();
        });
        f.window.LogMemo->setFocus();
        QTest::keyClick(f.window.LogMemo, Qt::Key_Return);

        QCOMPARE(statesDuringRun, kDuringRun);
        QCOMPARE(logAtFirstLine.size(), 3);
        QCOMPARE(logAtFirstLine.back(), QStringLiteral("Extracting files from map..."));
        QCOMPARE(f.ControlStates(), kAfterRun);
        QVERIFY(f.modals.shown.size() == 2);
        QCOMPARE(ReadMember(target, "war3map.j"), kInlinedScript);
        QCOMPARE(ReadMember(target, "war3map.w3u"), kInlinedUnits);

        // The same run hosted without the window writes the same lines.
        RecordingProcessor expected;
        expected.verbose = true;
        expected.SourcePath = source;
        expected.TargetPath = target;
        QCOMPARE(expected.RunCatching(), std::string());
        const QStringList selection = {
            QStringLiteral("Selected \"%1\" as source file").arg(ToQString(source)),
            QStringLiteral("Selected \"%1\" as target file").arg(ToQString(target))};
        QCOMPARE(f.LogLines(), selection + toLines(expected.log));
        QVERIFY(expected.log.size() > 20);
        QCOMPARE(expected.log.back(), "Everything done."s);
        QVERIFY(expected.Transcript().find("          Found string 3\n") != std::string::npos);
    }

    // Lines reach the view in batches during a run; every one of them arrives, in order, and
    // the view ends scrolled to the last.
    void showsEveryLineOfALongRun() {
        ScratchDir dir;
        const std::string source = makeLongMap(dir);
        const std::string target = dir.File("target.w3x");
        WindowFixture f;
        f.Click(f.window.VerboseCheck);
        f.Click(f.window.NoCompactCheck);
        f.ChooseSource(ToQString(source));
        f.ChooseTarget(ToQString(target));
        f.Click(f.window.ProcessButton);

        RecordingProcessor expected;
        expected.verbose = true;
        expected.noCompact = true;
        expected.SourcePath = source;
        expected.TargetPath = dir.File("expected.w3x");
        QCOMPARE(expected.RunCatching(), std::string());
        QVERIFY(expected.log.size() > 4000);
        QCOMPARE(f.LogLines().mid(2), toLines(expected.log));
        const QScrollBar* bar = f.window.LogMemo->verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum());
    }

    // Whenever the window handles events during a run, the view holds every line logged so far
    // except, perhaps, the latest detail lines.
    void holdsBackOnlyDetailLines() {
        ScratchDir dir;
        const std::string source = makeLongMap(dir);
        WindowFixture f;
        f.Click(f.window.VerboseCheck);
        f.ChooseSource(ToQString(source));
        f.ChooseTarget(ToQString(dir.File("target.w3x")));

        int samples = 0;
        int samplesWithHeldLines = 0;
        QStringList failures;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, &f.window, [&] {
            ++samples;
            const QTextDocument& view = *f.window.LogMemo->document();
            const QStringList& logged = f.window.logged;
            const qsizetype shown = view.blockCount();
            if (view.lastBlock().text() != logged.value(shown - 1))
                failures.append(QStringLiteral("the view's last line is not in its place"));
            for (const QString& held : logged.mid(shown))
                if (!held.startsWith(QString(10, QLatin1Char(' '))))
                    failures.append(QStringLiteral("held back: ") + held);
            samplesWithHeldLines += shown < logged.size() ? 1 : 0;
        });
        sampler.start(0);
        f.Click(f.window.ProcessButton);
        sampler.stop();

        QCOMPARE(failures, QStringList());
        QVERIFY(samples > 4000);
        QVERIFY(samplesWithHeldLines > 0);
        QCOMPARE(f.LogLines(), f.window.logged);
        QCOMPARE(f.LogLines().back(), QStringLiteral("Everything done."));
    }

    void showsAFailureInTheErrorBox_data() {
        QTest::addColumn<int>("row");
        for (int row = 0; row < static_cast<int>(std::size(kFailingRuns)); ++row)
            QTest::newRow(kFailingRuns[row].name) << row;
    }

    void showsAFailureInTheErrorBox() {
        QFETCH(int, row);
        const FailingRun& run = kFailingRuns[row];
        ScratchDir dir;
        const std::string source =
            run.members ? MakeMap(dir, "map.w3x", *run.members) : dir.File("map.w3x");
        if (!run.members)
            WriteFileBytes(source, "not a map");
        const std::string target = dir.File("target.w3x");
        WindowFixture f;
        f.ChooseSource(ToQString(source));
        f.ChooseTarget(ToQString(target));
        const QStringList logBefore = f.LogLines();
        f.Click(f.window.ProcessButton);

        QCOMPARE(f.modals.shown.size(), std::size_t{3});
        const ScriptedModals::Shown& box = f.modals.shown.back();
        QCOMPARE(box.dialog, QStringLiteral("QMessageBox"));
        QCOMPARE(box.caption, QStringLiteral("Parlune 1.0.2"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.text, run.shown);
        QVERIFY(box.runControlsEnabled);
        QCOMPARE(f.ControlStates(), kAfterRun);
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Parlune 1.0.2"));
        QCOMPARE(f.LogLines().mid(0, 2), logBefore);
        QCOMPARE(f.LogLines().value(2), QStringLiteral("Extracting files from map..."));
        QVERIFY(!f.window.LogMemo->toPlainText().contains(run.shown.chopped(1)));
        QVERIFY(!std::filesystem::exists(target));
    }

    void showsTheCompactionInTheCaption() {
        ScratchDir dir;
        const std::string source = MakeRunMap(dir, "map.w3x");
        WindowFixture f;
        f.ChooseSource(ToQString(source));
        f.ChooseTarget(ToQString(dir.File("target.w3x")));
        QStringList captions;
        QStringList logWhenCaptionChanged;
        connect(&f.window, &QWidget::windowTitleChanged, &f.window, [&](const QString& title) {
            captions.append(title);
            logWhenCaptionChanged.append(f.LogLines().back());
        });
        f.Click(f.window.ProcessButton);

        QVERIFY(captions.size() >= 2);
        const QRegularExpression progress(
            QStringLiteral("^Parlune 1\\.0\\.2 - compacting (100|[1-9]?[0-9])%$"));
        for (const QString& caption : captions.mid(0, captions.size() - 1))
            QVERIFY2(progress.match(caption).hasMatch(), qPrintable(caption));
        QCOMPARE(logWhenCaptionChanged.front(), QStringLiteral("Compacting new map file..."));
        QCOMPARE(captions.back(), QStringLiteral("Parlune 1.0.2"));
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Parlune 1.0.2"));
        QCOMPARE(f.LogLines().back(), QStringLiteral("Everything done."));

        captions.clear();
        f.Click(f.window.NoCompactCheck);
        f.Click(f.window.ProcessButton);
        QCOMPARE(captions, QStringList());
        QCOMPARE(f.LogLines().back(), QStringLiteral("Everything done."));
    }

    void aboutPausesTheRunWhileItIsOpen() {
        ScratchDir dir;
        const std::string source = MakeRunMap(dir, "map.w3x");
        const std::string target = dir.File("target.w3x");
        WindowFixture f;
        f.ChooseSource(ToQString(source));
        f.ChooseTarget(ToQString(target));

        int linesWhenOpened = -1;
        int linesWhileOpen = -1;
        int linesWhenClosed = -1;
        bool modal = false;
        QString statesWhileOpen;
        duringRun(&f.window, [&] {
            QTimer::singleShot(200, &f.window, [&] {
                modal = QApplication::activeModalWidget() == f.window.AboutForm;
                linesWhileOpen = f.window.LogMemo->blockCount();
                statesWhileOpen = f.ControlStates();
                f.Click(f.window.AboutForm->CloseButton);
            });
            linesWhenOpened = f.window.LogMemo->blockCount();
            f.Click(f.window.AboutButton);
            linesWhenClosed = f.window.LogMemo->blockCount();
        });
        f.Click(f.window.ProcessButton);

        QVERIFY(modal);
        QCOMPARE(linesWhenOpened, 3);
        QCOMPARE(linesWhileOpen, linesWhenOpened);
        QCOMPARE(linesWhenClosed, linesWhenOpened);
        QCOMPARE(statesWhileOpen, kDuringRun);
        QVERIFY(!f.window.AboutForm->isVisible());
        QCOMPARE(f.LogLines().back(), QStringLiteral("Everything done."));
        QCOMPARE(ReadMember(target, "war3map.j"), kInlinedScript);
        QCOMPARE(f.ControlStates(), kAfterRun);
    }

    void closingDuringARunFinishesItThenQuits() {
        ScratchDir dir;
        const std::string source = MakeRunMap(dir, "map.w3x");
        const std::string target = dir.File("target.w3x");
        WindowFixture f;
        f.ChooseSource(ToQString(source));
        f.ChooseTarget(ToQString(target));

        bool openAfterCloseRequest = false;
        bool targetThereAtCloseRequest = true;
        QTimer::singleShot(0, &f.window, [&] {
            duringRun(&f.window, [&] {
                f.window.close();
                openAfterCloseRequest = f.window.isVisible();
                targetThereAtCloseRequest = std::filesystem::exists(target);
            });
            f.Click(f.window.ProcessButton);
        });
        // Should the window never close, the test ends here instead of hanging.
        QTimer giveUp;
        giveUp.setSingleShot(true);
        connect(&giveUp, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
        giveUp.start(30000);
        const int exitCode = QApplication::exec();

        QCOMPARE(exitCode, 0);
        QVERIFY(openAfterCloseRequest);
        QVERIFY(!targetThereAtCloseRequest);
        QVERIFY(!f.window.isVisible());
        QCOMPARE(f.LogLines().back(), QStringLiteral("Everything done."));
        QCOMPARE(ReadMember(target, "war3map.j"), kInlinedScript);
        QCOMPARE(ReadMember(target, "war3map.w3u"), kInlinedUnits);
    }

    void closingWhenIdleClosesAtOnce() {
        WindowFixture f;
        QVERIFY(f.window.close());
        QVERIFY(!f.window.isVisible());
    }
};

int RunRunWindowTests(int argc, char** argv) {
    RunWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace parlune::test

#include "RunWindowTest.moc"
