#include "FrmMain.h"

#include "FrmOptions.h"

#include "ClockFonts.h"
#include "KestrumArt.h"
#include "KestrumLog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

#include <cstdio>
#include <vector>

namespace kestrum {

namespace {

constexpr int kDigitPixels = 64;   // hour and minutes
constexpr int kSecondPixels = 26;  // seconds
constexpr int kHalfPixels = 20;    // AM / PM
constexpr int kAlarmPixels = 20;   // the alarm-time fields
constexpr int kMessagePixels = 20; // the alarm message
constexpr int kPicturePixels = 26; // picAl, picAlON

// The window's background, also behind the display's rounded corners.
const QColor kWindowBackground(0xe6, 0xea, 0xef);

// The style of the alarm controls and Snooze. The clock display is left out
// of style sheets on purpose: it repaints twice a second and draws faster
// with the plain style.
const char kStyleSheet[] = R"(
QGroupBox#Frame2 {
    font-weight: bold; color: #36414b;
    border: 1px solid #b6c0ca; border-radius: 8px;
    margin-top: 9px; padding: 12px 8px 8px 8px; background: #f3f5f8;
}
QGroupBox#Frame2::title { subcontrol-origin: margin; left: 12px; padding: 0 5px; }
QPushButton {
    border: 1px solid #98a4b0; border-radius: 6px; padding: 3px 12px; min-height: 24px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #dce2e8);
    color: #1e2830;
}
QPushButton:hover { border-color: #5a86c8; }
QPushButton:pressed { background: #cdd5dd; }
QPushButton#Command6, QPushButton#Command7 { font-weight: bold; font-size: 16px; min-width: 18px; padding: 0 6px; }
QPushButton#chkSet { font-weight: bold; min-width: 44px; }
QPushButton#chkSet:checked {
    color: #ffffff; border-color: #a3321d;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ff8e63, stop:1 #d6432a);
}
QPushButton#cmdSnooze {
    font-size: 18px; font-weight: bold; min-height: 46px; color: #5b3a00;
    border: 1px solid #c4922a; border-radius: 8px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fff4d8, stop:1 #ffcf6b);
}
QPushButton#cmdSnooze:hover { border-color: #9a6b10; }
QPushButton#cmdSnooze:pressed { background: #f3c35e; }
QPushButton#cmdSnooze:focus { border: 2px solid #9a6b10; }
QFrame#alarmTimeBox { background: #07140d; border: 1px solid #24302a; border-radius: 6px; }
QLabel#txtAlHr, QLabel#txtAlMin, QLabel#txtAlAMPM, QLabel#alarmColon { color: #7dffb4; padding: 3px 2px; }
QLabel#txtAlHr[selected="true"], QLabel#txtAlMin[selected="true"], QLabel#txtAlAMPM[selected="true"] {
    background: #1f4a33; border-radius: 4px;
}
)";

QLabel *segmentLabel(QWidget *parent, const char *name, const QString &text, const QFont &font,
                     Qt::Alignment alignment, const QString &widest)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    label->setAlignment(alignment);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kSegmentLit);
    label->setPalette(palette);
    // Wide enough for the widest text, so the display never shifts.
    const QFontMetrics metrics(font);
    label->setFixedSize(metrics.horizontalAdvance(widest) + 2, metrics.height());
    return label;
}

QLabel *pictureLabel(QWidget *parent, const char *name, const QImage &image)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setPixmap(QPixmap::fromImage(image));
    label->setFixedSize(image.size());
    QSizePolicy policy = label->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    label->setSizePolicy(policy);
    label->hide();
    return label;
}

QIcon programIcon()
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128})
        icon.addPixmap(QPixmap::fromImage(appIcon(size)));
    return icon;
}

}  // namespace

// picDisplay: the dark glass of the clock, which also shows every segment
// of its digits unlit, as a real display does. The glass and the unlit
// segments are drawn once into a cached picture: the clock repaints parts
// of the display every half second, and only the lit text then needs
// drawing anew.
class DisplayPanel : public QWidget {
public:
    explicit DisplayPanel(QWidget *parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("picDisplay"));
        setFocusPolicy(Qt::ClickFocus);
        // Painted whole (corners in the window's colour), so nothing beneath
        // needs painting when a digit changes.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    // `label` shows `ghost` in unlit segments behind its text.
    void addGhost(QLabel *label, const QString &ghost)
    {
        ghosts_.push_back({label, ghost});
        label->installEventFilter(this);
        face_ = QPixmap();
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        const qreal ratio = devicePixelRatioF();
        if (face_.isNull() || face_.size() != size() * ratio) {
            face_ = QPixmap(size() * ratio);
            face_.setDevicePixelRatio(ratio);
            face_.fill(kWindowBackground);
            QPainter painter(&face_);
            paintDisplayPanel(painter, rect());
            painter.setPen(kSegmentGhost);
            for (const auto &[label, ghost] : ghosts_) {
                painter.setFont(label->font());
                painter.drawText(label->geometry(), static_cast<int>(label->alignment()), ghost);
            }
        }
        QPainter painter(this);
        const QRect area = event->rect();
        painter.drawPixmap(area, face_, QRectF(area.topLeft() * ratio, area.size() * ratio).toRect());
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A segment label placed anew: its unlit segments move with it.
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
            face_ = QPixmap();
        return QWidget::eventFilter(watched, event);
    }

private:
    std::vector<std::pair<QLabel *, QString>> ghosts_;
    QPixmap face_;
};

FrmMain::FrmMain(FrmMainParts parts, QWidget *parent)
    : QMainWindow(parent),
      programFolder_(parts.programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : parts.programFolder),
      clock_(std::move(parts.clock)),
      tmrFlash_(std::move(parts.tmrFlash)),
      tmrNap_(std::move(parts.tmrNap)),
      player_(std::move(parts.player)),
      bell_(std::move(parts.bell))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Kestrum"));
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
    return settingsFilePath(programFolder_);
}

QString FrmMain::defaultTunePath() const
{
    return QDir(programFolder_).filePath(QStringLiteral("Zorvin.mp3"));
}

// ---- The window ------------------------------------------------------------

void FrmMain::buildWindow()
{
    const ClockFonts &fonts = clockFonts();
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(central);
    QPalette background = palette();
    background.setColor(QPalette::Window, kWindowBackground);
    setPalette(background);
    central->setAutoFillBackground(true);

    // The clock display.
    picDisplay_ = new DisplayPanel(central);
    picDisplay_->installEventFilter(this);
    const QFont digits = fonts.sevenSegment(kDigitPixels);
    txtHR_ = segmentLabel(picDisplay_, "txtHR", QStringLiteral("12"), digits, Qt::AlignRight | Qt::AlignVCenter,
                          QStringLiteral("88"));
    lblFlash_ = segmentLabel(picDisplay_, "lblFlash", QStringLiteral(":"), digits, Qt::AlignCenter,
                             QStringLiteral(":"));
    txtMin_ = segmentLabel(picDisplay_, "txtMin", QStringLiteral("22"), digits, Qt::AlignLeft | Qt::AlignVCenter,
                           QStringLiteral("88"));
    txtSec_ = segmentLabel(picDisplay_, "txtSec", QStringLiteral("12"), fonts.sevenSegment(kSecondPixels),
                           Qt::AlignLeft | Qt::AlignTop, QStringLiteral("88"));
    txtAMPM_ = segmentLabel(picDisplay_, "txtAMPM", QStringLiteral("PM"), fonts.fourteenSegment(kHalfPixels),
                            Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("PM"));
    picDisplay_->addGhost(txtHR_, QStringLiteral("88"));
    picDisplay_->addGhost(lblFlash_, QStringLiteral(":"));
    picDisplay_->addGhost(txtMin_, QStringLiteral("88"));
    picDisplay_->addGhost(txtSec_, QStringLiteral("88"));
    picDisplay_->addGhost(txtAMPM_, QStringLiteral("~~"));

    picAl_ = pictureLabel(picDisplay_, "picAl", armedPicture(kPicturePixels));
    picAl_->setToolTip(QStringLiteral("The alarm is set"));
    picAlON_ = pictureLabel(picDisplay_, "picAlON", ringingPicture(kPicturePixels));

    lblMessage_ = new QLabel(QStringLiteral("Wakie, Wakie !"), picDisplay_);
    lblMessage_->setObjectName(QStringLiteral("lblMessage"));
    lblMessage_->setFont(ClockFonts::message(kMessagePixels));
    lblMessage_->setAlignment(Qt::AlignCenter);
    {
        QPalette palette = lblMessage_->palette();
        palette.setColor(QPalette::WindowText, kMessageColour);
        lblMessage_->setPalette(palette);
        QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        policy.setRetainSizeWhenHidden(true);
        lblMessage_->setSizePolicy(policy);
        lblMessage_->setFixedHeight(QFontMetrics(lblMessage_->font()).height() + 4);
    }
    lblMessage_->hide();

    auto *pictures = new QVBoxLayout;
    pictures->setSpacing(6);
    pictures->addWidget(picAl_);
    pictures->addWidget(picAlON_);
    pictures->addStretch();

    auto *secondsAndHalf = new QVBoxLayout;
    secondsAndHalf->setSpacing(0);
    secondsAndHalf->addWidget(txtSec_);
    secondsAndHalf->addStretch();
    secondsAndHalf->addWidget(txtAMPM_);

    auto *clockRow = new QHBoxLayout;
    clockRow->setSpacing(4);
    clockRow->addLayout(pictures);
    clockRow->addStretch();
    clockRow->addWidget(txtHR_, 0, Qt::AlignVCenter);
    clockRow->addWidget(lblFlash_, 0, Qt::AlignVCenter);
    clockRow->addWidget(txtMin_, 0, Qt::AlignVCenter);
    clockRow->addSpacing(6);
    clockRow->addLayout(secondsAndHalf);
    clockRow->addStretch();

    auto *displayLayout = new QVBoxLayout(picDisplay_);
    displayLayout->setContentsMargins(18, 16, 18, 10);
    displayLayout->setSpacing(4);
    displayLayout->addLayout(clockRow);
    displayLayout->addWidget(lblMessage_);

    // The alarm controls.
    Frame2_ = new QGroupBox(QStringLiteral("Set Alarm"), central);
    Frame2_->setObjectName(QStringLiteral("Frame2"));
    auto *timeBox = new QFrame(Frame2_);
    timeBox->setObjectName(QStringLiteral("alarmTimeBox"));
    const QFont alarmDigits = fonts.sevenSegment(kAlarmPixels);
    const auto alarmField = [&](const char *name, const QString &text, const QFont &font, const QString &widest,
                                const QString &tip) {
        auto *label = new QLabel(text, timeBox);
        label->setObjectName(QString::fromLatin1(name));
        label->setFont(font);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(QFontMetrics(font).horizontalAdvance(widest) + 8);
        label->setCursor(Qt::PointingHandCursor);
        label->setToolTip(tip);
        label->installEventFilter(this);
        return label;
    };
    txtAlHr_ = alarmField("txtAlHr", QStringLiteral("1"), alarmDigits, QStringLiteral("88"),
                          QStringLiteral("Click, then change the hour with + and -"));
    auto *alarmColon = new QLabel(QStringLiteral(":"), timeBox);
    alarmColon->setObjectName(QStringLiteral("alarmColon"));
    alarmColon->setFont(alarmDigits);
    txtAlMin_ = alarmField("txtAlMin", QStringLiteral("01"), alarmDigits, QStringLiteral("88"),
                           QStringLiteral("Click, then change the minutes with + and -"));
    txtAlAMPM_ = alarmField("txtAlAMPM", QStringLiteral("AM"), fonts.fourteenSegment(kAlarmPixels - 4),
                            QStringLiteral("PM"), QStringLiteral("Click, then change AM / PM with + or -"));
    auto *timeLayout = new QHBoxLayout(timeBox);
    timeLayout->setContentsMargins(6, 2, 6, 2);
    timeLayout->setSpacing(0);
    timeLayout->addWidget(txtAlHr_);
    timeLayout->addWidget(alarmColon);
    timeLayout->addWidget(txtAlMin_);
    timeLayout->addSpacing(4);
    timeLayout->addWidget(txtAlAMPM_);

    Command6_ = new QPushButton(QStringLiteral("+"), Frame2_);
    Command6_->setObjectName(QStringLiteral("Command6"));
    Command6_->setToolTip(QStringLiteral("Increase the selected field of the alarm time"));
    Command6_->setAutoRepeat(true);
    Command7_ = new QPushButton(QStringLiteral("-"), Frame2_);
    Command7_->setObjectName(QStringLiteral("Command7"));
    Command7_->setToolTip(QStringLiteral("Decrease the selected field of the alarm time"));
    Command7_->setAutoRepeat(true);
    chkSet_ = new QPushButton(QStringLiteral("Set"), Frame2_);
    chkSet_->setObjectName(QStringLiteral("chkSet"));
    chkSet_->setCheckable(true);
    chkSet_->setToolTip(QStringLiteral("Arm or disarm the alarm"));
    Command8_ = new QPushButton(QStringLiteral("Options"), Frame2_);
    Command8_->setObjectName(QStringLiteral("Command8"));
    Command8_->setToolTip(QStringLiteral("Tunes, snooze minutes and start options"));

    auto *frameLayout = new QHBoxLayout(Frame2_);
    frameLayout->setSpacing(6);
    frameLayout->addWidget(timeBox);
    frameLayout->addWidget(Command6_);
    frameLayout->addWidget(Command7_);
    frameLayout->addStretch();
    frameLayout->addWidget(chkSet_);
    frameLayout->addWidget(Command8_);

    cmdSnooze_ = new QPushButton(QStringLiteral("S N O O Z E "), central);
    cmdSnooze_->setObjectName(QStringLiteral("cmdSnooze"));
    cmdSnooze_->setToolTip(QStringLiteral("Silence the tune until the next snooze (space bar)"));

    Frame2_->setStyleSheet(QString::fromLatin1(kStyleSheet));
    cmdSnooze_->setStyleSheet(QString::fromLatin1(kStyleSheet));

    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(10);
    layout->addWidget(picDisplay_);
    layout->addWidget(Frame2_);
    layout->addWidget(cmdSnooze_);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Command6_, &QPushButton::clicked, this, [this] { alarm_->increase(); });
    connect(Command7_, &QPushButton::clicked, this, [this] { alarm_->decrease(); });
    connect(chkSet_, &QPushButton::clicked, this, [this](bool checked) { alarm_->setArmed(checked); });
    connect(Command8_, &QPushButton::clicked, this, &FrmMain::onOptionsButton);
    connect(cmdSnooze_, &QPushButton::clicked, this, [this] { alarm_->snooze(); });
}

void FrmMain::buildMenu()
{
    mnuMenu_ = menuBar()->addMenu(QStringLiteral("Main"));
    mnuMenu_->setObjectName(QStringLiteral("mnuMenu"));
    mnuOpen_ = mnuMenu_->addAction(QStringLiteral("Open"));
    mnuOpen_->setObjectName(QStringLiteral("mnuOpen"));
    mnuOption_ = mnuMenu_->addAction(QStringLiteral("Options"));
    mnuOption_->setObjectName(QStringLiteral("mnuOption"));
    mnuDash_ = mnuMenu_->addSeparator();
    mnuDash_->setObjectName(QStringLiteral("mnuDash"));
    mnuExit_ = mnuMenu_->addAction(QStringLiteral("Exit"));
    mnuExit_->setObjectName(QStringLiteral("mnuExit"));

    connect(mnuOpen_, &QAction::triggered, this, [this] { openFromTray(); });
    connect(mnuOption_, &QAction::triggered, this, [this] { emit optionsRequested(false); });
    connect(mnuExit_, &QAction::triggered, this, &FrmMain::onExit);
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
    lblMessage_->setText(settings_.alarmMessage);
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
        mnuMenu_->popup(QCursor::pos());
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
    dialog->setMessageShown([this](const QString &text) { lblMessage_->setText(text); });
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
        const int field = watched == txtAlHr_ ? AlarmClock::HourField
                          : watched == txtAlMin_ ? AlarmClock::MinuteField
                          : watched == txtAlAMPM_ ? AlarmClock::HalfField
                                                  : 0;
        if (field != 0) {
            alarm_->selectField(field);
            showEditField();
            focusSnooze();
            return true;
        }
    } else if (event->type() == QEvent::FocusIn && watched == picDisplay_) {
        focusSnooze();
    }
    return QMainWindow::eventFilter(watched, event);
}

void FrmMain::showEditField()
{
    const int field = alarm_->editField();
    for (const auto &[label, number] : {std::pair{txtAlHr_, 1}, std::pair{txtAlMin_, 2}, std::pair{txtAlAMPM_, 3}}) {
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
    txtHR_->setText(hour);
    txtMin_->setText(minute);
    txtSec_->setText(second);
    txtAMPM_->setText(half);
}

void FrmMain::showSeparator(bool shown)
{
    lblFlash_->setText(shown ? QStringLiteral(":") : QStringLiteral(" "));
}

void FrmMain::showAlarmTime(const QString &hour, const QString &minute, const QString &half)
{
    txtAlHr_->setText(hour);
    txtAlMin_->setText(minute);
    txtAlAMPM_->setText(half);
}

void FrmMain::setArmedPictureVisible(bool visible)
{
    picAl_->setVisible(visible);
}

void FrmMain::setRingingPictureVisible(bool visible)
{
    picAlON_->setVisible(visible);
}

void FrmMain::setMessageVisible(bool visible, const QString &text)
{
    lblMessage_->setText(text);
    lblMessage_->setVisible(visible);
}

void FrmMain::setToggle(bool checked, const QString &caption)
{
    const QSignalBlocker blocker(chkSet_);
    chkSet_->setChecked(checked);
    chkSet_->setText(caption);
}

void FrmMain::focusSnooze()
{
    cmdSnooze_->setFocus(Qt::OtherFocusReason);
}

}  // namespace kestrum
