#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "state_file.h"

namespace {

constexpr double IDLE_POLL = 0.1;   // seconds between housekeeping passes
constexpr size_t MAX_QUEUED = 256;  // frames waiting for a slow reader

void setNonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

}  // namespace

Server::Server(const SimOptions &options, Device &device)
    : options_(options), device_(device), faults_(options.faults) {}

Server::~Server() {
    closeClient();
    if (listen_ >= 0) ::close(listen_);
}

double Server::now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - origin_).count();
}

bool Server::start(std::string &error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(options_.tcpHost.c_str(), nullptr, &hints, &found) != 0 || !found) {
        error = "unknown host " + options_.tcpHost;
        return false;
    }
    sockaddr_in addr{};
    std::memcpy(&addr, found->ai_addr, sizeof addr);
    ::freeaddrinfo(found);
    addr.sin_port = htons(static_cast<uint16_t>(options_.tcpPort));

    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        ::listen(listen_, 4) != 0) {
        error = "TCP " + options_.tcpHost + ":" + std::to_string(options_.tcpPort) + ": " +
                std::strerror(errno);
        return false;
    }
    socklen_t len = sizeof addr;
    ::getsockname(listen_, reinterpret_cast<sockaddr *>(&addr), &len);
    char host[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &addr.sin_addr, host, sizeof host);
    std::printf("TCP %s:%d\n", host, ntohs(addr.sin_port));
    std::fflush(stdout);

    if (options_.pty) {
        pty_ = std::make_unique<PtyLine>();
        if (!pty_->open(options_.ptyLink, error)) return false;
        serial_.fd = pty_->fd();
        std::printf("PTY %s\n", pty_->path().c_str());
        std::fflush(stdout);
    }
    savedRevision_ = device_.persistentRevision();
    std::printf("READY\n");
    std::fflush(stdout);
    return true;
}

void Server::run(const volatile std::sig_atomic_t &stop) {
    while (!stop) {
        pollfd fds[3] = {{listen_, POLLIN, 0}, {tcp_.fd, POLLIN, 0}, {serial_.fd, POLLIN, 0}};
        if (!tcp_.unsent.empty()) fds[1].events |= POLLOUT;
        if (serial_.writeBlocked) fds[2].events |= POLLOUT;
        const double wait = pollTimeout(now());
        const timespec ts{static_cast<time_t>(wait),
                          static_cast<long>((wait - std::floor(wait)) * 1e9)};
        if (::ppoll(fds, 3, &ts, nullptr) < 0 && errno != EINTR) break;

        const double t = now();
        if (fds[0].revents & POLLIN) acceptClient();
        if (tcp_.fd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) receive(tcp_, t);
        if (serial_.fd >= 0 && (fds[2].revents & POLLIN)) receive(serial_, t);
        sendTriggers(t);
        for (Channel *ch : {&tcp_, &serial_}) {
            ch->parser.expire(t);
            flush(*ch, t);
        }
        keepState(false);
    }
    keepState(true);  // a device with a state file leaves one behind
}

double Server::pollTimeout(double t) const {
    double until = t + IDLE_POLL;
    for (const Channel *ch : {&tcp_, &serial_}) {
        if (ch->unsent.empty() && !ch->queue.empty())
            until = std::min(until, ch->queue.front().due);
        if (ch == &serial_ && !ch->unsent.empty() && !ch->writeBlocked)
            until = std::min(until, frameDoneAt(*ch));
        if (ch->parser.partialDeadline() > 0.0)
            until = std::min(until, ch->parser.partialDeadline());
    }
    if (device_.nextTriggerAt() > 0.0) until = std::min(until, device_.nextTriggerAt());
    return std::max(0.0, until - t);
}

double Server::serialByteTime() const {
    return 10.0 / static_cast<double>(options_.wireBaud > 0 ? options_.wireBaud : pty_->baudRate());
}

// The serial line hands a frame over whole once its last byte has come down the line: never
// faster than the line, one wake-up per frame for the simulator and the program, and a flush
// of the program's input queue never cuts a frame in two.
size_t Server::bytesDue(const Channel &ch, double t) const {
    return t >= frameDoneAt(ch) ? ch.unsent.size() : 0;
}

double Server::frameDoneAt(const Channel &ch) const {
    return ch.nextByteDone + double(ch.unsent.size() - 1) * ch.byteTime;
}

void Server::acceptClient() {
    const int fd = ::accept(listen_, nullptr, nullptr);
    if (fd < 0) return;
    closeClient();  // like a serial-to-Ethernet converter: the newest client takes the line
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    setNonBlocking(fd);
    tcp_.fd = fd;
}

void Server::closeClient() {
    if (tcp_.fd >= 0) ::close(tcp_.fd);
    tcp_ = Channel("tcp");
}

void Server::receive(Channel &ch, double t) {
    uint8_t buf[4096];
    const ssize_t n = ::read(ch.fd, buf, sizeof buf);
    if (n <= 0) {
        if (&ch == &tcp_ && (n == 0 || (errno != EAGAIN && errno != EINTR))) closeClient();
        return;
    }
    // On the serial line, bytes sent at another speed than the device's arrive garbled.
    const bool garbled = &ch == &serial_ && !pty_->speedMatches(device_.baudIndex());
    if (garbled) {
        log(ch, "<- at another line speed, dropped:", buf, static_cast<size_t>(n));
        return;
    }
    // A request on the serial line is complete once its last byte has come down the line.
    double heard = t;
    if (&ch == &serial_)
        heard = ch.heardUntil = std::max(ch.heardUntil, t) + double(n) * serialByteTime();
    for (const Request &request : ch.parser.feed(buf, static_cast<size_t>(n), t))
        answer(ch, request, heard);
}

void Server::answer(Channel &ch, const Request &request, double t) {
    if (request.intact) {
        Bytes frame = bytesOf(request.head);
        frame.insert(frame.end(), request.data.begin(), request.data.end());
        log(ch, "<-", frame.data(), frame.size());
    } else {
        log(ch, "<- request not understood", nullptr, 0);
    }
    Outgoing out;
    const auto extra = options_.faults.delayReplies.find(ch.replies + 1);
    const int delayMs =
        options_.faults.delayMs + (extra == options_.faults.delayReplies.end() ? 0 : extra->second);
    // An order answered with an injected error reply is refused: the device does not act on it
    // (a refused baud-rate change keeps the line's speed).
    const auto at = options_.faults.errorAt.find(ch.replies + 1);
    const bool refusedAt = at != options_.faults.errorAt.end();
    const bool refused = refusedAt || options_.faults.errorReplies.count(request.head.order) > 0;
    ShapedReply shaped = faults_.shape(
        request.head.order, refused ? errorFrame(refusedAt ? at->second : ERR_INVALID_ORDER)
                                    : device_.handle(request, t));
    out.due = t + delayMs / 1000.0 + shaped.extraDelay;
    out.bytes = std::move(shaped.bytes);
    ++ch.replies;
    out.closeAfter =
        &ch == &tcp_ && options_.faults.closeAfter > 0 && ch.replies >= options_.faults.closeAfter;
    ch.queue.push_back(std::move(out));
}

void Server::sendTriggers(double t) {
    while (auto record = device_.pollTrigger(t)) {
        const int every = options_.faults.corruptTriggerEvery;
        // The top byte of the MASTER value: read as a value, it is kilometres off.
        if (every > 0 && ++triggersSent_ % every == 0) (*record)[FRAME_HEADER_SIZE + 3] ^= 0x55;
        if (options_.faults.triggerJunk) {
            // Three stray bytes, as a line entered in the middle of a frame shows, a header-only
            // frame of order 8, the record's own header with a wrong CRC, then trigger records
            // too short to be one: without data, and with 5 bytes.
            Bytes junk = {0x00, 0x55, 0x12};
            const Bytes foreign = makeFrame(ORD_RAW, 0);
            junk.insert(junk.end(), foreign.begin(), foreign.end());
            junk.insert(junk.end(), record->begin(), record->begin() + 8);
            junk.back() ^= 0xFF;
            const Bytes empty = makeFrame(ORD_TRIGGER, 0);
            const Bytes cut = makeFrame(ORD_TRIGGER, 0,
                                        Bytes(record->begin() + FRAME_HEADER_SIZE,
                                              record->begin() + FRAME_HEADER_SIZE + 5));
            junk.insert(junk.end(), empty.begin(), empty.end());
            junk.insert(junk.end(), cut.begin(), cut.end());
            record->insert(record->begin(), junk.begin(), junk.end());
        }
        // A reader that has stopped reading does not make the queue grow without end.
        if (tcp_.fd >= 0 && tcp_.queue.size() < MAX_QUEUED) tcp_.queue.push_back({t, *record});
        if (pty_ && pty_->speedMatches(device_.baudIndex()) && serial_.queue.size() < MAX_QUEUED)
            serial_.queue.push_back({t, *record});
    }
}

void Server::flush(Channel &ch, double t) {
    while (ch.fd >= 0) {
        if (ch.unsent.empty()) {
            // The serial line takes a frame at once and paces its bytes from the frame's due
            // time: no wake-up just to start it.
            if (ch.queue.empty() || (&ch == &tcp_ && ch.queue.front().due > t)) return;
            Outgoing out = std::move(ch.queue.front());
            ch.queue.pop_front();
            log(ch, out.bytes.empty() ? "-> reply dropped" : "->", out.bytes.data(),
                out.bytes.size());
            ch.unsent = std::move(out.bytes);
            ch.closeWhenSent = out.closeAfter;
            if (&ch == &serial_ && !ch.unsent.empty()) {
                // The frame's bytes follow the previous frame's, one byte time apart.
                ch.byteTime = serialByteTime();
                ch.nextByteDone = std::max(out.due, ch.nextByteDone - ch.byteTime) + ch.byteTime;
            }
        }
        if (!ch.unsent.empty()) {
            if (&ch == &tcp_) {
                const ssize_t n = ::send(ch.fd, ch.unsent.data(), ch.unsent.size(), MSG_NOSIGNAL);
                if (n > 0) ch.unsent.erase(ch.unsent.begin(), ch.unsent.begin() + n);
            } else {
                const size_t due = bytesDue(ch, t);
                const ssize_t n = due > 0 ? ::write(ch.fd, ch.unsent.data(), due) : 0;
                if (n > 0) {
                    ch.unsent.erase(ch.unsent.begin(), ch.unsent.begin() + n);
                    ch.nextByteDone += double(n) * ch.byteTime;
                }
                ch.writeBlocked = n >= 0 && size_t(n) < due;
                // A serial line that nobody reads loses what it cannot take.
                if (n < 0) ch.unsent.clear();
            }
            if (!ch.unsent.empty()) return;
        }
        if (ch.closeWhenSent) closeClient();
    }
}

void Server::keepState(bool always) {
    if (options_.stateFile.empty()) return;
    if (!always && device_.persistentRevision() == savedRevision_) return;
    if (saveState(options_.stateFile, device_.persistentImage()))
        savedRevision_ = device_.persistentRevision();
    else
        std::fprintf(stderr, "k-tav-sim: cannot write %s\n", options_.stateFile.c_str());
}

void Server::log(const Channel &ch, const char *direction, const uint8_t *bytes,
                 size_t count) const {
    if (!options_.verbose) return;
    std::string line = std::string(ch.name) + " " + direction;
    char hex[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
        line += hex;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}
