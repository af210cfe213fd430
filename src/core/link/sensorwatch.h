// How an unattended loop (the tool's run, record and publish) tells a damaged reply from a lost
// sensor. A damaged or missing reply costs one more exchange of the same order, at once; only
// three failed exchanges in a row, or a server that has closed the connection, mean that the
// sensor is lost, and only then does the loop end or reconnect. A failed exchange never gives
// a record. A lost sensor is tried again on one schedule, by the tool and by the program.
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

// When a lost sensor is tried again: at once, then after 1 s, the wait doubling up to 30 s while
// it does not answer. A new loss starts with a new schedule.
constexpr double RECONNECT_FIRST_WAIT = 1.0;     // [s]
constexpr double RECONNECT_LONGEST_WAIT = 30.0;  // [s]
struct ReconnectSchedule {
    double wait = 0.0;  // before the next attempt [s]
};

// The wait before the next attempt [s], and the schedule one attempt on: 0, 1, 2, 4, ... 30, 30.
// Inline: the tool's MQTT module, loaded at run time, takes it from here.
inline double NextReconnectWait(ReconnectSchedule &schedule) {
    const double now = schedule.wait;
    schedule.wait = now > 0.0 ? std::min(2 * now, RECONNECT_LONGEST_WAIT) : RECONNECT_FIRST_WAIT;
    return now;
}
