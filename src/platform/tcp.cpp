#include "platform/tcp.h"

#include <QCoreApplication>
#include <QTcpSocket>
#include <map>

namespace {

struct Connection {
    QTcpSocket *socket;  // owned by the application object
    tcpFuncPtr callback;
    void *callbackData;
};

std::map<unsigned, Connection> connections;
unsigned lastHandle = 0;

constexpr qint64 kTcpReadBufferSize = 64 * 1024;

Connection *find(unsigned handle) {
    auto it = connections.find(handle);
    return it == connections.end() ? nullptr : &it->second;
}

int mapConnectError(QAbstractSocket::SocketError e) {
    switch (e) {
        case QAbstractSocket::HostNotFoundError:
            return kTCP_UnableToEstablishConnection;
        case QAbstractSocket::ConnectionRefusedError:
            return kTCP_FailedToConnect;
        case QAbstractSocket::SocketTimeoutError:
            return kTCP_TimeOutErr;
        case QAbstractSocket::SocketResourceError:
            return kTCP_UnableToRegisterService;
        default:
            return kTCP_GeneralIOErr;
    }
}

}  // namespace

int ConnectToTCPServer(unsigned *handle, unsigned portNumber, const char *hostName,
                       tcpFuncPtr callback, void *callbackData, unsigned timeoutMs) {
    if (!handle || !hostName || !*hostName || portNumber == 0 || portNumber > 65535)
        return kTCP_InvalidParameter;
    if (!QCoreApplication::instance()) return kTCP_UnableToRegisterService;
    auto *socket = new QTcpSocket(QCoreApplication::instance());
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // Bounded: a peer that sends more than is read waits in the system's flow control rather
    // than in the program's memory.
    socket->setReadBufferSize(kTcpReadBufferSize);
    socket->connectToHost(QString::fromUtf8(hostName), static_cast<quint16>(portNumber));
    if (!socket->waitForConnected(static_cast<int>(timeoutMs))) {
        const int code = mapConnectError(socket->error());
        socket->abort();
        delete socket;
        return code;
    }
    const unsigned h = ++lastHandle;
    connections[h] = Connection{socket, callback, callbackData};
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [h] {
        if (Connection *c = find(h); c && c->callback)
            c->callback(h, TCP_DATAREADY, 0, c->callbackData);
    });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, [h] {
        Connection *c = find(h);
        if (!c) return;
        const Connection closed = *c;
        connections.erase(h);
        closed.socket->deleteLater();
        if (closed.callback) closed.callback(h, TCP_DISCONNECT, 0, closed.callbackData);
    });
    *handle = h;
    return 0;
}

int ClientTCPRead(unsigned handle, void *buffer, size_t size, unsigned timeoutMs) {
    Connection *c = find(handle);
    if (!c) return kTCP_NoConnectionEstablished;
    QTcpSocket *s = c->socket;
    if (s->bytesAvailable() == 0 && timeoutMs > 0) {
        // Wait without emitting readyRead here: the callback must not run nested in a read.
        const QSignalBlocker quiet(s);
        s->waitForReadyRead(static_cast<int>(timeoutMs));
    }
    const qint64 n = s->read(static_cast<char *>(buffer), static_cast<qint64>(size));
    return n < 0 ? kTCP_ReadFailed : static_cast<int>(n);
}

int ClientTCPWrite(unsigned handle, const void *buffer, size_t count, unsigned timeoutMs) {
    Connection *c = find(handle);
    if (!c) return kTCP_NoConnectionEstablished;
    QTcpSocket *s = c->socket;
    const qint64 n = s->write(static_cast<const char *>(buffer), static_cast<qint64>(count));
    if (n < 0) return kTCP_WriteFailed;
    s->flush();  // hand the bytes to the system now
    if (s->bytesToWrite() > 0) {
        const QSignalBlocker quiet(s);
        if (!s->waitForBytesWritten(static_cast<int>(timeoutMs))) return kTCP_TimeOutErr;
    }
    return static_cast<int>(n);
}

int DisconnectFromTCPServer(unsigned handle) {
    Connection *c = find(handle);
    if (!c) return kTCP_NoConnectionEstablished;
    QTcpSocket *s = c->socket;
    connections.erase(handle);
    QObject::disconnect(s, nullptr, nullptr, nullptr);
    s->abort();
    s->deleteLater();
    return 0;
}
