// Both flashes of a simulated pair: as a device starts, or as the simulator left them in its
// state file; and linearisation tables with distinct values for each side, so that a swap of
// MASTER and SLAVE shows.
#pragma once
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "calib/calibfile.h"
#include "device.h"

inline std::vector<uint16_t> tableValues(int first, int step) {
    std::vector<uint16_t> v(LIN_TABLE_SIZE);
    for (int k = 0; k < LIN_TABLE_SIZE; ++k) v[k] = static_cast<uint16_t>(first + step * k);
    return v;
}
inline const std::vector<uint16_t> masterValues = tableValues(3, 5),
                                   slaveValues = tableValues(20000, 7);

struct Flashes {
    std::vector<uint16_t> master, slave;

    std::vector<uint16_t> &of(int sensor) { return sensor == 1 ? master : slave; }
};

// The separate sensors, or (`combined`) the two-line hardware with both tables in one flash.
inline DeviceConfig configOf(bool combined) {
    DeviceConfig config;
    if (combined) {
        config.masterType = config.slaveType = TWO_LINE_TYPE;
        config.lineType = 306159;
    }
    return config;
}

inline Flashes flashesOf(const Device &device) {
    Flashes f;
    f.master.assign(device.flash(1).image().begin(), device.flash(1).image().end());
    f.slave.assign(device.flash(2).image().begin(), device.flash(2).image().end());
    return f;
}

// The flashes a stopped simulator left in its state file `path`.
inline Flashes flashesOfState(const QString &path, bool combined) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    Device device(configOf(combined));
    EXPECT_TRUE(device.restorePersistent(Bytes(bytes.begin(), bytes.end())));
    return flashesOf(device);
}

// Puts `count` of `values` at word address `address` of a flash image.
inline void place(std::vector<uint16_t> &image, int address, const std::vector<uint16_t> &values,
                  int count) {
    std::copy_n(values.begin(), count, image.begin() + (address - XFlash::BASE));
}
