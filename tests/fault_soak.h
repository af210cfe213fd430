// Fault soak: the program's RUN, GET and SEND exchanges in turns against the simulator over TCP
// while the simulator gives its replies random faults. It checks that no exchange outlives its
// time-out by more than 0.5 s, that after every successful SEND a GET returns exactly the bytes
// sent, and that after a failed SEND every set holds its old or its new bytes, never those of
// another set or request, and that the program said the SEND failed.
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

// Runs the soak for `seconds` against a simulator started with `faultRate` and `seed`. Must be
// called with a Qt application object in place.
SoakCounts RunFaultSoak(double seconds, double faultRate, uint64_t seed);
std::string SoakSummary(const SoakCounts &counts);  // the counts as one line of text
