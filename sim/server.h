// Serves the device model over TCP (one client at a time) and a pseudo-terminal, with the
// fault plan applied to the replies and trigger records sent between them.
#pragma once
#include <chrono>
#include <csignal>
#include <deque>
#include <memory>
#include <string>

#include "device.h"
#include "fault_plan.h"
#include "frame_parser.h"
#include "options.h"
#include "pty_line.h"

class Server {
  public:
    Server(const SimOptions &options, Device &device);
    ~Server();

    // Opens the listening socket and the pseudo-terminal and prints where they are.
    bool start(std::string &error);

    // Serves until `stop` becomes non-zero.
    void run(const volatile std::sig_atomic_t &stop);

    const FaultPlan &faults() const { return faults_; }

  private:
    struct Outgoing {
        double due = 0.0;
        Bytes bytes;
        bool closeAfter = false;  // the TCP client is closed once this is sent
    };
    struct Channel {
        explicit Channel(const char *channelName) : name(channelName) {}
        const char *name;
        int fd = -1;
        FrameParser parser;
        std::deque<Outgoing> queue;
        Bytes unsent;  // the part of the current frame the line did not take yet
        // The serial line's pace: when the bytes heard so far are complete, when the next byte
        // to send has fully left the device, and the time of one byte on the line.
        double heardUntil = 0.0;
        double nextByteDone = 0.0;
        double byteTime = 0.0;
        bool writeBlocked = false;  // the pseudo-terminal took less than it was given
        bool closeWhenSent = false;
        int replies = 0;
    };

    double now() const;
    double pollTimeout(double t) const;
    double serialByteTime() const;  // seconds of one byte (10 bits) on the serial line
    size_t bytesDue(const Channel &ch, double t) const;
    double frameDoneAt(const Channel &ch) const;  // when its last byte has left the device
    void acceptClient();
    void closeClient();
    void receive(Channel &ch, double t);
    void answer(Channel &ch, const Request &request, double t);
    void flush(Channel &ch, double t);
    void sendTriggers(double t);
    void keepState(bool always);  // writes the state file when it changed, or always
    void log(const Channel &ch, const char *direction, const uint8_t *bytes, size_t count) const;

    const SimOptions &options_;
    Device &device_;
    FaultPlan faults_;
    int listen_ = -1;
    Channel tcp_{"tcp"};
    Channel serial_{"pty"};
    std::unique_ptr<PtyLine> pty_;
    uint64_t savedRevision_ = 0;
    int triggersSent_ = 0;
    std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
};
