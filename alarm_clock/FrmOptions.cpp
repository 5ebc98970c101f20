#include "FrmOptions.h"

#include "ControlHost.h"
#include "QtAdapters.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace kestrum {

// ---- File dialog -------------------------------------------------------------

QStringList QtFileDialog::nameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')).trimmed();
        // Qt takes the patterns from the parentheses of the description.
        if (description.contains(QLatin1Char('(') + patterns + QLatin1Char(')')))
            filters << description;
        else
            filters << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    if (filters.isEmpty() && !filter.isEmpty())
        filters << filter;
    return filters;
}

void QtFileDialog::ShowOpen()
{
    QFileDialog dialog(parent_, DialogTitle);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(nameFilters(Filter));
    dialog.setDefaultSuffix(DefaultExt);
    // The folder of the last tune chosen, else the user's music folder, else
    // the home folder.
    QString folder = lastFolder_;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    dialog.setDirectory(folder);
    if (!FileName.isEmpty())
        dialog.selectFile(FileName);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        FileName = QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
        lastFolder_ = QFileInfo(FileName).absolutePath();
    } else {
        FileName.clear();
    }
}

// ---- The window ----------------------------------------------------------------

FrmOptions::FrmOptions(AlarmSettings &settings, platform::ControlHost &host, QString executableFolder,
                       QWidget *parent)
    : QDialog(parent)
{
    site_ = std::make_unique<MainWindowSite>(this);
    mpp_ = ControlPlayer::create(host, this, site_.get());
    cd1_ = std::make_unique<QtFileDialog>(this);
    logic_ = std::make_unique<OptionsDialog>(settings, *mpp_, *cd1_, std::move(executableFolder));
    createControls();
    connectControls();
    logic_->load();
}

FrmOptions::FrmOptions(AlarmSettings &settings, std::unique_ptr<Player> mpp, std::unique_ptr<FileDialog> cd1,
                       QString executableFolder, QWidget *parent)
    : QDialog(parent), mpp_(std::move(mpp)), cd1_(std::move(cd1))
{
    logic_ = std::make_unique<OptionsDialog>(settings, *mpp_, *cd1_, std::move(executableFolder));
    createControls();
    connectControls();
    logic_->load();
}

FrmOptions::~FrmOptions()
{
    if (!unloaded_) {
        unloaded_ = true;
        logic_->changed = nullptr;
        logic_->unload();
    }
}

void FrmOptions::setMessageShown(std::function<void(const QString &)> show)
{
    logic_->messageChanged = std::move(show);
}

namespace {

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

void FrmOptions::createControls()
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setSizeGripEnabled(false);

    // The tune list and its buttons.
    auto *tunesBox = new QGroupBox(QStringLiteral("Alarm tunes"), this);
    lstMidi = new QListWidget(tunesBox);
    lstMidi->setObjectName(QStringLiteral("lstMidi"));
    lstMidi->setSelectionMode(QAbstractItemView::SingleSelection);
    lstMidi->setMinimumSize(260, 150);
    btnAdd = new QPushButton(QStringLiteral("Add"), tunesBox);
    btnRemove = new QPushButton(QStringLiteral("Remove"), tunesBox);
    chkPlay = new QPushButton(QStringLiteral("Play Preview"), tunesBox);
    chkPlay->setCheckable(true);
    for (QPushButton *button : {btnAdd, btnRemove, chkPlay}) {
        button->setAutoDefault(false);
        button->setMinimumWidth(110);
    }
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(btnAdd);
    buttons->addWidget(btnRemove);
    buttons->addSpacing(12);
    buttons->addWidget(chkPlay);
    buttons->addStretch(1);
    auto *tunesLayout = new QHBoxLayout(tunesBox);
    tunesLayout->addWidget(lstMidi, 1);
    tunesLayout->addLayout(buttons);

    // The settings fields.
    Frame1 = new QGroupBox(QStringLiteral("Alarm"), this);
    Label1 = plainLabel(QStringLiteral("Snooze Interval :"), Frame1);
    txtInterval = new QLineEdit(QStringLiteral("10"), Frame1);
    txtInterval->setObjectName(QStringLiteral("txtInterval"));
    txtInterval->setMaximumWidth(48);
    txtInterval->setAlignment(Qt::AlignRight);
    Label7 = plainLabel(QStringLiteral("mins."), Frame1);
    Label6 = plainLabel(QStringLiteral(" Set to '0'  for no snooze."), Frame1);
    Label2 = plainLabel(QStringLiteral("Wake up to tune"), Frame1);
    cboOrder = new QComboBox(Frame1);
    cboOrder->addItems({QStringLiteral("Selected tune"), QStringLiteral("Next New tune on every alarm!")});
    chkRepeat = new QCheckBox(QStringLiteral("Repeat till you hit Snooze or Un-Set Alarm"), Frame1);
    chkWin = new QCheckBox(QStringLiteral("Auto start on Windows"), Frame1);
    chkTray = new QCheckBox(QStringLiteral("Start minimized in tray"), Frame1);
    Label3 = plainLabel(QStringLiteral("Message :"), Frame1);
    txtMessage = new QLineEdit(Frame1);
    txtMessage->setObjectName(QStringLiteral("txtMessage"));
    txtMessage->setMaxLength(OptionsDialog::kMessageLength);
    Label1->setBuddy(txtInterval);
    Label2->setBuddy(cboOrder);
    Label3->setBuddy(txtMessage);

    auto *interval = new QHBoxLayout;
    interval->addWidget(txtInterval);
    interval->addWidget(Label7);
    interval->addWidget(Label6);
    interval->addStretch(1);
    auto *starts = new QHBoxLayout;
    starts->addWidget(chkWin);
    starts->addSpacing(16);
    starts->addWidget(chkTray);
    starts->addStretch(1);
    auto *fields = new QGridLayout(Frame1);
    fields->setColumnStretch(1, 1);
    fields->addWidget(Label1, 0, 0);
    fields->addLayout(interval, 0, 1);
    fields->addWidget(Label2, 1, 0);
    fields->addWidget(cboOrder, 1, 1);
    fields->addWidget(chkRepeat, 2, 0, 1, 2);
    fields->addLayout(starts, 3, 0, 1, 2);
    fields->addWidget(Label3, 4, 0);
    fields->addWidget(txtMessage, 4, 1);

    Label8 = plainLabel(QStringLiteral("Tip: Hit space bar when Kestrum wakes up from tray to snooze"), this);
    QFont italic = Label8->font();
    italic.setItalic(true);
    Label8->setFont(italic);
    Command4 = new QPushButton(QStringLiteral("Okay"), this);
    Command4->setDefault(true);
    Command4->setMinimumWidth(96);
    auto *foot = new QHBoxLayout;
    foot->addWidget(Label8, 1);
    foot->addWidget(Command4);

    auto *page = new QVBoxLayout(this);
    page->addWidget(tunesBox, 1);
    page->addWidget(Frame1);
    page->addLayout(foot);
    page->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(lstMidi, btnAdd);
    setTabOrder(btnAdd, btnRemove);
    setTabOrder(btnRemove, chkPlay);
    setTabOrder(chkPlay, txtInterval);
    setTabOrder(txtInterval, cboOrder);
    setTabOrder(cboOrder, chkRepeat);
    setTabOrder(chkRepeat, chkWin);
    setTabOrder(chkWin, chkTray);
    setTabOrder(chkTray, txtMessage);
    setTabOrder(txtMessage, Command4);
    txtInterval->installEventFilter(this);
}

void FrmOptions::connectControls()
{
    OptionsDialog &logic = *logic_;
    logic.changed = [this] { showFields(); };
    logic.showError = [this](const QString &text) { showError(text); };

    connect(txtInterval, &QLineEdit::textEdited, this, [&logic](const QString &text) { logic.txtInterval = text; });
    connect(txtMessage, &QLineEdit::textEdited, this, [&logic](const QString &text) { logic.txtMessage = text; });
    connect(cboOrder, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!showing_)
            logic_->cboOrder = index;
    });
    // A check box the user toggles sets its field; showFields' own changes do not.
    const auto mirror = [this](QCheckBox *box, bool OptionsDialog::*field) {
        connect(box, &QCheckBox::toggled, this, [this, field](bool on) {
            if (!showing_)
                (*logic_).*field = on;
        });
    };
    mirror(chkRepeat, &OptionsDialog::chkRepeat);
    mirror(chkWin, &OptionsDialog::chkWin);
    mirror(chkTray, &OptionsDialog::chkTray);
    connect(lstMidi, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!showing_)
            logic_->selectedRow = row;
    });
    connect(btnAdd, &QPushButton::clicked, this, [&logic] { logic.add(); });
    connect(btnRemove, &QPushButton::clicked, this, [&logic] { logic.remove(); });
    connect(chkPlay, &QPushButton::clicked, this, [this](bool checked) {
        logic_->chkPlay = checked;
        logic_->previewToggle();
        showFields();
    });
    connect(Command4, &QPushButton::clicked, this, [this] {
        logic_->okay();
        accept();
    });
}

bool FrmOptions::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtInterval && event->type() == QEvent::FocusOut)
        logic_->intervalLostFocus();
    return QDialog::eventFilter(watched, event);
}

void FrmOptions::showFields()
{
    const OptionsDialog &logic = *logic_;
    showing_ = true;
    if (txtInterval->text() != logic.txtInterval)
        txtInterval->setText(logic.txtInterval);
    cboOrder->setCurrentIndex(logic.cboOrder);
    chkRepeat->setChecked(logic.chkRepeat);
    chkWin->setChecked(logic.chkWin);
    chkTray->setChecked(logic.chkTray);
    if (txtMessage->text() != logic.txtMessage)
        txtMessage->setText(logic.txtMessage);

    QStringList rows;
    for (int i = 0; i < lstMidi->count(); ++i)
        rows << lstMidi->item(i)->text();
    if (rows != logic.lstMidi) {
        lstMidi->clear();
        lstMidi->addItems(logic.lstMidi);
    }
    lstMidi->setCurrentRow(logic.selectedRow);
    if (logic.selectedRow < 0)
        lstMidi->clearSelection();
    lstMidi->setEnabled(logic.listEnabled);
    btnAdd->setEnabled(logic.addEnabled);
    btnRemove->setEnabled(logic.removeEnabled);
    chkPlay->setChecked(logic.chkPlay);
    chkPlay->setText(logic.chkPlayCaption);
    showing_ = false;
}

void FrmOptions::showError(const QString &text)
{
    QMessageBox::warning(this, QStringLiteral("Kestrum"), text);
}

void FrmOptions::done(int result)
{
    // Every way of closing unloads: the preview stops.
    if (!unloaded_) {
        unloaded_ = true;
        logic_->unload();
    }
    QDialog::done(result);
}

} // namespace kestrum
