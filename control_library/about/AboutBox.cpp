#include "about/AboutBox.h"

#include "about/AboutEnvironment.h"
#include "ui_AboutBox.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace SonbrelMP3 {

namespace {

// QB colours of the link: 1 (dark blue) plain, 9 (bright blue) under the pointer.
const QColor kPlainLink(0, 0, 128);
const QColor kHoverLink(0, 0, 255);

constexpr unsigned long kOpenAccess = 0x2003F;
constexpr unsigned long kValueBufferSize = 1024;

// The form's fonts, by the faces it was laid out with and the free
// metric-compatible faces that Debian has for them. They are set here, not in
// the form: a form's font holds one face and whole points only.
QFont formFont(QStringList families, QFont::StyleHint hint, double points, bool bold = false)
{
    QFont font;
    families << QStringLiteral("DejaVu Sans");
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont sansSerif(double points)
{
    return formFont({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                     QStringLiteral("Liberation Sans")},
                    QFont::SansSerif, points);
}

QFont arial(double points, bool bold)
{
    return formFont({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")}, QFont::SansSerif, points,
                    bold);
}

QFont timesNewRoman(double points)
{
    return formFont({QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"),
                     QStringLiteral("DejaVu Serif")},
                    QFont::Serif, points);
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

// Each system-information path rule joins with the separator the path uses.
QString withFileName(const QString &folder, const QString &name)
{
    const bool windowsStyle = folder.contains(QLatin1Char('\\')) && !folder.contains(QLatin1Char('/'));
    const QChar separator = windowsStyle ? QLatin1Char('\\') : QLatin1Char('/');
    return folder.endsWith(separator) ? folder + name : folder + separator + name;
}

} // namespace

AboutBox::AboutBox(QWidget *parent, AboutEnvironment *environment)
    : QDialog(parent), ui_(std::make_unique<Ui::AboutBox>())
{
    if (environment == nullptr) {
        ownEnvironment_ = std::make_unique<SystemAboutEnvironment>();
        environment = ownEnvironment_.get();
    }
    environment_ = environment;
    createControls();
    Form_Load();
}

AboutBox::~AboutBox() = default;

void AboutBox::createControls()
{
    ui_->setupUi(this);
    lblTitle = ui_->lblTitle;
    lblVersion = ui_->lblVersion;
    lblBeta = ui_->lblBeta;
    lblActiveX = ui_->lblActiveX;
    lblDescription = ui_->lblDescription;
    lblDisclaimer = ui_->lblDisclaimer;
    lblCopyright = ui_->lblCopyright;
    lblCopyright2 = ui_->lblCopyright2;
    lblWebLink = ui_->lblWebLink;
    picIcon256 = ui_->picIcon256;
    picIcon = ui_->picIcon;
    cmdOK = ui_->cmdOK;
    cmdSysInfo = ui_->cmdSysInfo;

    setFont(sansSerif(9.75));
    lblTitle->setFont(arial(18, true));
    lblBeta->setFont(arial(12, true));
    lblActiveX->setFont(timesNewRoman(14.25));
    const QList<QWidget *> small{lblVersion,    lblDescription, lblDisclaimer, lblCopyright,
                                 lblCopyright2, lblWebLink,     cmdOK,         cmdSysInfo};
    for (QWidget *control : small)
        control->setFont(sansSerif(8.25));

    setTextColour(lblWebLink, kPlainLink);
    lblWebLink->setCursor(QCursor(QPixmap(QStringLiteral(":/tarnel/about/hand.xpm")), 5, 0));
    lblWebLink->setToolTip(QString::fromLatin1(kWebAddress));
    // Both pictures stay hidden until Form_Load shows one.
    picIcon256->hide();
    picIcon->hide();

    connect(cmdOK, &QPushButton::clicked, this, &AboutBox::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &AboutBox::cmdSysInfo_Click);

    // The pointer over any control but the rights notice takes the hover
    // look off the link; over the link it puts it on.
    setMouseTracking(true);
    const QList<QWidget *> watched{lblTitle,   lblVersion,   lblBeta,    lblActiveX, lblDescription,
                                   lblDisclaimer, lblCopyright, lblWebLink, picIcon256, picIcon,
                                   cmdOK,      cmdSysInfo};
    for (QWidget *control : watched) {
        control->setMouseTracking(true);
        control->installEventFilter(this);
    }

    arrangeControls();
    cmdOK->setFocus();
}

// Places the controls from the sizes their texts need, so that the box stays
// legible and aligned whatever faces the desktop substitutes for the fonts.
void AboutBox::arrangeControls()
{
    constexpr int kMargin = 12;
    constexpr int kFormWidth = 480;
    const QSize picture(43, 233);
    picIcon256->setGeometry(kMargin, kMargin, picture.width(), picture.height());
    picIcon->setGeometry(picIcon256->geometry());

    const int textLeft = kMargin + picture.width() + 16;
    const int textWidth = kFormWidth - textLeft - 14;

    lblTitle->setGeometry(textLeft, 8, lblTitle->sizeHint().width(), lblTitle->sizeHint().height());
    lblActiveX->setGeometry(textLeft, lblTitle->geometry().bottom() + 1, lblActiveX->sizeHint().width(),
                            lblActiveX->sizeHint().height());
    // BETA EDITION stands at the right, on the product line's baseline.
    const QSize beta = lblBeta->sizeHint();
    const int activeXBaseline = lblActiveX->y() + lblActiveX->fontMetrics().ascent();
    lblBeta->setGeometry(textLeft + textWidth - beta.width(), activeXBaseline - lblBeta->fontMetrics().ascent(),
                         beta.width(), beta.height());
    lblVersion->setGeometry(textLeft, lblActiveX->geometry().bottom() + 15, textWidth,
                            lblVersion->sizeHint().height());
    lblDescription->setGeometry(textLeft, lblVersion->geometry().bottom() + 9, textWidth,
                                lblDescription->heightForWidth(textWidth));

    const int buttonWidth = std::max(96, cmdSysInfo->sizeHint().width());
    const int buttonHeight = std::max(26, cmdOK->sizeHint().height());
    const int belowRule = lblDescription->geometry().bottom() + 17;
    const int buttonLeft = textLeft + textWidth - buttonWidth;
    const int disclaimerWidth = buttonLeft - 14 - textLeft;
    lblDisclaimer->setGeometry(textLeft, belowRule, disclaimerWidth,
                               lblDisclaimer->heightForWidth(disclaimerWidth));
    cmdOK->setGeometry(buttonLeft, belowRule, buttonWidth, buttonHeight);
    cmdSysInfo->setGeometry(buttonLeft, cmdOK->geometry().bottom() + 9, buttonWidth, buttonHeight);

    const int copyrightTop = lblDisclaimer->geometry().bottom() + 11;
    lblCopyright->setGeometry(textLeft, copyrightTop, lblCopyright->sizeHint().width(),
                              lblCopyright->sizeHint().height());
    lblWebLink->setGeometry(textLeft, copyrightTop, lblWebLink->sizeHint().width(),
                            lblWebLink->sizeHint().height());
    lblCopyright2->setGeometry(textLeft, lblCopyright->geometry().bottom() + 2,
                               lblCopyright2->sizeHint().width(), lblCopyright2->sizeHint().height());

    const int bottom = std::max({picIcon256->geometry().bottom() + 4, lblCopyright2->geometry().bottom(),
                                 cmdSysInfo->geometry().bottom()});
    setFixedSize(kFormWidth, bottom + 1 + kMargin);
}

void AboutBox::Form_Load()
{
    // The link reads as the end of the copyright line.
    lblWebLink->move(lblCopyright->x() + lblCopyright->width(), lblWebLink->y());

    if (GetColorCount() > 256)
        picIcon256->setVisible(true);
    else
        picIcon->setVisible(true);

    const QString title = QString::fromLatin1(kAppTitle);
    setWindowTitle(QStringLiteral("About ") + title);
    lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(TARNELMP3_VERSION_MAJOR)
                            .arg(TARNELMP3_VERSION_MINOR)
                            .arg(TARNELMP3_VERSION_PATCH));
    lblTitle->setText(title);
    lblTitle->resize(lblTitle->sizeHint());

    // The click follows once the box is on the screen (showEvent).
    clickPending_ = true;
}

void AboutBox::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (clickPending_) {
        clickPending_ = false;
        QTimer::singleShot(0, this, &AboutBox::playOpeningClick);
    }
}

void AboutBox::playOpeningClick()
{
    // The box is drawn before the sound starts; the sound never stops it.
    QCoreApplication::processEvents();
    try {
        PlayWaveFile(GetWindowsDir() + QLatin1Char('/') + QLatin1String(kClickSound));
    } catch (...) {
    }
}

QString AboutBox::GetWindowsDir()
{
    return environment_->dataFolder();
}

bool AboutBox::PlayWaveFile(const QString &FileName)
{
    if (environment_->soundDeviceCount() == 0)
        return false;
    if (QFileInfo(FileName).isFile())
        return environment_->playSound(QFile::encodeName(FileName).constData(), kClickFlags) != 0;
    // No file: only stop a sound that plays. That is not playing the file.
    environment_->playSound(nullptr, kClickFlags);
    return false;
}

double AboutBox::GetColorCount()
{
    const int bits = environment_->colourPlanes() * environment_->bitsPerPixel();
    return std::ldexp(1.0, std::clamp(bits, 0, 1023));
}

int AboutBox::headerRule() const
{
    return (lblActiveX->y() + lblActiveX->height() + lblVersion->y()) / 2;
}

int AboutBox::descriptionRule() const
{
    return (lblDescription->y() + lblDescription->height() + lblDisclaimer->y()) / 2;
}

void AboutBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    Form_Paint(painter);
}

void AboutBox::Form_Paint(QPainter &painter)
{
    const QColor face = palette().color(QPalette::Button);
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor highlight = palette().color(QPalette::Light);
    const int scaleWidth = width();
    const int m1 = headerRule();

    painter.fillRect(QRect(QPoint(0, 0), QPoint(scaleWidth, m1)), Qt::white);

    const QRect box = picIcon256->geometry();
    const int left = box.x();
    const int top = box.y();
    const int boxWidth = box.width();
    const int boxHeight = box.height();
    painter.fillRect(QRect(QPoint(left + 4, top + 4), QPoint(left + boxWidth + 3, m1)), face);
    painter.fillRect(QRect(QPoint(left + 4, m1), QPoint(left + boxWidth + 3, top + boxHeight + 3)), shadow);

    painter.setPen(face);
    painter.drawLine(0, m1, scaleWidth, m1);
    painter.setPen(highlight);
    painter.drawLine(0, m1 + 1, scaleWidth, m1 + 1);

    // Where the rule crosses the shadow it is drawn in the shadow's tones.
    const int crossFrom = picIcon->x() + boxWidth - 1;
    const int crossTo = left + boxWidth + 4;
    painter.setPen(shadow);
    painter.drawLine(crossFrom, m1, crossTo, m1);
    painter.setPen(face);
    painter.drawLine(crossFrom, m1 + 1, crossTo, m1 + 1);

    const int m2 = descriptionRule();
    const int ruleFrom = lblVersion->x();
    const int ruleTo = cmdOK->x() + cmdOK->width();
    painter.setPen(shadow);
    painter.drawLine(ruleFrom, m2, ruleTo, m2);
    painter.setPen(highlight);
    painter.drawLine(ruleFrom, m2 + 1, ruleTo, m2 + 1);
}

bool AboutBox::linkHighlighted() const
{
    return lblWebLink->font().underline();
}

void AboutBox::showLinkHover(bool over)
{
    if (over == linkHighlighted())
        return;
    QFont font = lblWebLink->font();
    font.setUnderline(over);
    lblWebLink->setFont(font);
    setTextColour(lblWebLink, over ? kHoverLink : kPlainLink);
}

bool AboutBox::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove) {
        showLinkHover(watched == lblWebLink);
    } else if (watched == lblWebLink) {
        // Leaving the link for the rights notice or for outside the box also
        // ends the hover look.
        if (event->type() == QEvent::Leave) {
            showLinkHover(false);
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton && lblWebLink->rect().contains(mouse->position().toPoint()))
                lblWebLink_Click();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AboutBox::mouseMoveEvent(QMouseEvent *event)
{
    // A move that a label did not take comes up here too: only the form's
    // own background counts, the controls have their own handling.
    if (childAt(event->position().toPoint()) == nullptr)
        showLinkHover(false);
    QDialog::mouseMoveEvent(event);
}

void AboutBox::cmdOK_Click()
{
    accept();
}

void AboutBox::cmdSysInfo_Click()
{
    StartSysInfo();
}

void AboutBox::lblWebLink_Click()
{
    environment_->openUrl(QString::fromLatin1(kWebAddress));
}

void AboutBox::StartSysInfo()
{
    QString path;
    if (GetKeyValue(platform::HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                    QStringLiteral("PATH"), path)) {
        if (environment_->startProgram(path))
            return;
    } else if (GetKeyValue(platform::HKEY_LOCAL_MACHINE,
                           QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"), QStringLiteral("MSINFO"),
                           path)) {
        const QString program = withFileName(path, QStringLiteral("MSINFO32.EXE"));
        if (QFileInfo(program).isFile() && environment_->startProgram(program))
            return;
    }
    environment_->messageBox(this, QString::fromLatin1(kSysInfoUnavailable), QString::fromLatin1(kAppTitle));
}

bool AboutBox::GetKeyValue(platform::HKEY KeyRoot, const QString &KeyName, const QString &SubKeyRef,
                           QString &KeyVal)
{
    using namespace platform;
    HKEY key = nullptr;
    if (RegOpenKeyExA(KeyRoot, KeyName.toUtf8().constData(), 0, kOpenAccess, &key) != ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }
    unsigned char buffer[kValueBufferSize] = {};
    unsigned long size = kValueBufferSize;
    unsigned long type = 0;
    if (RegQueryValueExA(key, SubKeyRef.toUtf8().constData(), nullptr, &type, buffer, &size) != ERROR_SUCCESS) {
        KeyVal.clear();
        RegCloseKey(key);
        return false;
    }
    size = std::min(size, kValueBufferSize);
    if (size > 0 && buffer[size - 1] == 0)
        --size;
    if (type == REG_SZ) {
        KeyVal = QString::fromUtf8(reinterpret_cast<const char *>(buffer), static_cast<qsizetype>(size));
    } else if (type == REG_DWORD) {
        // Little-endian; a dropped trailing NUL byte does not change it.
        std::uint32_t number = 0;
        for (unsigned long i = 0; i < std::min<unsigned long>(size, 4); ++i)
            number |= std::uint32_t{buffer[i]} << (8 * i);
        KeyVal = QString::number(number);
    }
    RegCloseKey(key);
    return true;
}

} // namespace SonbrelMP3
