#include "FrmMain.h"

#include "FrmOptions.h"

#include "ClockFonts.h"
#include "DesktopNotifier.h"
#include "DisplayPanel.h"
#include "KestrumArt.h"
#include "KestrumLog.h"
#include "ModalDialogs.h"
#include "SleepWatcher.h"
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
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QTime>

#include <cstdio>

namespace kestrum {

namespace {

constexpr int kDigitPixels = 64;   // hour and minutes
constexpr int kSecondPixels = 26;  // seconds
constexpr int kHalfPixels = 20;    // AM / PM
constexpr int kAlarmPixels = 20;   // the alarm-time fields
constexpr int kMessagePixels = 20; // the alarm message
constexpr int kNoticePixels = 13;  // the notice below it
const QColor kNoticeColour{0xff, 0x8f, 0x73}; // a light shade of the ringing colour
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
      notifier_(std::move(parts.notifier)),
      showWarning_(std::move(parts.showWarning)),
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
        tmrFlash_ = std::make_unique<SecondAlignedTimer>();
    if (!tmrNap_)
        tmrNap_ = std::make_unique<QtTimer>();
    if (!bell_)
        bell_ = std::make_unique<AlarmBell>();
    if (!player_)
        player_ = ControlPlayer::create(host_, this, &site_);
    if (!showWarning_)
        showWarning_ = [this](const QString &text) { QMessageBox::warning(this, QStringLiteral("Kestrum"), text); };
    if (!notifier_) {
        auto desktop = std::make_unique<DesktopNotifier>();
        desktop->setIcon(appIcon(64));
        notifier_ = std::move(desktop);
    }

    settings_ = defaultSettings(programFolder_);
    alarm_ = std::make_unique<AlarmClock>(settings_, *clock_, *tmrFlash_, *tmrNap_, *player_, *this, *bell_,
                                          defaultTunePath());
    alarm_->setNotifier(notifier_.get());
    alarm_->setWakeSettings(&wake_);

    connect(&tray_, &NotifyIcon::callback, this, &FrmMain::onTrayCallback);
    // After sleep the alarm looks at once for a minute it missed.
    sleepWatcher_ = new SleepWatcher(QDBusConnection::systemBus(), this);
    connect(sleepWatcher_, &SleepWatcher::resumed, this, [this] { alarm_->checkNow(); });
    // The space bar snoozes a ringing alarm in every window of the program.
    qApp->installEventFilter(this);
}

FrmMain::~FrmMain()
{
    qApp->removeEventFilter(this);
    // The alarm first: it detaches itself from the timers, the player and
    // the notifications.
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
    if (kestrumTimingLog().isDebugEnabled())
        ui_->txtSec->installEventFilter(this); // logs when each second is painted

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

    QLabel *lblNotice = ui_->lblNotice;
    {
        QFont font = lblNotice->font();
        font.setPixelSize(kNoticePixels);
        font.setBold(true);
        lblNotice->setFont(font);
        QPalette palette = lblNotice->palette();
        palette.setColor(QPalette::WindowText, kNoticeColour);
        lblNotice->setPalette(palette);
    }
    lblNotice->hide();

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

    // While the alarm rings the menu starts with "Snooze" and a separator.
    mnuSnooze_ = new QAction(QStringLiteral("Snooze"), this);
    mnuSnooze_->setObjectName(QStringLiteral("mnuSnooze"));
    snoozeDash_ = new QAction(this);
    snoozeDash_->setSeparator(true);
    connect(mnuSnooze_, &QAction::triggered, this, [this] { alarm_->snooze(); });

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
    wake_ = loadWakeSettings();
    showEditField();
    showStartNotices();
    if (settings_.startInTray == 1) {
        sendToTray();
    } else {
        show();
        focusSnooze();
    }
}

// What keeps the alarm from waking its user as set is said once, at start.
void FrmMain::showStartNotices()
{
    const auto *control = dynamic_cast<const ControlPlayer *>(player_.get());
    if (control != nullptr && control->creationError()) {
        const QString text = QStringLiteral("No tune can play (%1) \u2014 the alarm will ring its bell")
                                 .arg(control->creationError()->description());
        showNotice(text);
        notifier_->showNotice(text);
    } else if (loaded_.unreadableAlarmLine) {
        showNotice(QStringLiteral("The alarm time \"%1\" in %2 cannot be read \u2014 1:01 AM is used until you set it")
                       .arg(*loaded_.unreadableAlarmLine, QString::fromLatin1(kSettingsFileName)));
    }
}

void FrmMain::loadSettings()
{
    const QString path = settingsPath();
    QString why;
    if (!loadSettingsFile(path, settings_, loaded_, programFolder_, &why)) {
        qCWarning(kestrumLog).noquote() << why + (loaded_.unreadable.isEmpty()
                                                      ? QStringLiteral("; the design settings are used and written at exit.")
                                                      : QStringLiteral("; the design settings are used and the file is "
                                                                       "left as it is."));
    }
    loadedAlarmText_ = settings_.alarmText;
    alarm_->showAlarmTextFields();
    if (loaded_.unreadableAlarmLine) {
        qCWarning(kestrumLog).noquote()
            << QStringLiteral("the alarm time \"%1\" in %2 cannot be read; 1:01 AM is used until it is set.")
                   .arg(*loaded_.unreadableAlarmLine, QDir::toNativeSeparators(path));
    }
    ui_->lblMessage->setText(settings_.alarmMessage);
}

bool FrmMain::saveSettings(QString *why)
{
    // The alarm-time line holds the fields as shown; a line the user never
    // touched is written back as it was read, also when it was no valid time.
    if (settings_.alarmText != loadedAlarmText_) {
        loaded_.alarmHour = alarm_->alarmHour();
        loaded_.alarmMinute = alarm_->alarmMinute();
        loaded_.alarmHalf = alarm_->alarmHalf();
        loaded_.unreadableAlarmLine.reset();
        loadedAlarmText_ = settings_.alarmText;
    }
    return saveSettingsFile(settingsPath(), settings_, loaded_, why);
}

void FrmMain::unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    QString why;
    if (!saveSettings(&why))
        saveFailure_ = why.isEmpty() ? QStringLiteral("unknown error") : why;
    if (tray_.isShown())
        tray_.notify(NIM_DELETE, trayIconData_);
}

void FrmMain::onExit()
{
    unload();
    // The user is there to see it: what could not be saved, and why.
    if (!saveFailure_.isEmpty())
        showWarning_(QStringLiteral("The settings could not be saved (%1).\n\n"
                                    "%2 was left as it was; the changes made since Kestrum started are lost.")
                         .arg(saveFailure_, QDir::toNativeSeparators(settingsPath())));
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
    dialog->setWakeSettings(&wake_);
    // "Okay" shows the new message at once.
    dialog->setMessageShown([this](const QString &text) { ui_->lblMessage->setText(text); });
    if (modal) {
        execReleasable(*dialog);
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
    if (event->type() == QEvent::KeyPress && alarm_->state() == AlarmState::Ringing) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier && watched->isWidgetType()) {
            alarm_->snooze();
            return true;
        }
    }
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
    } else if (event->type() == QEvent::Paint && watched == ui_->txtSec && ui_->txtSec->text() != lastSecondPainted_) {
        lastSecondPainted_ = ui_->txtSec->text();
        // The wall clock's milliseconds into the second shown (the one
        // before, when the clock has already moved on).
        const QTime now = QTime::currentTime();
        const int late = now.msec() + (now.second() == lastSecondPainted_.toInt() ? 0 : 1000);
        qCDebug(kestrumTimingLog).noquote() << QStringLiteral("second %1 shown %2 ms after it began")
                                                   .arg(lastSecondPainted_)
                                                   .arg(late);
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

void FrmMain::bringToFront()
{
    releaseModalDialogs();
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
    // Where the window manager keeps a window from taking the focus, it
    // marks it as asking for attention instead.
    QApplication::alert(this);
    focusSnooze();
}

void FrmMain::ringingChanged(bool ringing)
{
    QMenu *menu = ui_->mnuMenu;
    if (ringing) {
        QAction *first = menu->actions().value(0);
        menu->insertAction(first, mnuSnooze_);
        menu->insertAction(first, snoozeDash_);
    } else {
        menu->removeAction(mnuSnooze_);
        menu->removeAction(snoozeDash_);
    }
}

void FrmMain::showNotice(const QString &text)
{
    ui_->lblNotice->setText(text);
    ui_->lblNotice->setToolTip(text);
    ui_->lblNotice->setVisible(!text.isEmpty());
}

QString FrmMain::notice() const
{
    return ui_->lblNotice->isHidden() ? QString() : ui_->lblNotice->text();
}

}  // namespace kestrum
