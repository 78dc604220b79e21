// The About box: its caption, frame, panel, labels and button, and how the main window
// shows it.

#include "tests/ui/WindowFixture.h"
#include "ui/AboutUnit.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace parlune::test {

class AboutBoxTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void hasItsCaptionFrameAndControls() {
        TAboutForm about;
        QCOMPARE(about.windowTitle(), QStringLiteral("AboutForm"));
        QCOMPARE(about.size(), QSize(192, 104));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        const Qt::WindowFlags flags = about.windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
        QCOMPARE(about.font().families().value(0), QStringLiteral("Tahoma"));
        QCOMPARE(about.font().pointSize(), 8);

        QCOMPARE(about.AboutPanel->geometry(), QRect(0, 0, 192, 65));
        QVERIFY(about.AboutPanel->autoFillBackground());
        QCOMPARE(about.AboutPanel->palette().color(QPalette::Window), QColor(Qt::white));

        const struct {
            const QLabel* label;
            QRect place;
            int pointSize;
            bool bold;
            QColor colour;
        } labels[] = {
            {about.TitleLabel, {0, 8, 192, 19}, 12, true, QColor(0, 0, 128)},
            {about.AuthorLabel, {0, 28, 192, 13}, 8, true, QColor(255, 140, 0)},
            {about.LibraryLabel,
             {0, 48, 192, 13},
             8,
             false,
             about.palette().color(QPalette::WindowText)},
        };
        for (const auto& [label, place, pointSize, bold, colour] : labels) {
            QCOMPARE(label->parentWidget(), about.AboutPanel);
            QCOMPARE(label->geometry(), place);
            QVERIFY(label->alignment().testFlag(Qt::AlignHCenter));
            QCOMPARE(label->font().families().value(0), QStringLiteral("Tahoma"));
            QCOMPARE(label->font().pointSize(), pointSize);
            QCOMPARE(label->font().bold(), bold);
            QCOMPARE(label->palette().color(QPalette::WindowText), colour);
            QVERIFY(!label->text().isEmpty());
        }
        QCOMPARE(about.TitleLabel->text(), QStringLiteral("Parlune"));

        QCOMPARE(about.CloseButton->geometry(), QRect(8, 73, 177, 23));
        QCOMPARE(about.CloseButton->text(), QStringLiteral("&Close"));
        QVERIFY(about.CloseButton->isDefault());
    }

    void opensModallyCentredOverTheMainWindow() {
        WindowFixture f;
        f.window.move(150, 100);
        bool modal = false;
        QPoint aboutCentre;
        QWidget* focus = nullptr;
        QTimer::singleShot(0, &f.window, [&] {
            modal = QApplication::activeModalWidget() == f.window.AboutForm;
            aboutCentre = f.window.AboutForm->geometry().center();
            focus = f.window.AboutForm->focusWidget();
            QTest::keyClick(f.window.AboutForm, Qt::Key_Return);
        });
        f.Click(f.window.AboutButton);

        QVERIFY(modal);
        QVERIFY((aboutCentre - f.window.geometry().center()).manhattanLength() <= 2);
        QCOMPARE(focus, f.window.AboutForm->CloseButton);
        QVERIFY(!f.window.AboutForm->isVisible());
    }

    void closesWithItsButtonAndAccelerator() {
        WindowFixture f;
        int closings = 0;
        connect(f.window.AboutForm, &QDialog::finished, &f.window, [&] { ++closings; });
        QTimer::singleShot(0, &f.window, [&] { f.Click(f.window.AboutForm->CloseButton); });
        f.Click(f.window.AboutButton);
        QTimer::singleShot(0, &f.window, [&] {
            // The accelerator needs the box active; should it never be, the box still closes.
            QTimer::singleShot(5000, f.window.AboutForm, &QDialog::reject);
            if (QTest::qWaitForWindowActive(f.window.AboutForm))
                QTest::keyClick(f.window.AboutForm, Qt::Key_C, Qt::AltModifier);
        });
        f.Click(f.window.AboutButton);
        QCOMPARE(closings, 2);
        QVERIFY(!f.window.AboutForm->isVisible());
    }
};

int RunAboutBoxTests(int argc, char** argv) {
    AboutBoxTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace parlune::test

#include "AboutBoxTest.moc"
