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
// "done" from the running one once its window is in front.

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
    // A second start asked for the window. The answer is sent when the
    // connected slots have returned.
    void activationRequested();

private:
    void onConnection();

    QLocalServer *server_;
};

// Asks the copy that listens at `socketPath` to bring its window to the
// front; true when it answered that it did within `timeoutMs`.
bool requestActivation(const QString &socketPath, int timeoutMs = 5000);

}  // namespace kestrum
