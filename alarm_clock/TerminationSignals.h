#pragma once

#include <QObject>

class QSocketNotifier;

namespace kestrum {

// SIGTERM, SIGINT and SIGHUP turned into a Qt signal on the thread that
// made this object: the signal handler only writes the signal's number into
// a socket pair (the one thing a handler may safely do), and a socket
// notifier reads it in the event loop. One object per process.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False when the socket pair or a handler could not be set up.
    bool installed() const { return installed_; }

signals:
    void terminationRequested(int signalNumber);

private:
    void onReadable();

    QSocketNotifier *notifier_ = nullptr;
    bool installed_ = false;
};

}  // namespace kestrum
