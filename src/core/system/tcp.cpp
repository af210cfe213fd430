#include "core/system/tcp.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <chrono>
#include <map>
#include <string>

// A plain system socket watched by a QSocketNotifier. The descriptor stays blocking; reads and
// writes that must not wait say so per call (MSG_DONTWAIT). A read that may wait blocks in the
// system's receive with a receive time-out: a reply that comes within it is taken without an
// event-loop pass and without a poll beforehand, as a bare blocking client takes it.

namespace {

struct Connection {
    int fd;
    QSocketNotifier *notifier;  // owned by the application object
    tcpFuncPtr callback;
    void *callbackData;
    unsigned receiveTimeoutMs;  // what SO_RCVTIMEO is set to now
    bool readSinceNotified;
    bool peerClosed;  // a read found the end of the stream
};

std::map<unsigned, Connection> connections;
unsigned lastHandle = 0;

// Bounded: a peer that sends more than is read waits in the system's flow control rather than
// in memory.
constexpr int kTcpReceiveBufferSize = 64 * 1024;

Connection *find(unsigned handle) {
    auto it = connections.find(handle);
    return it == connections.end() ? nullptr : &it->second;
}

void release(Connection &c) {
    c.notifier->setEnabled(false);
    c.notifier->deleteLater();  // it may be the one whose signal runs now
    close(c.fd);
}

// The peer has closed (or the connection failed): the connection ends and its callback hears it.
void closedByPeer(unsigned handle) {
    Connection *c = find(handle);
    if (!c) return;
    Connection closed = *c;
    connections.erase(handle);
    release(closed);
    if (closed.callback) closed.callback(handle, TCP_DISCONNECT, 0, closed.callbackData);
}

// True when the stream has ended or failed; false while bytes wait or none have come.
bool streamEnded(int fd) {
    char probe;
    const ssize_t n = recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

// Readable: bytes for the callback, or the end of the stream, which a read of the callback
// finds or else a look at the stream.
void onReadable(unsigned handle) {
    Connection *c = find(handle);
    if (!c) return;
    c->readSinceNotified = false;
    if (c->callback && !c->peerClosed) c->callback(handle, TCP_DATAREADY, 0, c->callbackData);
    c = find(handle);
    if (!c) return;
    if (c->peerClosed || (!c->readSinceNotified && streamEnded(c->fd))) {
        closedByPeer(handle);
    } else if (!c->readSinceNotified) {
        // Bytes the callback left where they are would wake the loop again at once: the next
        // read asks for them.
        c->notifier->setEnabled(false);
    }
}

int waitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    int n;
    do {
        n = poll(&p, 1, timeoutMs);
    } while (n < 0 && errno == EINTR);
    return n;
}

// Connects a non-blocking socket to one address within timeoutMs; returns the descriptor or a
// negative code.
int connectTo(const addrinfo &a, int timeoutMs) {
    const int fd = socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
    if (fd < 0) return kTCP_UnableToRegisterService;
    int error = 0;
    if (connect(fd, a.ai_addr, a.ai_addrlen) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            if (waitFor(fd, POLLOUT, timeoutMs) <= 0) {
                close(fd);
                return kTCP_TimeOutErr;
            }
            socklen_t size = sizeof error;
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
        }
    }
    if (error != 0) {
        close(fd);
        return error == ECONNREFUSED ? kTCP_FailedToConnect : kTCP_GeneralIOErr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kTcpReceiveBufferSize, sizeof kTcpReceiveBufferSize);
    return fd;
}

void setReceiveTimeout(Connection &c, unsigned timeoutMs) {
    if (c.receiveTimeoutMs == timeoutMs) return;
    timeval tv{static_cast<time_t>(timeoutMs / 1000),
               static_cast<suseconds_t>(timeoutMs % 1000) * 1000};
    setsockopt(c.fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    c.receiveTimeoutMs = timeoutMs;
}

}  // namespace

int ConnectToTCPServer(unsigned *handle, unsigned portNumber, const char *hostName,
                       tcpFuncPtr callback, void *callbackData, unsigned timeoutMs) {
    if (!handle || !hostName || !*hostName || portNumber == 0 || portNumber > 65535)
        return kTCP_InvalidParameter;
    if (!QCoreApplication::instance()) return kTCP_UnableToRegisterService;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(hostName, std::to_string(portNumber).c_str(), &hints, &found) != 0 || !found)
        return kTCP_UnableToEstablishConnection;
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(timeoutMs);
    int fd = kTCP_UnableToEstablishConnection;
    for (const addrinfo *a = found; a && fd < 0; a = a->ai_next) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        if (left <= 0) {
            fd = kTCP_TimeOutErr;
            break;
        }
        fd = connectTo(*a, static_cast<int>(left));
    }
    freeaddrinfo(found);
    if (fd < 0) return fd;

    const unsigned h = ++lastHandle;
    auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [h] { onReadable(h); });
    connections[h] = Connection{fd, notifier, callback, callbackData, 0, false, false};
    *handle = h;
    return 0;
}

int ClientTCPRead(unsigned handle, void *buffer, size_t size, unsigned timeoutMs) {
    Connection *c = find(handle);
    if (!c) return kTCP_NoConnectionEstablished;
    if (size == 0) return 0;
    c->readSinceNotified = true;
    c->notifier->setEnabled(true);
    if (timeoutMs > 0) setReceiveTimeout(*c, timeoutMs);
    ssize_t n;
    do {
        n = recv(c->fd, buffer, size, timeoutMs > 0 ? 0 : MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n > 0) return static_cast<int>(n);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;  // nothing came
    // The peer closed or the connection failed: the notifier reports it from the event loop.
    c->peerClosed = true;
    return n == 0 ? 0 : kTCP_ReadFailed;
}

int ClientTCPWrite(unsigned handle, const void *buffer, size_t count, unsigned timeoutMs) {
    Connection *c = find(handle);
    if (!c) return kTCP_NoConnectionEstablished;
    const auto *bytes = static_cast<const char *>(buffer);
    size_t sent = 0;
    while (sent < count) {
        const ssize_t n = send(c->fd, bytes + sent, count - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (waitFor(c->fd, POLLOUT, static_cast<int>(timeoutMs)) <= 0) return kTCP_TimeOutErr;
        } else if (n < 0 && errno != EINTR) {
            return kTCP_WriteFailed;
        }
    }
    return static_cast<int>(count);
}

int DisconnectFromTCPServer(unsigned handle) {
    Connection *c = find(handle);
    if (!c) return kTCP_NoConnectionEstablished;
    Connection ended = *c;
    connections.erase(handle);
    release(ended);
    return 0;
}
