#include "FrmMain.h"

#include "FrmOptions.h"

#include "ClockFonts.h"
#include "DisplayPanel.h"
#include "KestrumArt.h"
#include "KestrumLog.h"
#include "ui_FrmMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>

#include <cstdio>

namespace kestrum {

namespace {

constexpr int kDigitPixels = 64;   // hour and minutes
constexpr int kSecondPixels = 26;  // seconds
constexpr int kHalfPixels = 20;    // AM / PM
constexpr int kAlarmPixels = 20;   // the alarm-time fields
constexpr int kMessagePixels = 20; // the alarm message
constexpr int kPicturePixels = 26; // picAl, picAlON

// Makes `label` a row of lit segments in `font`, wide enough for the widest
// text, so the display never shifts.
void showSegments(QLabel *label, const QFont &font, const QString &widest)
{
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kSegmentLit);
    label->setPalette(palette);
    const QFontMetrics metrics(font);
    label->setFixedSize(metrics.horizontalAdvance(widest) + 2, metrics.height());
}

// Gives `label` its picture, hidden at first; hidden, it keeps its place.
void showPicture(QLabel *label, const QImage &image)
{
    label->setPixmap(QPixmap::fromImage(image));
    label->setFixedSize(image.size());
    QSizePolicy policy = label->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    label->setSizePolicy(policy);
    label->hide();
}

// The look of the alarm controls and Snooze, from the program's resources.
QString loadStyleSheet()
{
    QFile file(QStringLiteral(":/kestrum/FrmMain.qss"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

QIcon programIcon()
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128})
        icon.addPixmap(QPixmap::fromImage(appIcon(size)));
    return icon;
}

}  // namespace

FrmMain::FrmMain(FrmMainParts parts, QWidget *parent)
    : QMainWindow(parent),
      programFolder_(parts.programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : parts.programFolder),
      settingsFile_(parts.settingsFile),
      clock_(std::move(parts.clock)),
      tmrFlash_(std::move(parts.tmrFlash)),
      tmrNap_(std::move(parts.tmrNap)),
      player_(std::move(parts.player)),
      bell_(std::move(parts.bell)),
      ui_(std::make_unique<Ui::frmMain>())
{
    const QIcon icon = programIcon();
    setWindowIcon(icon);
    iconHandle_ = tray_.iconHandle(icon);

    buildWindow();
    buildMenu();

    if (!clock_)
        clock_ = std::make_unique<SystemClock>();
    if (!tmrFlash_)
        tmrFlash_ = std::make_unique<QtTimer>();
    if (!tmrNap_)
        tmrNap_ = std::make_unique<QtTimer>();
    if (!bell_)
        bell_ = std::make_unique<ApplicationBell>();
    if (!player_)
        player_ = ControlPlayer::create(host_, this, &site_);

    settings_ = defaultSettings(programFolder_);
    alarm_ = std::make_unique<AlarmClock>(settings_, *clock_, *tmrFlash_, *tmrNap_, *player_, *this, *bell_,
                                          defaultTunePath());

    connect(&tray_, &NotifyIcon::callback, this, &FrmMain::onTrayCallback);
}

FrmMain::~FrmMain()
{
    // The alarm first: it detaches itself from the timers and the player.
    alarm_.reset();
}

QString FrmMain::settingsPath() const
{
    return settingsFile_.isEmpty() ? settingsFilePath(programFolder_) : settingsFile_;
}

QString FrmMain::defaultTunePath() const
{
    return QDir(programFolder_).filePath(QStringLiteral("Zorvin.mp3"));
}

// ---- The window ------------------------------------------------------------

void FrmMain::buildWindow()
{
    ui_->setupUi(this);
    const ClockFonts &fonts = clockFonts();

    // The clock display.
    DisplayPanel *picDisplay = ui_->picDisplay;
    picDisplay->installEventFilter(this);
    const QFont digits = fonts.sevenSegment(kDigitPixels);
    showSegments(ui_->txtHR, digits, QStringLiteral("88"));
    showSegments(ui_->lblFlash, digits, QStringLiteral(":"));
    showSegments(ui_->txtMin, digits, QStringLiteral("88"));
    showSegments(ui_->txtSec, fonts.sevenSegment(kSecondPixels), QStringLiteral("88"));
    showSegments(ui_->txtAMPM, fonts.fourteenSegment(kHalfPixels), QStringLiteral("PM"));
    picDisplay->addGhost(ui_->txtHR, QStringLiteral("88"));
    picDisplay->addGhost(ui_->lblFlash, QStringLiteral(":"));
    picDisplay->addGhost(ui_->txtMin, QStringLiteral("88"));
    picDisplay->addGhost(ui_->txtSec, QStringLiteral("88"));
    picDisplay->addGhost(ui_->txtAMPM, QStringLiteral("~~"));

    showPicture(ui_->picAl, armedPicture(kPicturePixels));
    showPicture(ui_->picAlON, ringingPicture(kPicturePixels));

    QLabel *lblMessage = ui_->lblMessage;
    lblMessage->setFont(ClockFonts::message(kMessagePixels));
    {
        QPalette palette = lblMessage->palette();
        palette.setColor(QPalette::WindowText, kMessageColour);
        lblMessage->setPalette(palette);
        QSizePolicy policy = lblMessage->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        lblMessage->setSizePolicy(policy);
        lblMessage->setFixedHeight(QFontMetrics(lblMessage->font()).height() + 4);
    }
    lblMessage->hide();

    // The alarm controls.
    const QFont alarmDigits = fonts.sevenSegment(kAlarmPixels);
    const auto alarmField = [&](QLabel *label, const QFont &font, const QString &widest) {
        label->setFont(font);
        label->setMinimumWidth(QFontMetrics(font).horizontalAdvance(widest) + 8);
        label->installEventFilter(this);
    };
    alarmField(ui_->txtAlHr, alarmDigits, QStringLiteral("88"));
    ui_->alarmColon->setFont(alarmDigits);
    alarmField(ui_->txtAlMin, alarmDigits, QStringLiteral("88"));
    alarmField(ui_->txtAlAMPM, fonts.fourteenSegment(kAlarmPixels - 4), QStringLiteral("PM"));

    ui_->alarmControls->setStyleSheet(loadStyleSheet());

    connect(ui_->Command6, &QPushButton::clicked, this, [this] { alarm_->increase(); });
    connect(ui_->Command7, &QPushButton::clicked, this, [this] { alarm_->decrease(); });
    connect(ui_->chkSet, &QPushButton::clicked, this, [this](bool checked) { alarm_->setArmed(checked); });
    connect(ui_->Command8, &QPushButton::clicked, this, &FrmMain::onOptionsButton);
    connect(ui_->cmdSnooze, &QPushButton::clicked, this, [this] { alarm_->snooze(); });
}

void FrmMain::buildMenu()
{
    // Designer leaves a menu's separators without names; the design names this one.
    for (QAction *item : ui_->mnuMenu->actions()) {
        if (item->isSeparator())
            item->setObjectName(QStringLiteral("mnuDash"));
    }

    connect(ui_->mnuOpen, &QAction::triggered, this, [this] { openFromTray(); });
    connect(ui_->mnuOption, &QAction::triggered, this, [this] { emit optionsRequested(false); });
    connect(ui_->mnuExit, &QAction::triggered, this, &FrmMain::onExit);
}

QMenu *FrmMain::mainMenu() const
{
    return ui_->mnuMenu;
}

// ---- Start-up, settings, exit ----------------------------------------------

void FrmMain::startUp()
{
    frmUp_ = true;
    alarm_->startUp(); // refreshClock, editField = 1, disarmed, tmrFlash running
    loadSettings();
    showEditField();
    if (settings_.startInTray == 1) {
        sendToTray();
    } else {
        show();
        focusSnooze();
    }
}

void FrmMain::loadSettings()
{
    const QString path = settingsPath();
    if (!loadSettingsFile(path, settings_, loaded_, programFolder_)) {
        qCWarning(kestrumLog).noquote() << QDir::toNativeSeparators(path)
                                        << "cannot be read; the design settings are used and written at exit.";
    }
    loadedAlarmText_ = settings_.alarmText;
    alarm_->showAlarmTextFields();
    if (alarm_->alarmHour() + alarm_->alarmMinute() + alarm_->alarmHalf() != settings_.alarmText) {
        qCWarning(kestrumLog).noquote()
            << QStringLiteral("the alarm time \"%1,%2,%3\" in %4 is not a time of the clock; "
                              "it never fires until it is changed with + or - or the alarm is set.")
                   .arg(loaded_.alarmHour, loaded_.alarmMinute, loaded_.alarmHalf, QDir::toNativeSeparators(path));
    }
    ui_->lblMessage->setText(settings_.alarmMessage);
}

bool FrmMain::saveSettings()
{
    // The alarm-time line holds the fields as shown; a line the user never
    // touched is written back as it was read, also when it was no valid time.
    if (settings_.alarmText != loadedAlarmText_) {
        loaded_.alarmHour = alarm_->alarmHour();
        loaded_.alarmMinute = alarm_->alarmMinute();
        loaded_.alarmHalf = alarm_->alarmHalf();
        loadedAlarmText_ = settings_.alarmText;
    }
    return saveSettingsFile(settingsPath(), settings_, loaded_);
}

void FrmMain::unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    saveSettings();
    if (tray_.isShown())
        tray_.notify(NIM_DELETE, trayIconData_);
}

void FrmMain::onExit()
{
    unload();
    emit exitRequested();
}

void FrmMain::closeEvent(QCloseEvent *event)
{
    if (unloaded_) {
        event->accept();
        return;
    }
    // The close box hides the window; only "Exit" ends the program.
    sendToTray();
    event->ignore();
}

// ---- Notification area -----------------------------------------------------

void FrmMain::sendToTray()
{
    const QString tip = trayTipText(alarm_->alarmHour(), alarm_->alarmMinute(), alarm_->alarmHalf(), alarm_->armed());
    frmUp_ = false;
    if (tray_.isShown())
        tray_.notify(NIM_DELETE, trayIconData_);
    trayIconData_ = trayRecord(kWindowHandle, iconHandle_, tip);
    if (tray_.notify(NIM_ADD, trayIconData_)) {
        hide();
    } else {
        // No notification area: the taskbar keeps the window reachable.
        showMinimized();
    }
}

void FrmMain::openFromTray()
{
    showNormal();
    raise();
    activateWindow();
    if (tray_.isShown())
        tray_.notify(NIM_DELETE, trayIconData_);
    frmUp_ = true;
    focusSnooze();
}

void FrmMain::onTrayCallback(uint window, uint callbackMessage, uint mouseMessage)
{
    if (window != kWindowHandle || callbackMessage != WM_MOUSEMOVE)
        return;
    switch (trayActionFor(mouseMessage, frmUp_)) {
    case TrayAction::OpenFromTray:
        openFromTray();
        break;
    case TrayAction::PopUpMenu:
        ui_->mnuMenu->popup(QCursor::pos());
        break;
    case TrayAction::None:
        break;
    }
}

// ---- Focus and events ------------------------------------------------------

FrmOptions *FrmMain::showOptions(bool modal)
{
    auto *dialog = new FrmOptions(settings_, host_, programFolder_, this);
    // "Okay" shows the new message at once.
    dialog->setMessageShown([this](const QString &text) { ui_->lblMessage->setText(text); });
    if (modal) {
        dialog->exec();
        delete dialog;
        focusSnooze();
        return nullptr;
    }
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}

void FrmMain::onOptionsButton()
{
    emit optionsRequested(true);
    focusSnooze();
}

void FrmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        focusSnooze();
    } else if (event->type() == QEvent::WindowStateChange && !frmUp_ && isVisible() && !isMinimized()) {
        // Brought back from the taskbar where the window was minimised for
        // want of a notification area.
        frmUp_ = true;
    }
}

bool FrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        const int field = watched == ui_->txtAlHr ? AlarmClock::HourField
                          : watched == ui_->txtAlMin ? AlarmClock::MinuteField
                          : watched == ui_->txtAlAMPM ? AlarmClock::HalfField
                                                  : 0;
        if (field != 0) {
            alarm_->selectField(field);
            showEditField();
            focusSnooze();
            return true;
        }
    } else if (event->type() == QEvent::FocusIn && watched == ui_->picDisplay) {
        focusSnooze();
    }
    return QMainWindow::eventFilter(watched, event);
}

void FrmMain::showEditField()
{
    const int field = alarm_->editField();
    for (const auto &[label, number] : {std::pair{ui_->txtAlHr, 1}, std::pair{ui_->txtAlMin, 2}, std::pair{ui_->txtAlAMPM, 3}}) {
        const bool selected = number == field;
        if (label->property("selected").toBool() == selected && label->property("selected").isValid())
            continue;
        label->setProperty("selected", selected);
        label->style()->unpolish(label);
        label->style()->polish(label);
    }
}

// ---- AlarmView ---------------------------------------------------------------

void FrmMain::showClock(const QString &hour, const QString &minute, const QString &second, const QString &half)
{
    ui_->txtHR->setText(hour);
    ui_->txtMin->setText(minute);
    ui_->txtSec->setText(second);
    ui_->txtAMPM->setText(half);
}

void FrmMain::showSeparator(bool shown)
{
    ui_->lblFlash->setText(shown ? QStringLiteral(":") : QStringLiteral(" "));
}

void FrmMain::showAlarmTime(const QString &hour, const QString &minute, const QString &half)
{
    ui_->txtAlHr->setText(hour);
    ui_->txtAlMin->setText(minute);
    ui_->txtAlAMPM->setText(half);
}

void FrmMain::setArmedPictureVisible(bool visible)
{
    ui_->picAl->setVisible(visible);
}

void FrmMain::setRingingPictureVisible(bool visible)
{
    ui_->picAlON->setVisible(visible);
}

void FrmMain::setMessageVisible(bool visible, const QString &text)
{
    ui_->lblMessage->setText(text);
    ui_->lblMessage->setVisible(visible);
}

void FrmMain::setToggle(bool checked, const QString &caption)
{
    const QSignalBlocker blocker(ui_->chkSet);
    ui_->chkSet->setChecked(checked);
    ui_->chkSet->setText(caption);
}

void FrmMain::focusSnooze()
{
    ui_->cmdSnooze->setFocus(Qt::OtherFocusReason);
}

}  // namespace kestrum
