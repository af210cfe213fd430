// Linearisation tables with distinct values for each side, and a look into the flashes a
// simulated pair left in its state file, so that a swap of MASTER and SLAVE shows.
#pragma once
#include <QCryptographicHash>
#include <QString>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <vector>

#include "core/audit/audittrail.h"
#include "core/calib/calibfile.h"
#include "core/link/xflash.h"
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

// The sensors' own calibration headers, each side's apart, with virtual offsets and reserved
// words: what a write of a file's header or of a table keeps.
inline const CalibHeader ownHeaders[2] = {
    {610407, 1, 0, 2048, {1, 2, 3, 4, 5}, 30000, 10000, 50000},
    {610412, 2, -1, 1024, {6, 7, 8, 9, 10}, -7000, 24000, 30000}};
// Puts them into the flashes of the pair on the open transport: the fixture's own setting-up,
// not a change the audit log of the code under test should hold.
inline void writeOwnHeaders() {
    const QString log = AuditLogPath();
    const bool on = AuditLogOn();
    SetAuditLog(log, false);
    for (int sensor : {1, 2})
        EXPECT_EQ(WriteCalibDataToXF(&ownHeaders[sensor - 1], sensor, sizeof(CalibHeader)), 1);
    SetAuditLog(log, on);
}
// A sensor's own header with the six fields of the tests' calibration files (first word 3,
// second word 7, 2048 values) of `type`, `range` and `offset`.
inline CalibHeader withFileFields(int sensor, int32_t type, int32_t range, int32_t offset) {
    CalibHeader h = ownHeaders[sensor - 1];
    std::tie(h.typeCode, h.param1, h.range, h.offset, h.param2, h.tableLength) =
        std::tuple(type, int16_t(3), range, offset, int16_t(7), int16_t(2048));
    return h;
}

// The SHA-256 of the table of `sensor` in hexadecimal: its words little-endian, as they go to the
// flash.
inline QByteArray tableSha256(int sensor) {
    QByteArray bytes;
    for (const uint16_t word : valuesOf(sensor))
        bytes.append(char(word & 0xFF)).append(char(word >> 8));
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// A calibration file of `type`, `range` and `offset` (first word 3, second word 7, 2048 values).
inline QString writeCalibFile(const QString &path, int32_t type, int32_t range, int32_t offset,
                              const std::vector<uint16_t> &values) {
    QByteArray text = "[HEADER]\nTYPE\t" + QByteArray::number(type) + "\nPARAM1\t3\nRANGE\t" +
                      QByteArray::number(range) + "\nOFFSET\t" + QByteArray::number(offset) +
                      "\nPARAM2\t7\nLENGTH\t2048\n[XFLASH]\n";
    for (uint16_t v : values) text += QByteArray::number(v) + ",\n";
    return writeFile(path, text);
}

// Whether the state file a simulator left at `path` holds the flashes of a fresh pair, with the
// ownHeaders when `own`, but for the table of `sensor` in its place: word 0x1200 of its own flash
// or, on the two-line hardware (`combined`) with both tables in one flash, 1024 words at 0x1200
// (MASTER) or 0x1600 (SLAVE).
inline bool tableInPlace(bool combined, int sensor, const QString &path, bool own = false) {
    DeviceConfig config;
    if (combined) {
        config.masterType = config.slaveType = TWO_LINE_TYPE;
        config.lineType = 306159;
    }
    Device fresh(config), written(config);
    const QByteArray image = fileBytes(path);
    EXPECT_TRUE(written.restorePersistent(Bytes(image.begin(), image.end())));
    std::array<XFlash, 2> expected = {fresh.flash(1), fresh.flash(2)};
    for (int side = 0; own && side < 2; ++side) {
        const auto page = expected[side].image().begin() + (XFlash::CALIB_PAGE - XFlash::BASE);
        std::fill_n(page, XFlash::PAGE_WORDS, 0xFFFF);
        std::memcpy(&*page, &ownHeaders[side], sizeof(CalibHeader));
    }
    const int flash = combined ? 1 : sensor, at = combined && sensor == 2 ? 0x1600 : 0x1200;
    std::copy_n(valuesOf(sensor).begin(), combined ? 1024 : 2048,
                expected[flash - 1].image().begin() + (at - XFlash::BASE));
    return written.flash(1).image() == expected[0].image() &&
           written.flash(2).image() == expected[1].image();
}
