#include "core/link/sensorwatch.h"

#include <algorithm>

#include "core/link/transport.h"

int WatchedExchange(SensorWatch &watch, int (*exchange)()) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (exchange() == 1) {
            watch.failures = 0;
            return 1;
        }
        // A server that has closed the connection answers no retry.
        if (++watch.failures >= SENSOR_LOST_FAILURES || (comtype != 0 && TcpServerClosed()))
            return -1;
    }
    return 0;
}

double NextReconnectWait(ReconnectSchedule &schedule) {
    const double now = schedule.wait;
    schedule.wait = now > 0.0 ? std::min(2 * now, RECONNECT_LONGEST_WAIT) : RECONNECT_FIRST_WAIT;
    return now;
}
