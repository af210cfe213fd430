// Splits the byte stream arriving from the PC into requests. Garbage is dropped until the next
// 0x55 whose header checks; a request that began cleanly but cannot be understood is handed on
// as not intact, so that the device answers it with the communication error.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "frames.h"

struct Request {
    bool intact = true;  // false: header CRC, data CRC or length was wrong
    FrameHeader head{};
    Bytes data;
};

class FrameParser {
  public:
    static constexpr double PARTIAL_TIMEOUT = 1.0;  // seconds a partial request may wait
    static constexpr double BURST_GAP = 0.05;       // quiet seconds that mark a new request

    // Takes bytes received at time `now` and returns the requests they complete.
    std::vector<Request> feed(const uint8_t *bytes, size_t count, double now);

    // Drops a partial request whose first byte is older than PARTIAL_TIMEOUT.
    void expire(double now);

    // Time at which the partial request will be dropped; 0 when nothing is pending.
    double partialDeadline() const;

  private:
    void parse(std::vector<Request> &out);
    void drop(size_t count);

    Bytes buf_;
    double firstByteAt_ = 0.0;
    double lastByteAt_ = -1.0e9;
    bool synced_ = true;  // the buffer starts where a request should start
};
