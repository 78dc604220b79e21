#include "ui/MainUnit.h"

#include "Version.h"
#include "processing/ProcessingError.h"
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

constexpr QSize kButtonSize{90, 23};
constexpr int kButtonTop = 8;
constexpr int kCheckTop = 11;
constexpr int kCheckHeight = 17;

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
      SourceButton(new QPushButton(QStringLiteral("Select &Source..."), ControlsPanel)),
      TargetButton(new QPushButton(QStringLiteral("Select &Target..."), ControlsPanel)),
      ProcessButton(new QPushButton(QStringLiteral("&Process"), ControlsPanel)),
      VerboseCheck(new QCheckBox(QStringLiteral("&Debug output"), ControlsPanel)),
      NoCompactCheck(new QCheckBox(QStringLiteral("Do not &compact"), ControlsPanel)),
      AboutButton(new QPushButton(QStringLiteral("&About..."), ControlsPanel)),
      OpenDialog(new QFileDialog(this)), SaveDialog(new QFileDialog(this)),
      AboutForm(new TAboutForm(this)), modals(modals) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(toDisplay(ApplicationTitle()));
    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);
    setFont(eightPointFont(QStringLiteral("Microsoft Sans Serif")));
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
    LogMemo->setFont(eightPointFont(QStringLiteral("Tahoma")));
    LogMemo->setReadOnly(true);
    LogMemo->setUndoRedoEnabled(false);
    LogMemo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    LogMemo->setTabChangesFocus(true);
    LogMemo->setAcceptDrops(false); // a dropped file goes to the window
    LogMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    LogMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    LogMemo->setPlainText(toDisplay(ReadmeText()));

    ControlsPanel->setObjectName(QStringLiteral("ControlsPanel"));
    const struct {
        QAbstractButton* control;
        const char* name;
        QRect place;
    } controls[] = {
        {SourceButton, "SourceButton", {QPoint(0, kButtonTop), kButtonSize}},
        {TargetButton, "TargetButton", {QPoint(98, kButtonTop), kButtonSize}},
        {ProcessButton, "ProcessButton", {QPoint(196, kButtonTop), kButtonSize}},
        {VerboseCheck, "VerboseCheck", {294, kCheckTop, 89, kCheckHeight}},
        {NoCompactCheck, "NoCompactCheck", {384, kCheckTop, 97, kCheckHeight}},
        {AboutButton, "AboutButton", {QPoint(486, kButtonTop), kButtonSize}},
    };
    for (const auto& [control, name, place] : controls) {
        control->setObjectName(QLatin1String(name));
        control->setGeometry(place);
    }
    QStyle* checkBoxStyle = new CheckBoxStyle;
    checkBoxStyle->setParent(this);
    for (QCheckBox* check : {VerboseCheck, NoCompactCheck})
        check->setStyle(checkBoxStyle);
    // Enter presses the focused button, or Process when the focus is elsewhere.
    for (QPushButton* button : {SourceButton, TargetButton, AboutButton})
        button->setAutoDefault(true);
    ProcessButton->setDefault(true);
    applyControls();
    SourceButton->setFocus();
}

// The focus moves from the log to the panel, and inside the panel in the order Target, About,
// Debug output, Source, Process, Do not compact rather than from left to right.
void TMainForm::setUpTabOrder() {
    QWidget* const order[] = {LogMemo,      TargetButton,  AboutButton,   VerboseCheck,
                              SourceButton, ProcessButton, NoCompactCheck};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
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
            [this] { guarded([this] { SourceButtonClick(); }); });
    connect(TargetButton, &QPushButton::clicked, this,
            [this] { guarded([this] { TargetButtonClick(); }); });
    connect(AboutButton, &QPushButton::clicked, this,
            [this] { guarded([this] { AboutButtonClick(); }); });
    connect(ProcessButton, &QPushButton::clicked, this, [this] { ProcessButtonClick(); });
}

void TMainForm::Log(const std::string& text) {
    appendLog(text, LogLevel::Step);
}

void TMainForm::LogAtLevel(LogLevel level, const std::string& text) {
    appendLog(text, level);
}

void TMainForm::appendLog(const std::string& text, LogLevel level) {
    restoreCaption();
    showLog(behaviour.AddLogLine(text, level));
    QCoreApplication::processEvents();
}

void TMainForm::showLog(const std::optional<std::string>& lines) {
    if (!lines)
        return;
    LogMemo->appendPlainText(toDisplay(*lines));
    QScrollBar* scrollBar = LogMemo->verticalScrollBar();
    scrollBar->setValue(scrollBar->maximum());
}

void TMainForm::EnableRunControls(bool enabled) {
    behaviour.EnableRunControls(enabled);
    applyControls();
}

void TMainForm::applyControls() {
    const ControlStates& states = behaviour.Controls();
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

void TMainForm::CompactionProgress(std::uint64_t done, std::uint64_t total) {
    showLog(behaviour.TakePendingLog());
    if (const auto caption = behaviour.ProgressCaption(done, total))
        setWindowTitle(toDisplay(*caption));
    QCoreApplication::processEvents();
}

void TMainForm::settleAfterRun() {
    showLog(behaviour.TakePendingLog());
    restoreCaption();
}

void TMainForm::restoreCaption() {
    if (const auto caption = behaviour.RestoredCaption())
        setWindowTitle(toDisplay(*caption));
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
        QTimer::singleShot(0, this, [this, map] { guarded([this, map] { ChooseSource(map); }); });
    }
    return true;
}

void TMainForm::ChooseSource(const QString& chosen) {
    const QString fileName = QDir::toNativeSeparators(chosen);
    if (!acceptSourceExtension(fileName))
        return;
    SourcePath = toPathBytes(fileName);
    LogMemo->clear();
    LogMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    Log(SourceSelectedLine(SourcePath));
    SaveDialog->selectFile(fileName);
    behaviour.SourceChosen();
    applyControls();
}

// Sets the save dialog up for the kind of map chosen, or tells the user that only maps can be
// loaded. The comparison is case-sensitive, so "Map.W3X" is refused.
bool TMainForm::acceptSourceExtension(const QString& fileName) {
    if (const auto setting = SaveSettingFor(fileName.toStdString())) {
        SaveDialog->setNameFilters(NameFilters(toDisplay(setting->filter)));
        SaveDialog->setDefaultSuffix(toDisplay(setting->defaultExtension));
        return true;
    }
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kRefusalCaption),
                    QString::fromUtf8(kRefusalText), QMessageBox::Ok, this);
    modals.Exec(box);
    return false;
}

void TMainForm::TargetButtonClick() {
    if (modals.Exec(*SaveDialog) != QDialog::Accepted)
        return;
    TargetPath = toPathBytes(chosenFile(*SaveDialog));
    Log(TargetSelectedLine(TargetPath));
    behaviour.TargetChosen();
    applyControls();
}

void TMainForm::AboutButtonClick() {
    modals.Exec(*AboutForm);
}

void TMainForm::ProcessButtonClick() {
    behaviour.StartRun();
    guarded([this] { Run(); });
    settleAfterRun();
    if (behaviour.EndRun())
        close();
}

void TMainForm::guarded(const std::function<void()>& handler) {
    RunHandler(handler, [this](const char* message) {
        settleAfterRun();
        showFailure(message);
    });
}

void TMainForm::showFailure(const std::string& message) {
    QMessageBox box(QMessageBox::Critical, toDisplay(ApplicationTitle()),
                    toDisplay(DisplayText(message)), QMessageBox::Ok, this);
    modals.Exec(box);
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
    const QRect inner = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    ControlsPanel->setGeometry(inner.left(), inner.bottom() + 1 - kPanelHeight, inner.width(),
                               kPanelHeight);
    LogMemo->setGeometry(inner.left(), inner.top(), inner.width(), inner.height() - kPanelHeight);
    AboutButton->move(ControlsPanel->width() - kButtonSize.width(), kButtonTop);
    QWidget::resizeEvent(event);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!behaviour.CloseRequested()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

QString TMainForm::droppableFile(const QMimeData* data) const {
    if (behaviour.Running() || data == nullptr || data->urls().size() != 1)
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
    guarded([this, fileName] { ChooseSource(fileName); });
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
