#include "ModalDialogs.h"

#include <QDialog>
#include <QEventLoop>
#include <QList>
#include <QPointer>

namespace kestrum {

namespace {

// The dialogs execReleasable() runs, innermost last. UI thread only.
QList<QPointer<QDialog>> &running()
{
    static QList<QPointer<QDialog>> dialogs;
    return dialogs;
}

} // namespace

int execReleasable(QDialog &dialog)
{
    QEventLoop loop;
    int result = QDialog::Rejected;
    const QPointer<QDialog> guard(&dialog);
    const auto finished = QObject::connect(&dialog, &QDialog::finished, &loop, [&](int code) {
        result = code;
        loop.quit();
    });
    const auto destroyed = QObject::connect(&dialog, &QObject::destroyed, &loop, &QEventLoop::quit);
    dialog.setWindowModality(Qt::ApplicationModal);
    running().append(guard);
    dialog.show();
    loop.exec(QEventLoop::DialogExec);
    running().removeAll(guard);
    running().removeAll(QPointer<QDialog>());
    QObject::disconnect(finished);
    QObject::disconnect(destroyed);
    return result;
}

void releaseModalDialogs()
{
    for (const QPointer<QDialog> &dialog : running()) {
        if (dialog == nullptr || dialog->windowModality() == Qt::NonModal)
            continue;
        // Modality changes only while a window is hidden.
        const bool visible = dialog->isVisible();
        dialog->hide();
        dialog->setWindowModality(Qt::NonModal);
        if (visible)
            dialog->show();
    }
}

int runningModalDialogs()
{
    return static_cast<int>(running().size());
}

} // namespace kestrum
