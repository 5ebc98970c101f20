#pragma once

#include "Registry.h"

#include <QDialog>
#include <QString>

#include <memory>

class QLabel;
class QPainter;
class QPushButton;

namespace SonbrelMP3 {

// The form's class (uic's, from AboutBox.ui) lives in the library's
// namespace: the library exports its inline members, which must not meet a
// host program's own form of the same name.
namespace Ui {
class AboutBox;
}

class AboutEnvironment;

// The library's About box: title and version, a beta marker, a description,
// a legal notice, the maker's name as a web link and a tall product picture,
// with "OK" and "System Info...". It plays a short click when it opens and
// paints a white header band, a shadow behind the picture and etched lines.
// The player and playlist controls show it modally from their About member.
class AboutBox : public QDialog {
    Q_OBJECT

public:
    static constexpr const char *kAppTitle = "SonbrelMP3";
    static constexpr const char *kWebAddress = "https://www.pellicor.example/sonbrelmp3/";
    static constexpr const char *kClickSound = "SonbrelClickz.wav";
    static constexpr const char *kSysInfoUnavailable = "System Information Is Unavailable At This Time";
    // sndPlaySoundA flags: asynchronous, no default sound, do not interrupt.
    static constexpr unsigned kClickFlags = 19;

    // Without an environment the dialog uses the real desktop.
    explicit AboutBox(QWidget *parent = nullptr, AboutEnvironment *environment = nullptr);
    ~AboutBox() override;

    // Reads a registry value as text: REG_SZ as it stands, REG_DWORD in
    // decimal. False, with KeyVal empty, when the key or value is missing or
    // longer than 1024 bytes; other value types leave KeyVal as it was.
    static bool GetKeyValue(platform::HKEY KeyRoot, const QString &KeyName, const QString &SubKeyRef,
                            QString &KeyVal);

    // Starts the system information program named in the registry, or says
    // that it is unavailable.
    void StartSysInfo();

    // The number of colours of the display: 2 ^ (planes x bits per pixel).
    double GetColorCount();

    // Whether the web link shows its hover look (bright blue, underlined).
    bool linkHighlighted() const;

    // The two separator rows of the painting, from the controls' places.
    int headerRule() const;      // m1, the foot of the white band
    int descriptionRule() const; // m2, between description and legal notice

    // Form controls, named as the form (AboutBox.ui) names them.
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblBeta = nullptr;
    QLabel *lblActiveX = nullptr;
    QLabel *lblDescription = nullptr;
    QLabel *lblDisclaimer = nullptr;
    QLabel *lblCopyright = nullptr;
    QLabel *lblCopyright2 = nullptr;
    QLabel *lblWebLink = nullptr;
    QLabel *picIcon256 = nullptr;
    QLabel *picIcon = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;

public slots:
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void lblWebLink_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void arrangeControls();
    void Form_Load();
    void Form_Paint(QPainter &painter);
    void playOpeningClick();
    QString GetWindowsDir();
    bool PlayWaveFile(const QString &FileName);
    void showLinkHover(bool over);

    std::unique_ptr<Ui::AboutBox> ui_;
    std::unique_ptr<AboutEnvironment> ownEnvironment_;
    AboutEnvironment *environment_ = nullptr;
    bool clickPending_ = false;
};

} // namespace SonbrelMP3
