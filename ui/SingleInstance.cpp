#include "ui/SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

namespace talvoren {

namespace {
const QByteArray kActivate = QByteArrayLiteral("activate\n");
const QByteArray kActivated = QByteArrayLiteral("activated\n");
constexpr int kConnectTimeoutMs = 500;
// An instance that does not answer within this time is closing (or hung):
// the new start opens its own window instead.
constexpr int kAnswerTimeoutMs = 1500;
} // namespace

TSingleInstance::TSingleInstance(const QString& key, QObject* parent)
    : QObject(parent)
    , fName(serverName(key))
{
}

TSingleInstance::~TSingleInstance()
{
    stop();
}

QString TSingleInstance::serverName(const QString& key)
{
    // Socket names are file names on some systems: keep them short and plain.
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("talvoren-") + QString::fromLatin1(hash);
}

bool TSingleInstance::handOver()
{
    QLocalSocket socket;
    socket.connectToServer(fName);
    if (!socket.waitForConnected(kConnectTimeoutMs)) {
        return false;
    }
    socket.write(kActivate);
    if (!socket.waitForBytesWritten(kConnectTimeoutMs)) {
        return false;
    }
    // The system accepts a connection on behalf of an instance that is busy
    // closing: only its answer says that a window came to the front.
    QByteArray answer;
    while (!answer.contains(kActivated) && socket.waitForReadyRead(kAnswerTimeoutMs)) {
        answer += socket.readAll();
    }
    socket.disconnectFromServer();
    return answer.contains(kActivated);
}

bool TSingleInstance::listen()
{
    if (fServer) {
        return fServer->isListening();
    }
    fServer = new QLocalServer(this);
    fServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(fServer, &QLocalServer::newConnection, this, &TSingleInstance::onNewConnection);
    if (fServer->listen(fName)) {
        return true;
    }
    // Nobody answered handOver, so a socket file of this name is stale.
    QLocalServer::removeServer(fName);
    return fServer->listen(fName);
}

void TSingleInstance::stop()
{
    if (fServer) {
        fServer->close();
        delete fServer;
        fServer = nullptr;
    }
}

bool TSingleInstance::isListening() const
{
    return fServer && fServer->isListening();
}

void TSingleInstance::onNewConnection()
{
    while (QLocalSocket* socket = fServer->nextPendingConnection()) {
        auto read = [this, socket] {
            if (socket->bytesAvailable() > 0 && socket->readAll().contains(kActivate.trimmed())) {
                // The answer first: bringing the window to the front can take
                // longer than the new start waits.
                socket->write(kActivated);
                socket->flush();
                emit activationRequested();
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        read();
    }
}

} // namespace talvoren
