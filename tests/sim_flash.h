// Linearisation tables with distinct values for each side, and a look into the flashes a
// simulated pair left in its state file, so that a swap of MASTER and SLAVE shows.
#pragma once
#include <QCryptographicHash>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/calib/calibfile.h"
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

// The SHA-256 of the table of `sensor` in hexadecimal: its words little-endian, as they go to the
// flash.
inline QByteArray tableSha256(int sensor) {
    QByteArray bytes;
    for (const uint16_t word : valuesOf(sensor))
        bytes.append(char(word & 0xFF)).append(char(word >> 8));
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// Whether the state file a simulator left at `path` holds the flashes of a fresh pair but for the
// table of `sensor` in its place: word 0x1200 of its own flash or, on the two-line hardware
// (`combined`) with both tables in one flash, 1024 words at 0x1200 (MASTER) or 0x1600 (SLAVE).
inline bool tableInPlace(bool combined, int sensor, const QString &path) {
    DeviceConfig config;
    if (combined) {
        config.masterType = config.slaveType = TWO_LINE_TYPE;
        config.lineType = 306159;
    }
    Device fresh(config), written(config);
    const QByteArray image = fileBytes(path);
    EXPECT_TRUE(written.restorePersistent(Bytes(image.begin(), image.end())));
    const int own = combined ? 1 : sensor, at = combined && sensor == 2 ? 0x1600 : 0x1200;
    auto expected = fresh.flash(own).image();
    std::copy_n(valuesOf(sensor).begin(), combined ? 1024 : 2048,
                expected.begin() + (at - XFlash::BASE));
    return written.flash(own).image() == expected &&
           written.flash(3 - own).image() == fresh.flash(3 - own).image();
}
