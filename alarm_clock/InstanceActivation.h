#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace kestrum {

// A second start brings the running copy's window to the front instead of
// only saying that it runs. The running copy listens on a local socket in
// the same private runtime folder as its lock (only this user can reach
// it); a second copy connects, asks, and waits for the answer.
//
// The exchange is one line each way: "activate" from the second copy,
// followed by a space and the activation token its launcher gave it when
// there is one (Wayland compositors let a window take the focus only with
// such a token), and "done" from the running one once its window is in
// front.

// The socket beside the lock file `lockPath`: "<its folder>/Kestrum.socket".
QString activationSocketPath(const QString &lockPath);

class ActivationServer : public QObject {
    Q_OBJECT

public:
    explicit ActivationServer(QObject *parent = nullptr);
    ~ActivationServer() override;

    // Listens at `socketPath`, taking over a socket file that a copy that
    // died left there (the caller holds the lock, so no live copy serves
    // it). False when it cannot listen; a second start then only shows the
    // notice.
    bool listen(const QString &socketPath);

signals:
    // A second start asked for the window, handing on its activation
    // token (empty when it had none). The answer is sent when the
    // connected slots have returned.
    void activationRequested(const QString &token);

private:
    void onConnection();

    QLocalServer *server_;
};

// Asks the copy that listens at `socketPath` to bring its window to the
// front, with `token` when not empty; true when it answered that it did
// within `timeoutMs`. A token that could not be one (empty, longer than 255
// bytes, anything but printable ASCII without spaces) is left out.
bool requestActivation(const QString &socketPath, const QByteArray &token = {}, int timeoutMs = 5000);

// Hands `token` to the platform so that the next activation of a window
// uses it (Qt's wayland platform takes it from XDG_ACTIVATION_TOKEN and
// then clears it); does nothing for an empty token or on other platforms.
void useActivationToken(const QString &token);

}  // namespace kestrum
