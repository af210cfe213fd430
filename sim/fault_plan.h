// Faults the simulator puts on its replies for tests of the program's link layer: dropped
// replies, broken header or data CRCs, error replies, oversize announcements, and random faults
// at a given rate for soaks.
#pragma once
#include <cstdint>
#include <map>
#include <utility>

#include "frames.h"
#include "noise.h"

struct FaultOptions {
    int dropEvery = 0;           // every Nth reply is not sent
    int corruptHeaderEvery = 0;  // every Nth reply carries a wrong header CRC
    int corruptDataEvery = 0;    // every Nth reply with data carries a wrong data byte
    std::map<uint8_t, uint16_t> errorReplies;  // order -> error code replied instead
    std::map<int, uint16_t> errorAt;           // a client's request (from 1) -> code (server)
    int oversizeOrder = -1;           // this order's reply announces and sends 2000 data bytes
    int delayMs = 0;                  // every reply waits this long (applied by the server)
    std::map<int, int> delayReplies;  // reply number (from 1) -> further milliseconds (server)
    int closeAfter = 0;               // the TCP client is closed after N replies (server)
    bool triggerJunk = false;         // a header of another order, a broken header and two short
                                      // trigger records before each trigger record (server)
    int corruptTriggerEvery = 0;      // every Nth trigger record carries a damaged MASTER value
                                      // under its unchanged data CRC (server)
    double faultRate = 0.0;  // probability that a reply gets one random fault (RandomFault)
    uint64_t seed = 1;       // of the random faults
};

// The random faults, each as likely as the others.
enum class RandomFault { Drop, Cut, BitFlip, Late, Garbage, Count };
constexpr double LATE_DELAY = 2.6;  // seconds a late reply waits: past every time-out of the PC

// What goes out as a reply: its bytes (none when dropped) and how much later than usual.
struct ShapedReply {
    Bytes bytes;
    double extraDelay = 0.0;
};

constexpr int OVERSIZE_LENGTH = 2000;

class FaultPlan {
  public:
    explicit FaultPlan(FaultOptions options) : options_(std::move(options)) {}

    // What goes out as the reply to a request of `order`.
    ShapedReply shape(uint8_t order, Bytes reply);

    int replies() const { return replies_; }
    // Random faults put on replies so far, by kind.
    int randomFaults(RandomFault kind) const { return randomFaults_[static_cast<int>(kind)]; }

  private:
    uint64_t nextRandom() { return mix64(options_.seed ^ ++draws_ * 0x9E3779B97F4A7C15ull); }
    void addRandomFault(ShapedReply &out);

    static bool due(int every, int count) { return every > 0 && count % every == 0; }

    FaultOptions options_;
    int replies_ = 0;
    int dataReplies_ = 0;
    uint64_t draws_ = 0;
    int randomFaults_[static_cast<int>(RandomFault::Count)] = {};
};
