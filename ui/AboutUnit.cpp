#include "ui/AboutUnit.h"

#include "Version.h"
#include "ui/MainFormBehaviour.h"
#include "ui/ProgramIcon.h"

#include <QLabel>
#include <QPushButton>

namespace parlune {

namespace {

constexpr int kPanelHeight = 65;
const QColor kTitleColour(0, 0, 128);
const QColor kAuthorColour(255, 140, 0);

QFont tahoma(int pointSize, bool bold) {
    QFont font(QStringLiteral("Tahoma"), pointSize, bold ? QFont::Bold : QFont::Normal);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace

TAboutForm::TAboutForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      AboutPanel(new QWidget(this)),
      TitleLabel(new QLabel(QString::fromUtf8(kAboutTitle), AboutPanel)),
      AuthorLabel(new QLabel(QString::fromUtf8(kAuthorCredit), AboutPanel)),
      LibraryLabel(new QLabel(QString::fromUtf8(kLibraryCredit), AboutPanel)),
      CloseButton(new QPushButton(QStringLiteral("&Close"), this)) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("AboutForm"));
    setWindowIcon(ProgramIcon());
    setFont(tahoma(8, false));
    setFixedSize(kClientSize);

    AboutPanel->setObjectName(QStringLiteral("AboutPanel"));
    AboutPanel->setGeometry(0, 0, kClientSize.width(), kPanelHeight);
    AboutPanel->setAutoFillBackground(true);
    QPalette white = AboutPanel->palette();
    white.setColor(QPalette::Window, Qt::white);
    AboutPanel->setPalette(white);

    setUpLabel(TitleLabel, "TitleLabel", {0, 8, 192, 19}, tahoma(12, true), kTitleColour);
    TitleLabel->setToolTip(QString::fromUtf8(kProgramTitle));
    setUpLabel(AuthorLabel, "AuthorLabel", {0, 28, 192, 13}, tahoma(8, true), kAuthorColour);
    setUpLabel(LibraryLabel, "LibraryLabel", {0, 48, 192, 13}, font(),
               palette().color(QPalette::WindowText));

    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    CloseButton->setGeometry(8, 73, 177, 23);
    CloseButton->setDefault(true);
    CloseButton->setFocus();
    connect(CloseButton, &QPushButton::clicked, this, [this] { CloseButtonClick(); });
}

void TAboutForm::CloseButtonClick() {
    accept();
}

// The labels keep their size and centre their text.
void TAboutForm::setUpLabel(QLabel* label, const char* name, const QRect& place, const QFont& font,
                            const QColor& colour) {
    label->setObjectName(QLatin1String(name));
    label->setGeometry(place);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

// The panel stretches with the box's width.
void TAboutForm::resizeEvent(QResizeEvent* event) {
    AboutPanel->resize(width(), kPanelHeight);
    QDialog::resizeEvent(event);
}

} // namespace parlune
