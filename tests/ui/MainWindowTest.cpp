// The main window without runs: layout, README, choosing source and target, the extension
// check, the dialogs' set-up, focus order and accelerators.

#include "tests/ui/WindowFixture.h"
#include "ui/AboutUnit.h"
#include "window/MainFormBehaviour.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

namespace parlune::test {

namespace {

const QString kStart = QStringLiteral("S+ T- P- D+ C+ A+");
const QString kSourceChosen = QStringLiteral("S+ T+ P- D+ C+ A+");
const QString kTargetChosen = QStringLiteral("S+ T+ P+ D+ C+ A+");

QString sourceLine(const QString& path) {
    return QStringLiteral("Selected \"%1\" as source file").arg(path);
}

QString targetLine(const QString& path) {
    return QStringLiteral("Selected \"%1\" as target file").arg(path);
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startsWithCaptionSizeAndLayout() {
        WindowFixture f;
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Parlune 1.0.2"));
        // The offscreen platform draws a frame of 2 pixels on each side.
        QCOMPARE(f.window.frameGeometry().size(), QSize(600, 400));
        QCOMPARE(f.window.size(), QSize(596, 396));
        QCOMPARE(f.window.minimumSize(), QSize(596, 396));
        QCOMPARE(f.window.LogMemo->geometry(), QRect(8, 8, 580, 349));
        QCOMPARE(f.window.ControlsPanel->geometry(), QRect(8, 357, 580, 31));

        const struct {
            QAbstractButton* control;
            QRect place;
            QString text;
        } controls[] = {
            {f.window.SourceButton, {0, 8, 90, 23}, QStringLiteral("Select &Source...")},
            {f.window.TargetButton, {98, 8, 90, 23}, QStringLiteral("Select &Target...")},
            {f.window.ProcessButton, {196, 8, 90, 23}, QStringLiteral("&Process")},
            {f.window.VerboseCheck, {294, 11, 89, 17}, QStringLiteral("&Debug output")},
            {f.window.NoCompactCheck, {384, 11, 97, 17}, QStringLiteral("Do not &compact")},
            {f.window.AboutButton, {490, 8, 90, 23}, QStringLiteral("&About...")},
        };
        for (const auto& [control, place, text] : controls) {
            QCOMPARE(control->parentWidget(), f.window.ControlsPanel);
            QCOMPARE(control->geometry(), place);
            QCOMPARE(control->text(), text);
        }
        QVERIFY(f.window.ProcessButton->isDefault());
        QVERIFY(!f.window.VerboseCheck->isChecked());
        QVERIFY(!f.window.NoCompactCheck->isChecked());
        QCOMPARE(f.ControlStates(), kStart);
    }

    void keepsAboutAtTheRightEdgeAndTheMinimumSize() {
        WindowFixture f;
        f.window.resize(800, 500);
        QCOMPARE(f.window.LogMemo->geometry(), QRect(8, 8, 784, 453));
        QCOMPARE(f.window.ControlsPanel->geometry(), QRect(8, 461, 784, 31));
        QCOMPARE(f.window.AboutButton->geometry(), QRect(694, 8, 90, 23));
        QCOMPARE(f.window.SourceButton->geometry(), QRect(0, 8, 90, 23));
        f.window.resize(300, 200);
        QCOMPARE(f.window.frameGeometry().size(), QSize(600, 400));
        QCOMPARE(f.window.AboutButton->geometry(), QRect(490, 8, 90, 23));
    }

    void asksForTheClassicFontsAtEightPoint() {
        WindowFixture f;
        const struct {
            const QWidget* widget;
            QString family;
        } fonts[] = {
            {&f.window, QStringLiteral("Microsoft Sans Serif")},
            {f.window.SourceButton, QStringLiteral("Microsoft Sans Serif")},
            {f.window.VerboseCheck, QStringLiteral("Microsoft Sans Serif")},
            {f.window.LogMemo, QStringLiteral("Tahoma")},
        };
        for (const auto& [widget, family] : fonts) {
            QCOMPARE(widget->font().families().value(0), family);
            QCOMPARE(widget->font().pointSize(), 8);
            QCOMPARE(QFontInfo(widget->font()).pointSize(), 8);
        }
    }

    void presetsTheReadmeWordWrapped() {
        WindowFixture f;
        const QStringList lines = f.LogLines();
        QCOMPARE(lines.size(), 33);
        QCOMPARE(f.window.LogMemo->toPlainText(), QString::fromStdString(ReadmeText()));
        const QString rule(27, QLatin1Char('-'));
        const std::pair<int, QString> fixedLines[] = {
            {0, QStringLiteral("README")},
            {1, rule},
            {3, QStringLiteral("Welcome!")},
            {17, QStringLiteral("CHANGELOG")},
            {18, rule},
            {20, QStringLiteral("Changes in 1.0.2")},
            {27, QStringLiteral("  - Minor fixes.")},
            {29, QStringLiteral("Changes in 1.0.1")},
            {32, QStringLiteral("  - Minor fixes.")},
        };
        for (const auto& [index, text] : fixedLines)
            QCOMPARE(lines[index], text);
        for (int index : {2, 4, 6, 8, 10, 12, 14, 16, 19, 28})
            QVERIFY2(lines[index].isEmpty(), qPrintable(QString::number(index)));
        for (int index = 21; index < 33; ++index)
            QVERIFY(index == 28 || index == 29 || lines[index].startsWith(QStringLiteral("  - ")));
        QCOMPARE(f.window.LogMemo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QVERIFY(f.window.LogMemo->isReadOnly());
        QCOMPARE(f.window.LogMemo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(f.window.LogMemo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }

    void walksTheStatesOfChoosingSourceAndTarget() {
        ScratchDir dir;
        const QString first = ToQString(MakeRunMap(dir, "first.w3x"));
        const QString second = ToQString(MakeRunMap(dir, "second.w3m"));
        const QString target = ToQString(dir.File("target.w3x"));
        WindowFixture f;

        f.ChooseSource(first);
        QCOMPARE(f.ControlStates(), kSourceChosen);
        QCOMPARE(f.LogLines(), QStringList{sourceLine(first)});
        QCOMPARE(f.window.SourcePath, first.toStdString());

        f.ChooseTarget(target);
        QCOMPARE(f.ControlStates(), kTargetChosen);
        QCOMPARE(f.LogLines(), (QStringList{sourceLine(first), targetLine(target)}));
        QCOMPARE(f.window.TargetPath, target.toStdString());

        f.ChooseTarget(first);
        QCOMPARE(f.ControlStates(), kTargetChosen);
        QCOMPARE(f.LogLines(),
                 (QStringList{sourceLine(first), targetLine(target), targetLine(first)}));

        f.ChooseSource(second);
        QCOMPARE(f.ControlStates(), kSourceChosen);
        QCOMPARE(f.LogLines(), QStringList{sourceLine(second)});
        QCOMPARE(f.window.SourcePath, second.toStdString());
        QVERIFY(f.modals.AllAnswered());
    }

    void rejectsFilesThatAreNotMaps_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("capital extension") << QStringLiteral("Map.W3X");
        QTest::newRow("mixed case") << QStringLiteral("Map.w3M");
        QTest::newRow("other extension") << QStringLiteral("Map.w3n");
        QTest::newRow("no extension") << QStringLiteral("w3x");
        QTest::newRow("map extension not last") << QStringLiteral("Map.w3x.bak");
        QTest::newRow("dot only in the folder") << QStringLiteral("maps.w3x/Map");
    }

    void rejectsFilesThatAreNotMaps() {
        QFETCH(QString, name);
        ScratchDir dir;
        const QString source = ToQString(MakeRunMap(dir, "good.w3x"));
        const QString target = ToQString(dir.File("target.w3x"));
        const QString rejected = QDir(ToQString(dir.Path().string())).filePath(name);
        QDir().mkpath(QFileInfo(rejected).path());
        WriteFileBytes(rejected.toStdString(), "not a map");
        WindowFixture f;
        f.ChooseSource(source);
        f.ChooseTarget(target);
        const QString logBefore = f.window.LogMemo->toPlainText();
        const QStringList saveFiltersBefore = f.window.SaveDialog->nameFilters();

        f.ChooseSource(rejected);
        QCOMPARE(f.modals.shown.size(), std::size_t{4});
        const ScriptedModals::Shown& box = f.modals.shown.back();
        QCOMPARE(box.dialog, QStringLiteral("QMessageBox"));
        QCOMPARE(box.text, QStringLiteral("Only Warcraft III maps can be loaded!"));
        QCOMPARE(box.caption, QStringLiteral("Error"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(f.window.SourcePath, source.toStdString());
        QCOMPARE(f.window.TargetPath, target.toStdString());
        QCOMPARE(f.window.LogMemo->toPlainText(), logBefore);
        QCOMPARE(f.window.SaveDialog->nameFilters(), saveFiltersBefore);
        QCOMPARE(f.ControlStates(), kTargetChosen);
    }

    void rejectingTheFirstSourceKeepsTheReadme() {
        WindowFixture f;
        f.ChooseSource(QStringLiteral("/maps/Map.W3M"));
        QCOMPARE(f.modals.shown.back().text,
                 QStringLiteral("Only Warcraft III maps can be loaded!"));
        QCOMPARE(f.window.LogMemo->toPlainText(), QString::fromStdString(ReadmeText()));
        QCOMPARE(f.window.LogMemo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(f.ControlStates(), kStart);
        QVERIFY(f.window.SourcePath.empty());
    }

    void takesTheExtensionFromTheNamePart_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("extension");
        QTest::newRow("plain") << "Map.w3x"
                               << ".w3x";
        QTest::newRow("two dots") << "My.Map.w3m"
                                  << ".w3m";
        QTest::newRow("no dot") << "Map"
                                << "";
        QTest::newRow("dot last") << "Map."
                                  << ".";
        QTest::newRow("backslash") << "C:\\Maps.old\\Map"
                                   << "";
        QTest::newRow("colon") << "C:Map.w3x"
                               << ".w3x";
        QTest::newRow("dot before colon") << "a.b:Map"
                                          << "";
        QTest::newRow("slash") << "/home/me/maps.d/Map"
                               << "";
        QTest::newRow("slash and extension") << "/home/me/maps.d/Map.W3X"
                                             << ".W3X";
        QTest::newRow("hidden file") << "/maps/.w3x"
                                     << ".w3x";
    }

    void takesTheExtensionFromTheNamePart() {
        QFETCH(QString, fileName);
        QFETCH(QString, extension);
        QCOMPARE(QString::fromStdString(FileExtension(fileName.toStdString())), extension);
    }

    void cancelledDialogsChangeNothing() {
        ScratchDir dir;
        const QString source = ToQString(MakeRunMap(dir, "map.w3x"));
        WindowFixture f;
        f.modals.AnswerCancel();
        f.Click(f.window.SourceButton);
        QCOMPARE(f.window.LogMemo->toPlainText(), QString::fromStdString(ReadmeText()));
        QCOMPARE(f.ControlStates(), kStart);
        QVERIFY(f.window.SourcePath.empty());

        f.ChooseSource(source);
        f.modals.AnswerCancel();
        f.Click(f.window.TargetButton);
        QCOMPARE(f.LogLines(), QStringList{sourceLine(source)});
        QCOMPARE(f.ControlStates(), kSourceChosen);
        QVERIFY(f.window.TargetPath.empty());

        f.ChooseTarget(source);
        f.modals.AnswerCancel();
        f.Click(f.window.SourceButton);
        QCOMPARE(f.LogLines(), (QStringList{sourceLine(source), targetLine(source)}));
        QCOMPARE(f.ControlStates(), kTargetChosen);

        QCOMPARE(f.modals.shown.size(), std::size_t{5});
        for (const ScriptedModals::Shown& shown : f.modals.shown)
            QVERIFY(shown.dialog != QStringLiteral("QMessageBox"));
    }

    void setsUpTheFileDialogs() {
        ScratchDir dir;
        const QString reignMap = ToQString(MakeRunMap(dir, "reign.w3m"));
        const QString throneMap = ToQString(MakeRunMap(dir, "throne.w3x"));
        WindowFixture f;
        const QFileDialog& open = *f.window.OpenDialog;
        QCOMPARE(open.acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(open.fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(open.nameFilters(),
                 (QStringList{QStringLiteral("Warcraft III Maps (*.w3m *.w3x)"),
                              QStringLiteral("Warcraft III Frozen Throne Maps (*.w3x)"),
                              QStringLiteral("Warcraft III Reign of Chaos Maps (*.w3m)")}));
        const QFileDialog& save = *f.window.SaveDialog;
        QCOMPARE(save.acceptMode(), QFileDialog::AcceptSave);
        QVERIFY(!save.testOption(QFileDialog::DontConfirmOverwrite));

        f.ChooseSource(reignMap);
        QCOMPARE(save.nameFilters(),
                 QStringList{QStringLiteral("Warcraft III Reign of Chaos Map (*.w3m)")});
        QCOMPARE(save.defaultSuffix(), QStringLiteral("w3m"));
        QCOMPARE(save.selectedFiles(), QStringList{reignMap});

        f.ChooseSource(throneMap);
        QCOMPARE(save.nameFilters(),
                 QStringList{QStringLiteral("Warcraft III Frozen Throne Map (*.w3x)")});
        QCOMPARE(save.defaultSuffix(), QStringLiteral("w3x"));
        QCOMPARE(save.selectedFiles(), QStringList{throneMap});

        f.modals.AnswerAsIs();
        f.Click(f.window.TargetButton);
        QCOMPARE(f.window.TargetPath, throneMap.toStdString());
        QCOMPARE(f.LogLines().back(), targetLine(throneMap));
        QCOMPARE(f.modals.shown.back().dialog, QStringLiteral("SaveDialog"));
    }

    void convertsFilters() {
        QCOMPARE(NameFilters(QStringLiteral("A|*.a;*.b|B|*.b")),
                 (QStringList{QStringLiteral("A (*.a *.b)"), QStringLiteral("B (*.b)")}));
        QCOMPARE(NameFilters(QString()), QStringList());
    }

    void removesTheReadmeForGood() {
        ScratchDir dir;
        const QString first = ToQString(MakeRunMap(dir, "first.w3x"));
        const QString second = ToQString(MakeRunMap(dir, "second.w3x"));
        WindowFixture f;
        f.ChooseSource(first);
        QCOMPARE(f.LogLines(), QStringList{sourceLine(first)});
        QCOMPARE(f.window.LogMemo->lineWrapMode(), QPlainTextEdit::NoWrap);

        f.ChooseSource(QStringLiteral("/maps/Map.txt"));
        f.modals.AnswerCancel();
        f.Click(f.window.SourceButton);
        f.ChooseSource(second);
        QCOMPARE(f.LogLines(), QStringList{sourceLine(second)});
        QCOMPARE(f.window.LogMemo->lineWrapMode(), QPlainTextEdit::NoWrap);
        QVERIFY(!f.window.LogMemo->toPlainText().contains(QStringLiteral("README")));
    }

    void tabMovesThroughThePanelInItsOwnOrder() {
        ScratchDir dir;
        const QString source = ToQString(MakeRunMap(dir, "map.w3x"));
        WindowFixture f;
        f.ChooseSource(source);
        f.ChooseTarget(source);
        f.window.LogMemo->setFocus();
        QCOMPARE(QApplication::focusWidget(), f.window.LogMemo);
        const QWidget* const order[] = {
            f.window.TargetButton, f.window.AboutButton,   f.window.VerboseCheck,
            f.window.SourceButton, f.window.ProcessButton, f.window.NoCompactCheck,
            f.window.LogMemo,
        };
        for (const QWidget* expected : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), expected->objectName());
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), f.window.NoCompactCheck);
    }

    void tabSkipsTheDisabledControlsAtStart() {
        WindowFixture f;
        QCOMPARE(QApplication::focusWidget(), f.window.SourceButton);
        const QWidget* const order[] = {f.window.NoCompactCheck, f.window.LogMemo,
                                        f.window.AboutButton, f.window.VerboseCheck,
                                        f.window.SourceButton};
        for (const QWidget* expected : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), expected->objectName());
        }
    }

    // An accelerator presses its control the way a key press does: released a moment later.
    void acceleratorsPressTheirControls() {
        ScratchDir dir;
        const QString source = ToQString(MakeRunMap(dir, "map.w3x"));
        WindowFixture f;
        QTest::keyClick(&f.window, Qt::Key_D, Qt::AltModifier);
        QTRY_VERIFY(f.window.VerboseCheck->isChecked());
        QVERIFY(f.window.Verbose());
        QTest::keyClick(&f.window, Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(f.window.NoCompactCheck->isChecked());
        QVERIFY(f.window.NoCompact());

        f.modals.AnswerFile(source);
        QTest::keyClick(&f.window, Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(f.modals.shown.size(), std::size_t{1});
        QCOMPARE(f.modals.shown.back().dialog, QStringLiteral("OpenDialog"));
        QCOMPARE(f.LogLines(), QStringList{sourceLine(source)});

        f.modals.AnswerFile(source);
        QTest::keyClick(&f.window, Qt::Key_T, Qt::AltModifier);
        QTRY_COMPARE(f.modals.shown.size(), std::size_t{2});
        QCOMPARE(f.modals.shown.back().dialog, QStringLiteral("SaveDialog"));
        QCOMPARE(f.ControlStates(), kTargetChosen);

        QTest::keyClick(&f.window, Qt::Key_P, Qt::AltModifier);
        QTRY_COMPARE(f.LogLines().back(), QStringLiteral("Everything done."));

        bool aboutShown = false;
        f.WhenAboutShows([&] {
            aboutShown = true;
            f.window.AboutForm->reject();
        });
        QTest::keyClick(&f.window, Qt::Key_A, Qt::AltModifier);
        QTRY_VERIFY(aboutShown);
        QVERIFY(!f.window.AboutForm->isVisible());
    }

    void logAppendsScrollsAndHandlesPendingEvents() {
        WindowFixture f;
        for (int i = 0; i < 200; ++i)
            f.window.Log("line " + std::to_string(i));
        QCOMPARE(f.window.LogMemo->blockCount(), 233);
        QCOMPARE(f.LogLines().back(), QStringLiteral("line 199"));
        const QScrollBar* bar = f.window.LogMemo->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());

        bool handled = false;
        QTimer::singleShot(0, &f.window, [&] { handled = true; });
        f.window.Log("one more");
        QVERIFY(handled);
    }
};

int RunMainWindowTests(int argc, char** argv) {
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace parlune::test

#include "MainWindowTest.moc"
