// Faults the simulator puts on its replies for tests of the program's link layer: dropped
// replies, broken header or data CRCs, error replies, oversize announcements.
#pragma once
#include <cstdint>
#include <map>
#include <utility>

#include "frames.h"

struct FaultOptions {
    int dropEvery = 0;           // every Nth reply is not sent
    int corruptHeaderEvery = 0;  // every Nth reply carries a wrong header CRC
    int corruptDataEvery = 0;    // every Nth reply with data carries a wrong data byte
    std::map<uint8_t, uint16_t> errorReplies;  // order -> error code replied instead
    int oversizeOrder = -1;           // this order's reply announces and sends 2000 data bytes
    int delayMs = 0;                  // every reply waits this long (applied by the server)
    std::map<int, int> delayReplies;  // reply number (from 1) -> further milliseconds (server)
    int closeAfter = 0;               // the TCP client is closed after N replies (server)
    bool triggerJunk = false;         // a header of another order and a broken header before each
                                      // trigger record (server)
};

constexpr int OVERSIZE_LENGTH = 2000;

class FaultPlan {
  public:
    explicit FaultPlan(FaultOptions options) : options_(std::move(options)) {}

    // What goes out as the reply to a request of `order`; empty when the reply is dropped.
    Bytes shape(uint8_t order, Bytes reply);

  private:
    static bool due(int every, int count) { return every > 0 && count % every == 0; }

    FaultOptions options_;
    int replies_ = 0;
    int dataReplies_ = 0;
};
