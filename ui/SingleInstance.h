#pragma once

// The single-instance guard. The first instance listens on a local socket
// named after the account and the executable; a later start connects, hands
// over and ends, and the running instance raises its window.

#include <QObject>
#include <QString>

class QLocalServer;

namespace talvoren {

class TSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit TSingleInstance(const QString& key, QObject* parent = nullptr);
    ~TSingleInstance() override;

    // The socket name for an account and an executable.
    static QString serverName(const QString& key);

    // Tells a running instance to come to the front. True when one answered
    // that it did; this instance should then end. An instance that accepts
    // but does not answer (it is closing) counts as none.
    bool handOver();

    // Starts answering later starts. A server left behind by a crashed
    // instance is removed first. False when listening is not possible.
    bool listen();

    // Stops answering, so that a start from now on opens its own window
    // (the elevated restart, and a window that has begun to close).
    void stop();

    bool isListening() const;

signals:
    // A later start asked this instance to come to the front.
    void activationRequested();

private:
    void onNewConnection();

    QString fName;
    QLocalServer* fServer = nullptr;
};

} // namespace talvoren
