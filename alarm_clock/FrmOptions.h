#pragma once

#include "OptionsDialog.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace platform {
class ContainerSite;
class ControlHost;
}

namespace kestrum {

namespace Ui {
class frmOptions;
}

// The file-open dialog over QFileDialog, with the properties of cd1. The
// filter is given as "description|pattern" pairs joined by "|".
class QtFileDialog : public FileDialog {
public:
    explicit QtFileDialog(QWidget *parent) : parent_(parent) {}
    void ShowOpen() override;

    // "Audio (*.mp3)|*.mp3" as Qt's name filters: ["Audio (*.mp3)"].
    static QStringList nameFilters(const QString &filter);

private:
    QWidget *parent_;
    QString lastFolder_;
};

// The options dialog (frmOptions): the tune list with Add, Remove and the
// preview toggle, the snooze interval, the tune order, repeat, the start
// options and the alarm message, and the section "Waking": the fade-in and
// how late an alarm missed in sleep may still ring. Its behaviour is OptionsDialog's; this
// window shows the fields and passes the user's edits on.
class FrmOptions : public QDialog {
    Q_OBJECT

public:
    // With its own preview player, created by ProgID through `host`.
    FrmOptions(AlarmSettings &settings, platform::ControlHost &host, QString executableFolder,
               QWidget *parent = nullptr);
    // With the given preview player and file dialog.
    FrmOptions(AlarmSettings &settings, std::unique_ptr<Player> mpp, std::unique_ptr<FileDialog> cd1,
               QString executableFolder, QWidget *parent = nullptr);
    ~FrmOptions() override;

    OptionsDialog &logic() { return *logic_; }

    // Tells the main window the new alarm message after "Okay".
    void setMessageShown(std::function<void(const QString &)> show);
    // The wake settings that the section "Waking" shows and "Okay" stores.
    void setWakeSettings(WakeSettings *wake);

    // Controls, named as the form (FrmOptions.ui) names them.
    QListWidget *lstMidi = nullptr;
    QPushButton *btnAdd = nullptr;
    QPushButton *btnRemove = nullptr;
    QPushButton *chkPlay = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *cboOrder = nullptr;
    QCheckBox *chkRepeat = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *txtInterval = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *txtMessage = nullptr;
    QGroupBox *Frame1 = nullptr;
    QCheckBox *chkWin = nullptr;
    QCheckBox *chkTray = nullptr;
    QLabel *Label8 = nullptr;
    QPushButton *Command4 = nullptr;
    // The section "Waking".
    QGroupBox *wakeBox = nullptr;
    QSpinBox *spnFadeIn = nullptr;
    QSpinBox *spnLateLimit = nullptr;

public slots:
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void connectControls();
    void showFields();
    void showError(const QString &text);

    std::unique_ptr<Ui::frmOptions> ui_;
    std::unique_ptr<platform::ContainerSite> site_;
    std::unique_ptr<Player> mpp_;
    std::unique_ptr<FileDialog> cd1_;
    std::unique_ptr<OptionsDialog> logic_;
    bool showing_ = false;
    bool unloaded_ = false;
};

} // namespace kestrum
