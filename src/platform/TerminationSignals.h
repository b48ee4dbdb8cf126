#pragma once

#include <QObject>

class QSocketNotifier;

namespace varnello {

// Turns SIGTERM, SIGINT and SIGHUP (the session ending, Ctrl+C, the terminal going away) into a
// signal on the main thread, so that the program ends its own way, saving what is still waiting
// to be saved and removing what only a running copy needs. A second such signal while ending
// ends the process the default way. One instance at a time; destroying it restores the default
// handling.
class TerminationSignals final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TerminationSignals)

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False when the handlers could not be set up (the defaults then stay).
    bool isInstalled() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void readPending();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace varnello
