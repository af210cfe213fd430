// Fault soak: RUN, GET and SEND in turns against the simulator over TCP, which gives its replies
// random faults. No exchange may outlive its time-out by more than 0.5 s; after a successful SEND
// a GET returns exactly the bytes sent; after a failed SEND, reported as failed, every set holds
// its old or its new bytes, never those of another set or request.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct SoakCounts {
    int exchanges = 0, failed = 0;        // requests sent; of them, ended without a good reply
    int runs = 0, gets = 0, sends = 0;    // exchanges of each kind
    int failedSends = 0;                  // SENDs (three sets) of which a set failed
    double longest = 0.0;                 // seconds of the longest exchange
    std::string faults;                   // the simulator's count of the faults it made
    std::vector<std::string> violations;  // what did not hold, first ones only
};

// Runs the soak for `seconds` against a simulator started with `faultRate` and `seed`, and prints
// the counts and what did not hold. Must be called with a Qt application object in place.
SoakCounts RunFaultSoak(double seconds, double faultRate, uint64_t seed);
