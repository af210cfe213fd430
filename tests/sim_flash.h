// Both flashes of a simulated pair, fresh or as the simulator left them in its state file, and
// linearisation tables with distinct values for each side, so that a swap of MASTER and SLAVE
// shows.
#pragma once
#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "calib/calibfile.h"
#include "device.h"
#include "support.h"

inline std::vector<uint16_t> tableValues(int first, int step) {
    std::vector<uint16_t> v(LIN_TABLE_SIZE);
    for (int k = 0; k < LIN_TABLE_SIZE; ++k) v[k] = static_cast<uint16_t>(first + step * k);
    return v;
}
inline const std::vector<uint16_t> masterValues = tableValues(3, 5),
                                   slaveValues = tableValues(20000, 7);
// The table of `sensor` (1 MASTER, 2 SLAVE).
inline const std::vector<uint16_t> &valuesOf(int sensor) {
    return sensor == 1 ? masterValues : slaveValues;
}

struct Flashes {
    std::vector<uint16_t> master, slave;
    bool operator==(const Flashes &) const = default;
};

// The flashes of a fresh pair, or of the state `image` a simulator left: the separate sensors,
// or (`combined`) the two-line hardware with both tables in one flash.
inline Flashes flashesOf(bool combined, const QByteArray &image = {}) {
    DeviceConfig config;
    if (combined) {
        config.masterType = config.slaveType = TWO_LINE_TYPE;
        config.lineType = 306159;
    }
    Device device(config);
    EXPECT_TRUE(image.isEmpty() || device.restorePersistent(Bytes(image.begin(), image.end())));
    const auto &master = device.flash(1).image(), &slave = device.flash(2).image();
    return {{master.begin(), master.end()}, {slave.begin(), slave.end()}};
}

// The flashes of a fresh pair with `count` words of the table of `sensor` at word `address` of
// the flash of `flash`.
inline Flashes flashesWithTable(bool combined, int sensor, int flash, int address, int count) {
    Flashes f = flashesOf(combined);
    std::copy_n(valuesOf(sensor).begin(), count,
                (flash == 1 ? f.master : f.slave).begin() + (address - XFlash::BASE));
    return f;
}
