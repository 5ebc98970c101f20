#include "FrmOptions.h"

#include "ControlHost.h"
#include "ModalDialogs.h"
#include "QtAdapters.h"
#include "ui_FrmOptions.h"

#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSpinBox>
#include <QStandardPaths>

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
    if (execReleasable(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        FileName = QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
        lastFolder_ = QFileInfo(FileName).absolutePath();
    } else {
        FileName.clear();
    }
}

// ---- The window ----------------------------------------------------------------

FrmOptions::FrmOptions(AlarmSettings &settings, platform::ControlHost &host, QString executableFolder,
                       QWidget *parent)
    : QDialog(parent), ui_(std::make_unique<Ui::frmOptions>())
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
    : QDialog(parent), ui_(std::make_unique<Ui::frmOptions>()), mpp_(std::move(mpp)), cd1_(std::move(cd1))
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

void FrmOptions::setWakeSettings(WakeSettings *wake)
{
    logic_->setWakeSettings(wake);
}

void FrmOptions::createControls()
{
    ui_->setupUi(this);
    lstMidi = ui_->lstMidi;
    btnAdd = ui_->btnAdd;
    btnRemove = ui_->btnRemove;
    chkPlay = ui_->chkPlay;
    Label2 = ui_->Label2;
    cboOrder = ui_->cboOrder;
    chkRepeat = ui_->chkRepeat;
    Label1 = ui_->Label1;
    txtInterval = ui_->txtInterval;
    Label7 = ui_->Label7;
    Label6 = ui_->Label6;
    Label3 = ui_->Label3;
    txtMessage = ui_->txtMessage;
    Frame1 = ui_->Frame1;
    chkWin = ui_->chkWin;
    chkTray = ui_->chkTray;
    Label8 = ui_->Label8;
    Command4 = ui_->Command4;
    wakeBox = ui_->wakeBox;
    spnFadeIn = ui_->spnFadeIn;
    spnLateLimit = ui_->spnLateLimit;

    txtMessage->setMaxLength(OptionsDialog::kMessageLength);
    spnFadeIn->setRange(0, WakeSettings::kLongestFadeIn);
    spnLateLimit->setRange(0, WakeSettings::kLongestLateLimit);
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
    connect(spnFadeIn, &QSpinBox::valueChanged, this, [this](int value) {
        if (!showing_)
            logic_->fadeInSeconds = value;
    });
    connect(spnLateLimit, &QSpinBox::valueChanged, this, [this](int value) {
        if (!showing_)
            logic_->lateLimitMinutes = value;
    });
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
    spnFadeIn->setValue(logic.fadeInSeconds);
    spnLateLimit->setValue(logic.lateLimitMinutes);

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
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Kestrum"), text, QMessageBox::Ok, this);
    execReleasable(box);
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
