#include "ui/MainUnit.h"

#include "ui/AboutUnit.h"
#include "ui/ModalRunner.h"
#include "ui/ProgramIcon.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>

namespace parlune {

namespace {

// The controls' places are made for a narrow sans-serif font. Where the font asked for is
// missing, the metric twin of Arial or a condensed sans-serif font stands in, else whatever
// sans-serif font the system has.
QFont eightPointFont(const QString& family) {
    QFont font(family, 8);
    font.setFamilies({family, QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans Condensed")});
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// The check boxes' places leave the room of the classic Windows look between box and text.
class CheckBoxStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_CheckBoxLabelSpacing)
            return 4;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

QString toDisplay(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Paths travel through the processing as the bytes the file system uses.
std::string toPathBytes(const QString& fileName) {
    return QFile::encodeName(QDir::toNativeSeparators(fileName)).toStdString();
}

QString chosenFile(const QFileDialog& dialog) {
    return dialog.selectedFiles().value(0);
}

} // namespace

QStringList NameFilters(const QString& filter) {
    QStringList filters;
    for (const auto& [description, patterns] : FilterPairs(filter.toStdString()))
        filters.append(toDisplay(description) + QStringLiteral(" (") +
                       toDisplay(patterns).split(QLatin1Char(';')).join(QLatin1Char(' ')) +
                       QLatin1Char(')'));
    return filters;
}

TMainForm::TMainForm(ModalRunner& modals, QWidget* parent)
    : QWidget(parent), LogMemo(new QPlainTextEdit(this)), ControlsPanel(new QWidget(this)),
      SourceButton(new QPushButton(ControlsPanel)), TargetButton(new QPushButton(ControlsPanel)),
      ProcessButton(new QPushButton(ControlsPanel)), VerboseCheck(new QCheckBox(ControlsPanel)),
      NoCompactCheck(new QCheckBox(ControlsPanel)), AboutButton(new QPushButton(ControlsPanel)),
      OpenDialog(new QFileDialog(this)), SaveDialog(new QFileDialog(this)),
      AboutForm(new TAboutForm(this)), modals(modals) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(toDisplay(ApplicationTitle()));
    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);
    setFont(eightPointFont(QString::fromUtf8(kFormFont)));
    setMinimumSize(kOuterSize);
    resize(kOuterSize);
    setUpControls();
    setUpTabOrder();
    setUpDialogs();
    connectHandlers();
    FormCreate();
}

TMainForm::~TMainForm() = default;

void TMainForm::FormCreate() {
    LogMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

void TMainForm::setUpControls() {
    LogMemo->setObjectName(QStringLiteral("LogMemo"));
    LogMemo->setFont(eightPointFont(QString::fromUtf8(kLogFont)));
    LogMemo->setReadOnly(true);
    LogMemo->setUndoRedoEnabled(false);
    LogMemo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    LogMemo->setTabChangesFocus(true);
    LogMemo->setAcceptDrops(false); // a dropped file goes to the window
    LogMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    LogMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    LogMemo->setPlainText(toDisplay(ReadmeText()));

    ControlsPanel->setObjectName(QStringLiteral("ControlsPanel"));
    for (const PanelControl& placed : kPanelControls) {
        QAbstractButton* control = panelControl(placed.id);
        control->setObjectName(QLatin1String(placed.name));
        control->setText(QString::fromUtf8(placed.caption));
        control->setGeometry(placed.place.left, placed.place.top, placed.place.width,
                             placed.place.height);
    }
    QStyle* checkBoxStyle = new CheckBoxStyle;
    checkBoxStyle->setParent(this);
    for (QCheckBox* check : {VerboseCheck, NoCompactCheck})
        check->setStyle(checkBoxStyle);
    // Enter presses the focused button, or Process when the focus is elsewhere.
    for (QPushButton* button : {SourceButton, TargetButton, AboutButton})
        button->setAutoDefault(true);
    ProcessButton->setDefault(true);
    applyControls(Controls());
    SourceButton->setFocus();
}

QAbstractButton* TMainForm::panelControl(PanelControlId id) const {
    switch (id) {
    case PanelControlId::Source:
        return SourceButton;
    case PanelControlId::Target:
        return TargetButton;
    case PanelControlId::Process:
        return ProcessButton;
    case PanelControlId::Verbose:
        return VerboseCheck;
    case PanelControlId::NoCompact:
        return NoCompactCheck;
    case PanelControlId::About:
        break;
    }
    return AboutButton;
}

// The focus moves from the log to the panel, and inside the panel in the table's order rather
// than from left to right.
void TMainForm::setUpTabOrder() {
    QWidget* previous = LogMemo;
    for (const PanelControl& placed : kPanelControls) {
        setTabOrder(previous, panelControl(placed.id));
        previous = panelControl(placed.id);
    }
}

void TMainForm::setUpDialogs() {
    OpenDialog->setObjectName(QStringLiteral("OpenDialog"));
    OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog->setFileMode(QFileDialog::ExistingFile);
    OpenDialog->setNameFilters(NameFilters(QString::fromUtf8(kOpenFilter)));
    SaveDialog->setObjectName(QStringLiteral("SaveDialog"));
    SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog->setFileMode(QFileDialog::AnyFile);
    SaveDialog->setOption(QFileDialog::DontConfirmOverwrite, false);
}

void TMainForm::connectHandlers() {
    connect(SourceButton, &QPushButton::clicked, this,
            [this] { Guarded([this] { SourceButtonClick(); }); });
    connect(TargetButton, &QPushButton::clicked, this,
            [this] { Guarded([this] { TargetButtonClick(); }); });
    connect(AboutButton, &QPushButton::clicked, this,
            [this] { Guarded([this] { AboutButtonClick(); }); });
    connect(ProcessButton, &QPushButton::clicked, this, [this] { ProcessButtonClick(); });
}

void TMainForm::showLogLines(const std::string& lines) {
    LogMemo->appendPlainText(toDisplay(lines));
    QScrollBar* scrollBar = LogMemo->verticalScrollBar();
    scrollBar->setValue(scrollBar->maximum());
}

void TMainForm::clearLog() {
    LogMemo->clear();
    LogMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
}

void TMainForm::setCaption(const std::string& caption) {
    setWindowTitle(toDisplay(caption));
}

void TMainForm::processPendingEvents() {
    QCoreApplication::processEvents();
}

void TMainForm::applyControls(const ControlStates& states) {
    SourceButton->setEnabled(states.source);
    TargetButton->setEnabled(states.target);
    ProcessButton->setEnabled(states.process);
    VerboseCheck->setEnabled(states.options);
    NoCompactCheck->setEnabled(states.options);
}

bool TMainForm::Verbose() const {
    return VerboseCheck->isChecked();
}

bool TMainForm::NoCompact() const {
    return NoCompactCheck->isChecked();
}

void TMainForm::SourceButtonClick() {
    if (modals.Exec(*OpenDialog) == QDialog::Accepted)
        ChooseSource(chosenFile(*OpenDialog));
}

bool TMainForm::OpenArguments(const QStringList& arguments) {
    if (arguments.size() > 1)
        return false;
    if (arguments.size() == 1) {
        // The dialog hands over absolute paths, and so does this.
        const QString map = QFileInfo(arguments.front()).absoluteFilePath();
        QTimer::singleShot(0, this, [this, map] { Guarded([this, map] { ChooseSource(map); }); });
    }
    return true;
}

void TMainForm::ChooseSource(const QString& chosen) {
    TakeSource(toPathBytes(QDir::toNativeSeparators(chosen)));
}

void TMainForm::prepareSaveDialog(const SaveDialogSetting& setting, const std::string& sourceFile) {
    SaveDialog->setNameFilters(NameFilters(toDisplay(setting.filter)));
    SaveDialog->setDefaultSuffix(toDisplay(setting.defaultExtension));
    SaveDialog->selectFile(QFile::decodeName(QByteArray::fromStdString(sourceFile)));
}

void TMainForm::TargetButtonClick() {
    if (modals.Exec(*SaveDialog) == QDialog::Accepted)
        TakeTarget(toPathBytes(chosenFile(*SaveDialog)));
}

void TMainForm::AboutButtonClick() {
    modals.Exec(*AboutForm);
}

void TMainForm::showErrorBox(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Critical, toDisplay(caption), toDisplay(text), QMessageBox::Ok,
                    this);
    modals.Exec(box);
}

void TMainForm::closeWindow() {
    close();
}

bool TMainForm::event(QEvent* event) {
    // The size is fitted once the event at hand is done with; changing it from inside the
    // window's own show or resize event does not stick.
    if (event->type() == QEvent::Show || event->type() == QEvent::Move ||
        event->type() == QEvent::Resize)
        QMetaObject::invokeMethod(this, &TMainForm::fitOuterSize, Qt::QueuedConnection);
    return QWidget::event(event);
}

// The outer size, frame included, is 600 x 400 at start and at least that. The frame is known
// only once the window is decorated, and the platform may confirm an earlier size after that,
// so the start size is asked for again until the window has it with its frame.
void TMainForm::fitOuterSize() {
    const QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
    const QSize fitted =
        kOuterSize - QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    if (minimumSize() != fitted)
        setMinimumSize(fitted);
    if (startSizeFitted)
        return;
    if (size() != fitted)
        resize(fitted);
    else if (!frame.isNull())
        startSizeFitted = true;
}

// The log fills the space inside the margin above the panel, which is docked at the bottom;
// the About button keeps to the panel's right edge.
void TMainForm::resizeEvent(QResizeEvent* event) {
    const QRect inner = rect().adjusted(kFormMargin, kFormMargin, -kFormMargin, -kFormMargin);
    ControlsPanel->setGeometry(inner.left(), inner.bottom() + 1 - kPanelHeight, inner.width(),
                               kPanelHeight);
    LogMemo->setGeometry(inner.left(), inner.top(), inner.width(), inner.height() - kPanelHeight);
    AboutButton->move(ControlsPanel->width() - AboutButton->width(), AboutButton->y());
    QWidget::resizeEvent(event);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!MayClose()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

QString TMainForm::droppableFile(const QMimeData* data) const {
    if (RunInProgress() || data == nullptr || data->urls().size() != 1)
        return QString();
    return data->urls().front().toLocalFile();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppableFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TMainForm::dragMoveEvent(QDragMoveEvent* event) {
    if (droppableFile(event->mimeData()).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
    const QString fileName = droppableFile(event->mimeData());
    if (fileName.isEmpty())
        return;
    event->acceptProposedAction();
    Guarded([this, fileName] { ChooseSource(fileName); });
}

void TMainForm::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (enter && plain && ProcessButton->isEnabled()) {
        ProcessButton->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace parlune
