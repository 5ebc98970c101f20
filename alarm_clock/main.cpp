// Kestrum, the alarm clock: one copy per user (a second start brings it to
// the front), its main window, and the settings saved however the program
// ends (Exit, logging out, SIGTERM).
#include "FrmMain.h"
#include "InstanceActivation.h"
#include "KestrumLog.h"
#include "LeakCheck.h"
#include "RegistryValues.h"
#include "SettingsLocation.h"
#include "SingleInstance.h"
#include "TerminationSignals.h"

#include <QApplication>
#include <QMessageBox>
#include <QStandardPaths>
#include <QStyleFactory>
#ifndef QT_NO_SESSIONMANAGER
#include <QSessionManager>
#endif

#include <exception>

int main(int argc, char **argv)
try {
    platform::checkLeaksWhenTheApplicationEnds();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrum"));
    QApplication::setDesktopFileName(QStringLiteral("kestrum"));
    // Hidden in the notification area the program has no window, and must
    // go on running.
    QApplication::setQuitOnLastWindowClosed(false);
    if (QStyle *style = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(style);

    kestrum::SingleInstance instance;
    const kestrum::SingleInstance::Result lock = instance.acquire();
    const QString socketPath = kestrum::activationSocketPath(instance.lockPath());
    if (lock == kestrum::SingleInstance::Result::HeldElsewhere) {
        // The running copy comes to the front; the notice is shown only
        // when it cannot be asked to.
        // The launcher's activation token lets the running copy's window
        // take the focus under Wayland.
        if (!kestrum::requestActivation(socketPath, qgetenv("XDG_ACTIVATION_TOKEN")))
            QMessageBox::information(nullptr, QStringLiteral("Kestrum"),
                                     QString::fromLatin1(kestrum::kAlreadyRunningText), QMessageBox::Ok);
        return 0;
    }

    kestrum::moveFormerRegistryStore();
    const kestrum::SettingsLocation settings = kestrum::locateSettings(
        QCoreApplication::applicationDirPath(), QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    qCDebug(kestrum::kestrumLog).noquote() << "the settings are kept in" << settings.path;
    kestrum::FrmMainParts parts;
    parts.settingsFile = settings.path;
    kestrum::FrmMain frmMain(std::move(parts));
    kestrum::TerminationSignals termination;

    kestrum::ActivationServer activation;
    if (lock == kestrum::SingleInstance::Result::Acquired)
        activation.listen(socketPath);
    QObject::connect(&activation, &kestrum::ActivationServer::activationRequested, &frmMain,
                     [&](const QString &token) {
                         kestrum::useActivationToken(token);
                         frmMain.openFromTray();
                         // Used by now where the compositor could take it; it
                         // must not reach programs started later.
                         qunsetenv("XDG_ACTIVATION_TOKEN");
                     });

    QObject::connect(&frmMain, &kestrum::FrmMain::exitRequested, &application, &QApplication::quit);
    // The "Options" button opens the dialog modally, the menu item modeless.
    QObject::connect(&frmMain, &kestrum::FrmMain::optionsRequested, &frmMain,
                     [&](bool modal) { frmMain.showOptions(modal); });
    // SIGTERM and the others end the program as "Exit" does.
    QObject::connect(&termination, &kestrum::TerminationSignals::terminationRequested, &application, [&] {
        frmMain.unload();
        QApplication::quit();
    });
#ifndef QT_NO_SESSIONMANAGER
    // The session ends: save now, the program may be stopped without
    // another word.
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &frmMain,
                     [&](QSessionManager &) { frmMain.saveSettings(); });
#endif
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &frmMain, [&] { frmMain.unload(); });

    frmMain.startUp();
    if (!settings.problem.isEmpty()) {
        const QString text = QStringLiteral("Kestrum cannot save its settings: %1.\n\n"
                                            "Changes made now are lost when Kestrum ends.")
                                 .arg(settings.problem);
        qCWarning(kestrum::kestrumLog).noquote() << text;
        auto *notice = new QMessageBox(QMessageBox::Warning, QStringLiteral("Kestrum"), text, QMessageBox::Ok, &frmMain);
        notice->setAttribute(Qt::WA_DeleteOnClose);
        notice->setModal(false);
        notice->show();
    }
    return QApplication::exec();
} catch (const std::exception &error) {
    // Nothing that goes wrong while starting ends the program without a
    // word: what would escape (memory running out, say) is said on screen.
    const QString why = QString::fromLocal8Bit(error.what());
    qCCritical(kestrum::kestrumLog).noquote() << "Kestrum cannot start:" << why;
    QApplication application(argc, argv);
    QMessageBox::critical(nullptr, QStringLiteral("Kestrum"), QStringLiteral("Kestrum cannot start: %1").arg(why));
    return 1;
}
