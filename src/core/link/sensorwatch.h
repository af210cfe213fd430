// How an unattended loop (the tool's run, record and publish) tells a damaged reply from a lost
// sensor. A damaged or missing reply costs one more exchange of the same order, at once; only
// three failed exchanges in a row, or a server that has closed the connection, mean that the
// sensor is lost, and only then does the loop end or reconnect. A failed exchange never gives
// a record.
#pragma once

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
