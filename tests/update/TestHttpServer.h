#pragma once

// A small HTTP server on 127.0.0.1 inside the test process: it answers each
// path with what the test set for it and writes down every request. It runs
// on the test's own event loop, so it answers while the program waits.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace talvoren::test {

class TTestHttpServer : public QObject {
public:
    struct TAnswer {
        TAnswer(int status = 200, QByteArray body = {}, QByteArray headers = {}, bool silent = false,
                qsizetype stallAfter = -1, int dripMs = 0)
            : status(status)
            , body(std::move(body))
            , headers(std::move(headers))
            , silent(silent)
            , stallAfter(stallAfter)
            , dripMs(dripMs)
        {
        }
        int status;
        QByteArray body;
        QByteArray headers; // extra header lines, each ending in "\r\n"
        bool silent; // reads the request and never answers
        qsizetype stallAfter; // sends this much of the body, then waits
        int dripMs; // sends the body a byte at a time, one every this many ms
    };
    struct TRequest {
        QByteArray target; // path and query
        QByteArray head; // the request line and the header lines
    };

    TTestHttpServer()
    {
        connect(&fServer, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = fServer.nextPendingConnection()) {
                fOpen.append(socket);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
            }
        });
        fServer.listen(QHostAddress::LocalHost);
    }
    ~TTestHttpServer() override { Reset(); }

    QByteArray url(const QByteArray& path) const
    {
        return "http://127.0.0.1:" + QByteArray::number(fServer.serverPort()) + path;
    }

    void answer(const QByteArray& path, const TAnswer& answer) { fAnswers[path] = answer; }

    // Forgets answers and requests and drops the connections still open.
    void Reset()
    {
        fAnswers.clear();
        requests.clear();
        for (const QPointer<QTcpSocket>& socket : fOpen) {
            if (socket) {
                socket->abort();
                socket->deleteLater();
            }
        }
        fOpen.clear();
    }

    QList<TRequest> requests;

private:
    void Read(QTcpSocket* socket)
    {
        QByteArray& pending = fPending[socket];
        pending += socket->readAll();
        const qsizetype end = pending.indexOf("\r\n\r\n");
        if (end < 0) {
            return;
        }
        const QByteArray head = pending.left(end);
        fPending.remove(socket);
        const QList<QByteArray> line = head.left(head.indexOf("\r\n")).split(' ');
        const QByteArray target = line.value(1);
        requests.append({target, head});
        const QByteArray path = target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?'));
        const TAnswer answer = fAnswers.value(path, TAnswer{404, "not here"});
        if (answer.silent) {
            return;
        }
        socket->write("HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\nContent-Length: "
                      + QByteArray::number(answer.body.size()) + "\r\nConnection: close\r\n" + answer.headers + "\r\n");
        if (answer.stallAfter >= 0) {
            socket->write(answer.body.left(answer.stallAfter));
            return;
        }
        if (answer.dripMs > 0) {
            auto* drip = new QTimer(socket);
            connect(drip, &QTimer::timeout, socket, [socket, drip, body = answer.body, sent = qsizetype(0)]() mutable {
                if (sent < body.size()) {
                    socket->write(body.mid(sent++, 1));
                } else {
                    drip->stop();
                    socket->disconnectFromHost();
                }
            });
            drip->start(answer.dripMs);
            return;
        }
        socket->write(answer.body);
        socket->disconnectFromHost();
    }

    QTcpServer fServer;
    QHash<QByteArray, TAnswer> fAnswers;
    QHash<QTcpSocket*, QByteArray> fPending;
    QList<QPointer<QTcpSocket>> fOpen;
};

} // namespace talvoren::test
