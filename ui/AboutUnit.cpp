#include "ui/AboutUnit.h"

#include "Version.h"
#include "ui/ProgramIcon.h"
#include "window/FormLayout.h"

#include <QLabel>
#include <QPushButton>

namespace parlune {

namespace {

QFont aboutFont(int pointSize, bool bold) {
    QFont font(QString::fromUtf8(kAboutFont), pointSize, bold ? QFont::Bold : QFont::Normal);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QColor qtColour(Colour colour) {
    return QColor(colour.red, colour.green, colour.blue);
}

} // namespace

TAboutForm::TAboutForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      AboutPanel(new QWidget(this)), TitleLabel(new QLabel(AboutPanel)),
      AuthorLabel(new QLabel(AboutPanel)), LibraryLabel(new QLabel(AboutPanel)),
      CloseButton(new QPushButton(QString::fromUtf8(kCloseCaption), this)) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QString::fromUtf8(kAboutCaption));
    setWindowIcon(ProgramIcon());
    setFont(aboutFont(kFontPoints, false));
    setFixedSize(kClientSize);

    AboutPanel->setObjectName(QStringLiteral("AboutPanel"));
    AboutPanel->setGeometry(0, 0, kClientSize.width(), kAboutPanelHeight);
    AboutPanel->setAutoFillBackground(true);
    QPalette white = AboutPanel->palette();
    white.setColor(QPalette::Window, qtColour(kAboutPanelColour));
    AboutPanel->setPalette(white);

    QLabel* const labels[] = {TitleLabel, AuthorLabel, LibraryLabel};
    for (std::size_t i = 0; i < std::size(labels); ++i)
        setUpLabel(labels[i], kAboutLabels[i]);
    TitleLabel->setToolTip(QString::fromUtf8(kProgramTitle));

    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    CloseButton->setGeometry(kClosePlace.left, kClosePlace.top, kClosePlace.width,
                             kClosePlace.height);
    CloseButton->setDefault(true);
    CloseButton->setFocus();
    connect(CloseButton, &QPushButton::clicked, this, [this] { CloseButtonClick(); });
}

void TAboutForm::CloseButtonClick() {
    accept();
}

// The labels keep their size and centre their text.
void TAboutForm::setUpLabel(QLabel* label, const AboutLabel& layout) {
    label->setObjectName(QLatin1String(layout.name));
    label->setText(QString::fromUtf8(layout.text));
    label->setGeometry(layout.place.left, layout.place.top, layout.place.width,
                       layout.place.height);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setFont(aboutFont(layout.points, layout.bold));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, layout.coloured
                                               ? qtColour(layout.colour)
                                               : this->palette().color(QPalette::WindowText));
    label->setPalette(palette);
}

// The panel stretches with the box's width.
void TAboutForm::resizeEvent(QResizeEvent* event) {
    AboutPanel->resize(width(), kAboutPanelHeight);
    QDialog::resizeEvent(event);
}

} // namespace parlune
