// How an unattended loop (the tool's run, record and publish) tells a damaged reply from a lost
// sensor. A damaged or missing reply costs one more exchange of the same order, at once; only
// three failed exchanges in a row, or a server that has closed the connection, mean that the
// sensor is lost, and only then does the loop end or reconnect. A failed exchange never gives
// a record. A lost sensor (or broker) is tried again at doubling waits.
#pragma once
#include <algorithm>

// Failed exchanges in a row that mean a lost sensor.
constexpr int SENSOR_LOST_FAILURES = 3;

// The failed exchanges in a row of one loop; a new loop starts with a new one.
struct SensorWatch {
    int failures = 0;
};

// Runs `exchange` (1 when a correct reply came, anything else a failure) and, when it fails,
// once more at once: 1 when a reply came, 0 when both failed and the sensor is not lost yet (this
// cycle has no record), -1 when the sensor is lost.
int WatchedExchange(SensorWatch &watch, int (*exchange)());

// The waits before the next tries of a lost sensor or broker: 1 s after the first failure, each
// further one twice the last, at most 30 s. An answer starts them afresh.
class RetryWaits {
  public:
    static constexpr double FIRST = 1.0, LONGEST = 30.0;  // [s]

    // The wait before the next try, after a failed one.
    double next() {
        const double wait = next_;
        next_ = std::min(2 * next_, LONGEST);
        return wait;
    }
    // The thing answered: the next failure waits FIRST again.
    void reset() { next_ = FIRST; }

  private:
    double next_ = FIRST;
};
