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
