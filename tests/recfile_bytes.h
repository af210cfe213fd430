// Recorder files written byte for byte as the recorders write them (Latin-1, µ = 0xB5, CR LF),
// for the tests of the reader and of the tools that read recordings; and the records a
// recording must hold, as they came off the wire.
#pragma once
#include <QByteArray>
#include <QList>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/link/frame.h"
#include "core/measure/recfile.h"
#include "wire/crc8.h"

struct RecFixtureSample {
    const char *time;
    int32_t ma, sl, val, maEdge, slEdge, maPix, slPix, valPix;
};

struct RecFixture {
    bool withSampleCount = true;  // desktop polled recording; trigger and touch leave it out
    const char *increment = "0.500000";
    int sampleCount = 4;
    int32_t setpoint = 10000, offsetMaster = 50000, offsetSlave = 48000, rangeMaster = 10000,
            rangeSlave = 12000;
    std::vector<RecFixtureSample> samples;
};

inline QByteArray RecFixtureHeader(const RecFixture &f) {
    const auto um = [](const char *name, int32_t value) {
        return name + QByteArray(" [\xB5m]:\t") + QByteArray::number(value) + "\r\n";
    };
    QByteArray b = QByteArray("Date:\t12-05-2026\r\nTime:\t23:59:57\r\nTime-Increment[s]:\t") +
                   f.increment + "\r\n";
    if (f.withSampleCount) b += "Number of Samples:\t" + QByteArray::number(f.sampleCount) + "\r\n";
    return b + um("Setpoint-Value", f.setpoint) + um("Offset-Master", f.offsetMaster) +
           um("Offset-Slave", f.offsetSlave) + um("Range-Master", f.rangeMaster) +
           um("Range-Slave", f.rangeSlave) +
           "TIME\t\tMA[\xB5m]\tSL[\xB5m]\tVAL[\xB5m]\tMA-E\tSL-E\tMA-PIX\tSL-PIX\tVAL-PIX\r\n";
}

inline QByteArray RecFixtureBytes(const RecFixture &f) {
    QByteArray b = RecFixtureHeader(f);
    for (const RecFixtureSample &s : f.samples) {
        b += s.time;
        for (int32_t v : {s.ma, s.sl, s.val, s.maEdge, s.slEdge, s.maPix, s.slPix, s.valPix})
            b += '\t' + QByteArray::number(v);
        b += "\r\n";
    }
    return b;
}

// Four samples across midnight, MASTER and SLAVE apart, VAL around the set-point of 10 mm.
inline RecFixture RecFixtureAcrossMidnight() {
    RecFixture f;
    f.samples = {
        {"23:59:58", 50310, 48120, 10050, 812, 640, 1021, 2011, 3300},
        {"23:59:59", 50290, 48170, 9930, 815, 633, 1019, 2016, 3297},
        {"00:00:00", 50350, 48110, 10180, 809, 651, 1024, 2009, 3305},
        {"00:00:02", 50270, 48160, 9870, 818, 629, 1017, 2014, 3294},
    };
    return f;
}

// The sample line the file must hold for a record, without its time stamp.
inline QByteArray columns(const RawRecord &r) {
    char line[REC_LINE_SIZE];
    const int n = FormatSampleLine(line, "--:--:--", r);
    return QByteArray(line + 9, n - 9);
}

inline QByteArray columnsOfLine(const QByteArray &line) {
    return line.mid(9) + '\n';
}

// Trigger records the simulator reports sending on `channel` ("tcp" or "pty") in its --verbose
// log whose data matches its CRC, in order.
inline std::vector<RawRecord> triggerRecordsIn(const QByteArray &log, const QByteArray &channel) {
    std::vector<RawRecord> records;
    for (const QByteArray &line : log.split('\n')) {
        if (!line.startsWith(channel + " -> ")) continue;
        const QByteArray bytes = QByteArray::fromHex(line.mid(line.indexOf(" -> ") + 4));
        const int at = bytes.size() - 32;
        if (at < 0 || uint8_t(bytes[at]) != 0x55 || bytes[at + 1] != ORD_TRIGGER) continue;
        const auto *data = reinterpret_cast<const uint8_t *>(bytes.constData() + at);
        if (crc8Update(data, FRAME_HEADER_SIZE, int(sizeof(TriggerRecord))) != data[6]) continue;
        TriggerRecord rec{};
        std::memcpy(&rec, bytes.constData() + at + 8, sizeof rec);
        RawRecord r{};
        CopyTriggerRecord(rec, r);
        records.push_back(r);
    }
    return records;
}
