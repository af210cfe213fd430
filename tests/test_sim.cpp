// The sensor-pair simulator: the device model order by order (bytes in, bytes out), its
// physical plausibility, the fault plan, the frame parser on broken and split requests, and the
// executable end to end through the program's own link layer over TCP and a pseudo-terminal.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <cstring>
#include <set>
#include <tuple>
#include <vector>

#include "device.h"
#include "fault_plan.h"
#include "frame_parser.h"
#include "frames.h"
#include "link/crc8.h"
#include "link/frame.h"
#include "link/status.h"
#include "link/transport.h"
#include "platform/timing.h"
#include "shared/state.h"
#include "sim_process.h"

namespace {

constexpr uint16_t SERIAL = 1001;  // the device's default serial number

// All reply frames the device gives to `request` (raw bytes) received at `now`.
std::vector<Bytes> ask(Device &dev, const Bytes &request, double now = 1.0) {
    FrameParser parser;
    std::vector<Bytes> replies;
    for (const Request &r : parser.feed(request.data(), request.size(), now))
        replies.push_back(dev.handle(r, now));
    return replies;
}

// The single reply's data; fails the test when the reply is not order `order` with data.
Bytes askData(Device &dev, uint8_t order, uint16_t param, const Bytes &data = {},
              double now = 1.0) {
    const auto replies = ask(dev, makeFrame(order, param, data), now);
    if (replies.size() != 1 || replies[0][1] != order) {
        ADD_FAILURE() << "order " << int(order) << " not answered";
        return {};
    }
    return Bytes(replies[0].begin() + FRAME_HEADER_SIZE, replies[0].end());
}

// A reply is well-formed when its header checks and its data match the data CRC.
::testing::AssertionResult wellFormed(const Bytes &frame) {
    if (frame.size() < 8 || frame[0] != 0x55 || crc8Update(frame.data(), 0, 8) != 0)
        return ::testing::AssertionFailure() << "bad header";
    const FrameHeader h = headerOf(frame);
    if (frame.size() != 8u + h.len) return ::testing::AssertionFailure() << "length differs";
    if (crc8Update(frame.data(), 8, h.len) != h.datacrc)
        return ::testing::AssertionFailure() << "bad data CRC";
    return ::testing::AssertionSuccess();
}

// A value-initialised T with some fields set.
template <typename T, typename F>
T with(F set) {
    T value{};
    set(value);
    return value;
}

template <typename T>
T recordOf(const Bytes &data) {
    T value{};
    EXPECT_EQ(data.size(), sizeof value);
    std::memcpy(&value, data.data(), std::min(data.size(), sizeof value));
    return value;
}

Bytes words(std::initializer_list<uint16_t> values) {
    Bytes b;
    for (uint16_t v : values) {
        b.push_back(static_cast<uint8_t>(v & 0xFF));
        b.push_back(static_cast<uint8_t>(v >> 8));
    }
    return b;
}

Bytes withBrokenByte(Bytes frame, size_t at) {
    frame[at] ^= 0x20;
    return frame;
}

// The master set with the start-up defaults, as the program sends it.
const Bytes DEFAULT_MASTER_SET = {0xF4, 0x01, 0x01, 0x00, 0x00, 0x00, 0x32, 0x00, 0x00, 0x02, 0x01,
                                  0x00, 0x00, 0x10, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0xD8, 0xD6,
                                  0x00, 0x00, 0,    0,    0,    0,    0,    0,    0,    0};

}  // namespace

// ---------------------------------------------------------------- the model, order by order

TEST(SimModel, AnswersEveryOrderWithItsReply) {
    const Bytes page(32, 0x11);
    struct Row {
        const char *what;
        Bytes request;
        uint8_t order;
        uint16_t param;
        uint16_t len;
    };
    const std::vector<Row> rows = {
        {"echo", {0x55, 0x05, 0, 0, 0, 0, 0xAA, 0x3C}, 5, SERIAL, 0},
        {"GET RAM master", {0x55, 0x02, 0x01, 0, 0, 0, 0xAA, 0x74}, 2, 1, 32},
        {"GET EEPROM slave", {0x55, 0x04, 0x02, 0, 0, 0, 0xAA, 0x88}, 4, 2, 32},
        {"SEND RAM general", makeFrame(1, 0, page), 1, 0, 0},
        {"SEND EEPROM slave", makeFrame(3, 2, page), 3, 2, 0},
        {"TEACH", makeFrame(6, 0), 6, 0, 12},
        {"firmware text", makeFrame(7, 0), 7, SERIAL, 72},
        {"measurement record", makeFrame(8, 0), 8, 0, 64},
        {"video profiles", makeFrame(9, 0), 9, 0, 512},
        {"hardware record", makeFrame(10, 0), 10, 0, 32},
        {"RESET", makeFrame(11, 0), 11, 0, 0},
        {"MASTER video threshold", makeFrame(13, 60), 13, 60, 0},
        {"SLAVE video threshold", makeFrame(14, 70), 14, 70, 0},
        {"linearisation MASTER", makeFrame(19, 1), 19, 1, 0},
        {"calibration write SLAVE", makeFrame(23, 2, Bytes(32, 0)), 23, 2, 0},
        {"calibration read MASTER", makeFrame(24, 1), 24, 1, 64},
        {"erase SLAVE page 15", makeFrame(100, 0x1F00), 100, 0x1F00, 0},
        {"write SLAVE last word", makeFrame(102, 0x1FFF, words({1})), 102, 0x1FFF, 0},
        {"erase MASTER page 0", makeFrame(180, 0x1000), 180, 0x1000, 0},
        {"write MASTER", makeFrame(182, 0x1200, Bytes(512, 0)), 182, 0x1200, 0},
        {"read MASTER 128 words", makeFrame(184, 0x1280, words({128})), 184, 0x1280, 256},
        {"read MASTER 4 words", makeFrame(184, 0x1100, words({4})), 184, 0x1100, 8},
        {"baud rate 57600", makeFrame(190, 3), 190, 3, 0},
        // error replies, code 0: unknown orders and invalid arguments
        {"order 12", makeFrame(12, 0), 0, 0, 0},
        {"order 18 is the device's own", makeFrame(18, 0), 0, 0, 0},
        {"order 0", makeFrame(0, 0), 0, 0, 0},
        {"GET page 3", makeFrame(2, 3), 0, 0, 0},
        {"SEND short page", makeFrame(1, 0, Bytes(31, 0)), 0, 0, 0},
        {"linearisation mode 3", makeFrame(19, 3), 0, 0, 0},
        {"calibration read sensor 3", makeFrame(24, 3), 0, 0, 0},
        {"erase inside a page", makeFrame(180, 0x1234), 0, 0, 0},
        {"erase below the flash", makeFrame(100, 0x0F00), 0, 0, 0},
        {"write below the flash", makeFrame(182, 0x0FFF, words({1})), 0, 0, 0},
        {"write past the end", makeFrame(102, 0x1FFF, words({1, 2})), 0, 0, 0},
        {"write odd length", makeFrame(182, 0x1200, Bytes(3, 0)), 0, 0, 0},
        {"read past the end", makeFrame(184, 0x1F81, words({128})), 0, 0, 0},
        {"read without count", makeFrame(184, 0x1200), 0, 0, 0},
        {"read of word count 0", makeFrame(184, 0x1200, words({0})), 0, 0, 0},
        {"read of 129 words", makeFrame(184, 0x1200, words({129})), 0, 0, 0},
        {"baud rate index 5", makeFrame(190, 5), 0, 0, 0},
        // error replies, code 25: requests that cannot be understood
        {"header CRC wrong", withBrokenByte(makeFrame(5, 0), 7), 0, 25, 0},
        {"data CRC wrong", withBrokenByte(makeFrame(1, 0, page), 20), 0, 25, 0},
        {"more than 1016 data bytes", makeFrame(182, 0x1000, Bytes(1017, 0)), 0, 25, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        Device dev(DeviceConfig{});
        const auto replies = ask(dev, row.request);
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_TRUE(wellFormed(replies[0]));
        const FrameHeader h = headerOf(replies[0]);
        EXPECT_EQ(h.order, row.order);
        EXPECT_EQ(h.param, row.param);
        EXPECT_EQ(h.len, row.len);
    }
}

TEST(SimModel, StartsWithTheDefaultsOfTheProgram) {
    Device dev(DeviceConfig{});
    EXPECT_EQ(askData(dev, 2, 1), DEFAULT_MASTER_SET);
    EXPECT_EQ(askData(dev, 4, 2), DEFAULT_MASTER_SET);  // the slave set has the same defaults

    const auto ge = recordOf<ParaGeneral>(askData(dev, 2, 0));
    EXPECT_EQ(std::tie(ge.evalMode, ge.hardwareMode, ge.average, ge.polarity, ge.umUpperTolerance,
                       ge.umLowerTolerance, ge.umSetpoint),
              std::make_tuple(1, 1, 1, 1, 1000, 1000, 10000));

    // The pixel count is consistent with the line: 8192 subpixels.
    const auto hw = recordOf<HwInfo>(askData(dev, 10, 0));
    EXPECT_EQ(std::tie(hw.mastertype, hw.slavetype, hw.linetype, hw.serialno, hw.fwversion,
                       hw.pixelCount, hw.subpixels, hw.adcrange),
              std::make_tuple(610407, 610407, 306158, SERIAL, 421, 8192, 8192, 256));

    const Bytes text = askData(dev, 7, 0);
    ASSERT_EQ(text.size(), 72u);
    EXPECT_EQ(text.back(), 0);  // terminated inside its 72 bytes
    const std::string fw(reinterpret_cast<const char *>(text.data()));
    EXPECT_EQ(fw.rfind("K-TAV-PX-MA.V4.21 ", 0), 0u) << fw;
    EXPECT_NE(fw.find("421"), std::string::npos);

    for (uint16_t sensor : {1, 2}) {
        const Bytes data = askData(dev, 24, sensor);
        ASSERT_EQ(data.size(), 64u);
        const auto calib = recordOf<CalibHeader>(Bytes(data.begin(), data.begin() + 32));
        EXPECT_EQ(std::tie(calib.typeCode, calib.tableLength, calib.range, calib.offset),
                  std::make_tuple(610407, 2048, 10000, 50000));
        EXPECT_EQ(Bytes(data.begin() + 32, data.end()), Bytes(32, 0xFF));
    }
}

TEST(SimModel, KeepsParameterPagesInRamAndEeprom) {
    Device dev(DeviceConfig{});
    Bytes page(32);
    for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint8_t>(i * 7 + 1);
    ask(dev, makeFrame(1, 2, page));
    EXPECT_EQ(askData(dev, 2, 2), page);
    EXPECT_EQ(askData(dev, 4, 2), DEFAULT_MASTER_SET);  // RAM only

    ask(dev, makeFrame(3, 0, page));
    EXPECT_EQ(askData(dev, 4, 0), page);
    EXPECT_NE(askData(dev, 2, 0), page);

    ask(dev, makeFrame(13, 77));  // the MASTER threshold goes to the EEPROM set
    EXPECT_EQ(recordOf<ParaSensor>(askData(dev, 4, 1)).videoThreshold, 77);
    EXPECT_EQ(recordOf<ParaSensor>(askData(dev, 2, 1)).videoThreshold, 50);

    // What survives a restart is checked end to end through the state file; a broken image is
    // refused.
    EXPECT_FALSE(Device(DeviceConfig{}).restorePersistent(Bytes(100, 0)));
}

TEST(SimModel, FlashBehavesLikeNorFlash) {
    Device dev(DeviceConfig{});
    auto stored = [&](int sensor, size_t count) {
        const auto w = dev.flash(sensor).words(0x1300, count);
        return std::vector<uint16_t>(w.begin(), w.end());
    };
    for (const auto &[sensor, erase, write] : {std::tuple{1, 180, 182}, {2, 100, 102}}) {
        SCOPED_TRACE(sensor);
        ask(dev, makeFrame(erase, 0x1300));
        ask(dev, makeFrame(write, 0x1300, words({0x00FF, 0x1234})));
        ask(dev, makeFrame(write, 0x1300, words({0xFF00, 0xFFFF})));  // writes only clear bits
        EXPECT_EQ(stored(sensor, 3), (std::vector<uint16_t>{0x0000, 0x1234, 0xFFFF}));
        ask(dev, makeFrame(erase, 0x1300));
        EXPECT_EQ(stored(sensor, 256), std::vector<uint16_t>(256, 0xFFFF));
    }
    // The calibration header is placed in page 1 by the device, erased first.
    CalibHeader header{.typeCode = 611513,
                       .param1 = 2,
                       .param2 = 3,
                       .tableLength = 1024,
                       .reserved = {},
                       .virtOffset = 30000,
                       .range = 20000,
                       .offset = 40000};
    ask(dev, makeFrame(23, 1, bytesOf(header)));
    const Bytes back = askData(dev, 24, 1);
    EXPECT_EQ(Bytes(back.begin(), back.begin() + 32), bytesOf(header));
    EXPECT_EQ(Bytes(askData(dev, 184, 0x1100, words({16}))), bytesOf(header));
    EXPECT_NE(Bytes(askData(dev, 24, 2)).front(), bytesOf(header).front());
}

// ---------------------------------------------------------------- the physical model

TEST(SimModel, RecordIsConsistentAndLeavesTheToleranceBandNowAndThen) {
    // A line of 1024 pixels puts the taught pixel 512 at the taught distance 55000 um.
    Device dev(with<DeviceConfig>([&](auto &c) {
        c.seed = 7;
        c.subpixels = 4096;
        c.pixelCount = 1024;
    }));
    const Bytes calibData = askData(dev, 24, 1);
    const auto calib = recordOf<CalibHeader>(Bytes(calibData.begin(), calibData.begin() + 32));
    const auto teach = recordOf<ParaSensor>(askData(dev, 2, 1)).umTeachValue;
    int inside = 0, outside = 0;
    std::set<uint16_t> inputs;
    for (double t = 0.0; t < 90.0; t += 0.25) {
        const auto raw = recordOf<RawRecord>(askData(dev, 8, 0, {}, t));
        for (const auto &[pos, start, end, um, edge] :
             {std::tuple{raw.posA, raw.startA, raw.endA, raw.umA, raw.edgeA},
              {raw.posB, raw.startB, raw.endB, raw.umB, raw.edgeB}}) {
            ASSERT_GE(pos, 1);
            ASSERT_LE(pos, 1024);
            ASSERT_LT(start, end);
            ASSERT_LE(start, pos);
            ASSERT_LE(pos, end);
            ASSERT_GT(edge, 128);  // the peak is above the 50 % threshold
            ASSERT_EQ(um, calib.offset + calib.range * pos / 1024);
        }
        ASSERT_EQ(raw.umValue, raw.umA);  // evaluation mode MASTER
        ASSERT_EQ(raw.hwTolerance, 205);  // Hardware-Mode 1: 10 % of the range
        const int32_t tol = calib.range * raw.hwTolerance / 2048;
        (std::abs(raw.umValue - teach) <= tol ? inside : outside)++;
        inputs.insert(raw.inputs);
    }
    EXPECT_GT(inside, outside);
    EXPECT_GT(outside, 0);
    EXPECT_GT(inputs.size(), 1u);
}

TEST(SimModel, VideoProfilesShowTheLineWhereTheRecordFindsIt) {
    Device dev(with<DeviceConfig>([&](auto &c) { c.seed = 3; }));
    const double t = 12.5;
    const Bytes video = askData(dev, 9, 0, {}, t);
    const auto raw = recordOf<RawRecord>(askData(dev, 8, 0, {}, t));
    ASSERT_EQ(video.size(), 512u);
    for (int sensor = 0; sensor < 2; ++sensor) {
        uint16_t profile[128];
        std::memcpy(profile, video.data() + 256 * sensor, sizeof profile);
        const int peak = int(std::max_element(profile, profile + 128) - profile);
        EXPECT_LE(profile[peak], 256);
        EXPECT_GT(profile[peak], 128);
        EXPECT_LT(profile[0], 64);
        const int pos = sensor == 0 ? raw.posA : raw.posB;
        EXPECT_NEAR(peak * 8192 / 128, pos, 128);  // bars of 64 subpixels
    }
}

// Each table is written as a ramp (entry k holds 16 * k um, steep enough that a shift by a
// fraction of an entry shows), so the value read back tells which entry a position met: entry
// k belongs to position k * 8192 / tableLength.
TEST(SimModel, LinearisationReadsTheTableFromFlash) {
    struct Row {
        const char *what;
        int masterType;
        uint16_t mode;
        uint16_t erase, write;  // orders
        uint16_t firstPage;
        int tableLength;
    };
    const std::vector<Row> rows = {
        {"MASTER table", 610407, 1, 180, 182, 0x1200, 2048},
        {"SLAVE table in its own flash", 610407, 2, 100, 102, 0x1200, 2048},
        {"SLAVE table of 1024 in its own flash", 610407, 2, 100, 102, 0x1200, 1024},
        // Two-line hardware: both tables of 1024 in the MASTER's flash, the SLAVE's second.
        {"MASTER table of two-line hardware", 611632, 1, 180, 182, 0x1200, 1024},
        {"SLAVE table of two-line hardware", 611632, 2, 180, 182, 0x1600, 1024},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        Device dev(with<DeviceConfig>([&](auto &c) { c.masterType = row.masterType; }));
        if (row.masterType == 610407 && row.tableLength == 1024) {
            const CalibHeader header{610407, 1, 0, 1024, {}, 0, 10000, 50000};
            ask(dev, makeFrame(23, row.mode, bytesOf(header)));
        }
        for (uint16_t page = row.firstPage; page < 0x1A00; page += 0x100) {
            ask(dev, makeFrame(uint8_t(row.erase), page));
            Bytes table;
            for (int k = 0; k < 256; ++k) {
                const Bytes w = words({uint16_t(16 * (page - row.firstPage + k))});
                table.insert(table.end(), w.begin(), w.end());
            }
            ask(dev, makeFrame(uint8_t(row.write), page, table));
        }
        // The table's side: its micrometres and what the ramp gives at its position.
        auto onRamp = [&](const RawRecord &raw) {
            const int pos = row.mode == 1 ? raw.posA : raw.posB;
            return std::pair(
                row.mode == 1 ? raw.umA : raw.umB,
                50000 + int(16 * std::min(pos * row.tableLength / 8192.0, row.tableLength - 1.0)));
        };
        auto raw = recordOf<RawRecord>(askData(dev, 8, 0, {}, 2.0));
        EXPECT_NE(onRamp(raw).first, onRamp(raw).second);
        ask(dev, makeFrame(19, row.mode));
        raw = recordOf<RawRecord>(askData(dev, 8, 0, {}, 2.0));
        EXPECT_EQ(onRamp(raw).first, onRamp(raw).second);
        EXPECT_EQ((row.mode == 1 ? raw.umB : raw.umA),
                  50000 + 10000 * (row.mode == 1 ? raw.posB : raw.posA) / 8192);
    }
}

TEST(SimModel, TeachTakesTheCurrentPositionsIntoRam) {
    Device dev(with<DeviceConfig>([&](auto &c) { c.seed = 11; }));
    const auto raw = recordOf<RawRecord>(askData(dev, 8, 0, {}, 9.0));
    const auto teach = recordOf<TeachRecord>(askData(dev, 6, 0, {}, 9.0));
    EXPECT_EQ(std::tie(teach.posA, teach.posB, teach.umA, teach.umB),
              std::tie(raw.posA, raw.posB, raw.umA, raw.umB));
    const auto ma = recordOf<ParaSensor>(askData(dev, 2, 1));
    const auto sl = recordOf<ParaSensor>(askData(dev, 2, 2));
    EXPECT_EQ(std::tie(ma.teachValue, sl.teachValue, ma.umTeachValue, sl.umTeachValue),
              std::tie(teach.posA, teach.posB, teach.umA, teach.umB));
    EXPECT_EQ(recordOf<ParaSensor>(askData(dev, 4, 1)).teachValue, 512);  // EEPROM untouched
}

TEST(SimModel, MaxMinHoldStartsAgainOnReset) {
    Device dev(DeviceConfig{});
    ParaGeneral ge = recordOf<ParaGeneral>(askData(dev, 2, 0));
    ge.analogOutMode = 2;  // maximum hold at offset 60
    ask(dev, makeFrame(1, 0, bytesOf(ge)));
    int32_t highest = INT32_MIN;
    RawRecord raw{};
    for (double t = 0.0; t < 10.0; t += 0.5) {
        raw = recordOf<RawRecord>(askData(dev, 8, 0, {}, t));
        highest = std::max(highest, raw.umValue);
        ASSERT_EQ(raw.umAnalog23, highest);
    }
    ask(dev, makeFrame(11, 0));
    raw = recordOf<RawRecord>(askData(dev, 8, 0, {}, 10.0));
    EXPECT_EQ(raw.umAnalog23, raw.umValue);
}

TEST(SimModel, TriggerRecordsFollowRs232OutMode) {
    Device dev(with<DeviceConfig>([&](auto &c) { c.triggerHz = 5.0; }));
    auto countRecords = [&](double from, double to) {
        int n = 0;
        for (double t = from; t < to; t += 0.01) {
            if (const auto rec = dev.pollTrigger(t)) {
                EXPECT_TRUE(wellFormed(*rec));
                EXPECT_EQ(headerOf(*rec).order, 18);
                EXPECT_EQ(headerOf(*rec).len, 24);
                const auto tr = recordOf<TriggerRecord>(Bytes(rec->begin() + 8, rec->end()));
                EXPECT_EQ(tr.umValue, tr.umA);
                EXPECT_GE(tr.posA, 1);
                ++n;
            }
        }
        return n;
    };
    EXPECT_EQ(countRecords(0.0, 2.0), 0);
    ParaGeneral ge = recordOf<ParaGeneral>(askData(dev, 2, 0));
    ge.rs232OutMode = 1;
    ask(dev, makeFrame(1, 0, bytesOf(ge)));
    EXPECT_EQ(countRecords(2.0, 4.1), 10);
    ge.rs232OutMode = 0;
    ask(dev, makeFrame(1, 0, bytesOf(ge)));
    EXPECT_EQ(countRecords(4.0, 6.0), 0);
}

// ---------------------------------------------------------------- faults and garbage

TEST(SimFaults, ShapeTheRepliesAsConfigured) {
    const Bytes withData = makeFrame(8, 0, Bytes(64, 0x42));
    const Bytes headerOnly = makeFrame(5, SERIAL);
    enum Expect { Intact, Dropped, BadHeader, BadData, Error25, Oversize };
    struct Row {
        const char *what;
        FaultOptions options;
        std::vector<Expect> expected;  // for replies 1, 2, 3, ... to order 8
    };
    const std::vector<Row> rows = {
        {"none", {}, {Intact, Intact, Intact}},
        {"drop every 2nd",
         with<FaultOptions>([](auto &o) { o.dropEvery = 2; }),
         {Intact, Dropped, Intact, Dropped}},
        {"header every 3rd",
         with<FaultOptions>([](auto &o) { o.corruptHeaderEvery = 3; }),
         {Intact, Intact, BadHeader, Intact}},
        {"data every 2nd",
         with<FaultOptions>([](auto &o) { o.corruptDataEvery = 2; }),
         {Intact, BadData, Intact, BadData}},
        {"error reply",
         with<FaultOptions>([](auto &o) {
             o.errorReplies = {{8, 25}};
         }),
         {Error25, Error25}},
        {"oversize",
         with<FaultOptions>([](auto &o) { o.oversizeOrder = 8; }),
         {Oversize, Oversize}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        FaultPlan plan(row.options);
        for (Expect e : row.expected) {
            const Bytes out = plan.shape(8, withData).bytes;
            switch (e) {
                case Intact:
                    EXPECT_EQ(out, withData);
                    break;
                case Dropped:
                    EXPECT_TRUE(out.empty());
                    break;
                case BadHeader:
                    EXPECT_NE(crc8Update(out.data(), 0, 8), 0);
                    break;
                case BadData:
                    EXPECT_EQ(crc8Update(out.data(), 0, 8), 0);
                    EXPECT_NE(crc8Update(out.data(), 8, 64), out[6]);
                    break;
                case Error25:
                    EXPECT_EQ(out, errorFrame(25));
                    break;
                case Oversize:
                    EXPECT_EQ(headerOf(out).len, 2000);
                    EXPECT_EQ(out.size(), 2008u);
                    EXPECT_TRUE(wellFormed(out));
                    break;
            }
        }
        EXPECT_TRUE(wellFormed(plan.shape(5, headerOnly).bytes) || row.options.dropEvery ||
                    row.options.corruptHeaderEvery);
    }
}

// Random faults: each reply gets at most one, of the kind the counts say, the same ones again
// for the same seed; a rate of 0 leaves every reply alone.
TEST(SimFaults, RandomFaultsAtTheGivenRate) {
    const Bytes reply = makeFrame(2, 1, Bytes(32, 0x5A));
    auto run = [&](double rate, uint64_t seed, std::vector<ShapedReply> &out) {
        FaultPlan plan(with<FaultOptions>([&](auto &o) {
            o.faultRate = rate;
            o.seed = seed;
        }));
        out.clear();
        for (int i = 0; i < 4000; ++i) out.push_back(plan.shape(2, reply));
        return plan;
    };
    std::vector<ShapedReply> out, again, other;
    const FaultPlan plan = run(0.25, 7, out);
    int changed = 0, late = 0, kinds = 0;
    for (const ShapedReply &r : out) {
        late += r.extraDelay == LATE_DELAY;
        changed += r.bytes != reply;
        if (r.bytes.size() < reply.size()) continue;  // dropped or cut
        // A flipped bit or garbage behind the frame; never both, never together with lateness.
        const bool flipped = r.bytes.size() == reply.size() && r.bytes != reply;
        EXPECT_TRUE(!flipped || r.extraDelay == 0.0);
        EXPECT_TRUE(r.bytes.size() == reply.size() ||
                    std::equal(reply.begin(), reply.end(), r.bytes.begin()));
    }
    for (int k = 0; k < static_cast<int>(RandomFault::Count); ++k) {
        const int n = plan.randomFaults(static_cast<RandomFault>(k));
        EXPECT_GT(n, 100) << k;
        kinds += n;
    }
    EXPECT_EQ(late, plan.randomFaults(RandomFault::Late));
    EXPECT_EQ(changed + late, kinds);
    EXPECT_GT(kinds, 800);
    EXPECT_LT(kinds, 1200);
    run(0.25, 7, again);
    run(0.25, 8, other);
    auto same = [](const std::vector<ShapedReply> &a, const std::vector<ShapedReply> &b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](auto &x, auto &y) {
            return x.bytes == y.bytes && x.extraDelay == y.extraDelay;
        });
    };
    EXPECT_TRUE(same(out, again));
    EXPECT_FALSE(same(out, other));
    run(0.0, 7, out);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(),
                            [&](auto &r) { return r.bytes == reply && r.extraDelay == 0.0; }));
}

TEST(SimParser, AnswersABrokenRequestOnceAndResynchronises) {
    Device dev(DeviceConfig{});
    FrameParser parser;
    Bytes stream = withBrokenByte(makeFrame(1, 0, Bytes(32, 0x55)), 3);  // header CRC wrong
    const Bytes echo = makeFrame(5, 0);
    stream.insert(stream.end(), echo.begin(), echo.end());
    const auto requests = parser.feed(stream.data(), stream.size(), 1.0);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(dev.handle(requests[0], 1.0), errorFrame(25));
    EXPECT_EQ(dev.handle(requests[1], 1.0), makeFrame(5, SERIAL));

    // A request split in pieces is put together; one left unfinished for a second is dropped.
    const Bytes get = makeFrame(2, 1);
    EXPECT_TRUE(parser.feed(get.data(), 5, 2.0).empty());
    EXPECT_EQ(parser.feed(get.data() + 5, 3, 2.5).size(), 1u);
    EXPECT_TRUE(parser.feed(get.data(), 5, 3.0).empty());
    EXPECT_TRUE(parser.feed(get.data() + 5, 3, 4.1).empty());
    EXPECT_EQ(parser.feed(get.data(), get.size(), 4.2).size(), 1u);
}

// ---------------------------------------------------------------- end to end, through the link

namespace {

enum class Line { Tcp, Pty };
constexpr int SIM_COM_PORT = 9;

class SimLink : public ::testing::TestWithParam<Line> {
  protected:
    void TearDown() override { disconnect(); }

    // Starts the simulator and opens the program's transport to it.
    void startAndConnect(Line line, const QStringList &options = {}) {
        disconnect();
        ASSERT_TRUE(sim_.start(options));
        line_ = line;
        exit_flag = 0;
        ASSERT_TRUE(line == Line::Tcp ? sim_.openTcp() : sim_.openSerial(SIM_COM_PORT)) << szStatus;
    }

    void disconnect() {
        if (line_ == Line::Tcp) CloseTCP();
        if (line_ == Line::Pty) CloseRS232();
        line_.reset();
    }

    // One request/reply through FillTxBuf and DataExchange: the reply data, or none on failure.
    static std::optional<Bytes> exchange(uint8_t order, uint16_t param, const Bytes &data = {}) {
        FillTxBuf(order, param, data.empty() ? nullptr : data.data(),
                  static_cast<uint16_t>(data.size()));
        if (DataExchange(static_cast<uint16_t>(FRAME_HEADER_SIZE + data.size())) != 1)
            return std::nullopt;
        return Bytes(szReadBuf + FRAME_HEADER_SIZE, szReadBuf + FRAME_HEADER_SIZE + head.len);
    }

    SimProcess sim_;
    std::optional<Line> line_;
};

Bytes patterned(uint8_t seed) {
    Bytes page(32);
    for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint8_t>(seed + 13 * i);
    return page;
}

}  // namespace

TEST_P(SimLink, RecordIsConsistentWithTheHardwareAndCalibration) {
    startAndConnect(GetParam());
    const auto hw = recordOf<HwInfo>(exchange(10, 0).value_or(Bytes{}));
    const Bytes calibData = exchange(24, 1).value_or(Bytes(64, 0));
    ASSERT_EQ(calibData.size(), 64u);
    const auto calib = recordOf<CalibHeader>(Bytes(calibData.begin(), calibData.begin() + 32));
    ASSERT_EQ(hw.pixelCount, hw.subpixels);
    for (int i = 0; i < 10; ++i) {  // the record's plausibility is the model's; here its bytes
        const auto raw = recordOf<RawRecord>(exchange(8, 0).value_or(Bytes{}));
        EXPECT_GE(raw.posA, 1);
        EXPECT_LE(raw.posA, hw.pixelCount);
        EXPECT_EQ(raw.umA, calib.offset + calib.range * raw.posA / hw.pixelCount);
        EXPECT_EQ(raw.umValue, raw.umA);
    }
}

INSTANTIATE_TEST_SUITE_P(BothLines, SimLink, ::testing::Values(Line::Tcp, Line::Pty),
                         [](const auto &info) {
                             return std::string(info.param == Line::Tcp ? "Tcp" : "Pty");
                         });

// By default the hardware record is consistent with its line; the options set any mix.
TEST_F(SimLink, HardwareRecordFitsItsLineUnlessTheOptionsSayOtherwise) {
    const struct {
        QStringList options;
        int32_t lineType;
        int16_t subpixels, pixelCount;
    } cases[] = {
        {{}, 306158, 8192, 8192},
        {{"--line-type", "306159"}, 306159, 4096, 4096},
        {{"--subpixels", "2048", "--pixel-count", "1024"}, 306158, 2048, 1024},
        {{"--line-type", "306159", "--pixel-count", "-5"}, 306159, 4096, -5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        startAndConnect(Line::Tcp, c.options);
        const auto hw = recordOf<HwInfo>(exchange(10, 0).value_or(Bytes{}));
        EXPECT_EQ(hw.linetype, c.lineType);
        EXPECT_EQ(hw.subpixels, c.subpixels);
        EXPECT_EQ(hw.pixelCount, c.pixelCount);
    }
}

TEST_F(SimLink, EepromAndFlashSurviveARestartAndRamDoesNot) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QStringList options = {"--state", dir.filePath("device.state")};
    startAndConnect(Line::Tcp, options);
    const Bytes page = patterned(99);
    Bytes block(512);  // a whole page
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 3);
    ASSERT_TRUE(exchange(3, 1, page));
    ASSERT_TRUE(exchange(180, 0x1A00));
    ASSERT_TRUE(exchange(182, 0x1A00, block));
    ASSERT_TRUE(exchange(1, 2, patterned(5)));  // RAM only: lost at the restart

    sim_.stop();
    startAndConnect(Line::Tcp, options);
    EXPECT_EQ(exchange(4, 1), page);
    EXPECT_EQ(exchange(2, 1), page);  // RAM starts as a copy of the EEPROM
    EXPECT_EQ(exchange(2, 2), DEFAULT_MASTER_SET);
    EXPECT_EQ(exchange(184, 0x1A80, words({128})), Bytes(block.begin() + 256, block.end()));
}

TEST_F(SimLink, BaudRateChangeIsAnsweredAtTheOldSpeed) {
    startAndConnect(Line::Pty);
    ASSERT_TRUE(exchange(190, 2)) << szStatus;  // 38400
    EXPECT_FALSE(exchange(5, 0));               // the device no longer understands 115200
    EXPECT_STREQ(szStatus, "TIMEOUT!");
    ASSERT_EQ(InitRS232(SIM_COM_PORT, 2), 1);
    EXPECT_TRUE(exchange(5, 0)) << szStatus;
    EXPECT_EQ(head.param, SERIAL);
    ASSERT_TRUE(exchange(190, 4));
    ASSERT_EQ(InitRS232(SIM_COM_PORT, 4), 1);
    EXPECT_TRUE(exchange(5, 0)) << szStatus;
}

// The pseudo-terminal carries bytes at the pace of a real line: at 9600 baud a video reply
// (8 + 512 bytes) takes 0.54 s, inside the time-out of its data. The pace follows the speed the
// program set, or the one given with --wire-baud.
TEST_F(SimLink, AVideoExchangeAt9600BaudEndsWithoutATimeOut) {
    const struct {
        const char *how;
        QStringList options;
        bool programSets9600;
    } cases[] = {
        {"the program sets 9600 baud", {}, true},
        {"--wire-baud 9600", {"--wire-baud", "9600"}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.how);
        startAndConnect(Line::Pty, c.options);
        if (c.programSets9600) {
            ASSERT_TRUE(exchange(ORD_BAUDRATE, 0)) << szStatus;  // answered at the old speed
            ASSERT_EQ(InitRS232(SIM_COM_PORT, 0), 1);
        }
        for (int round = 0; round < 2; ++round) {
            const auto record = exchange(ORD_RAW, 0);
            ASSERT_TRUE(record) << szStatus;
            EXPECT_EQ(record->size(), sizeof(RawRecord));
            const auto video = exchange(ORD_VIDEO, 0);
            ASSERT_TRUE(video) << szStatus;
            EXPECT_EQ(video->size(), 2u * MAXPOINT * sizeof(uint16_t));
        }
    }
}

TEST_F(SimLink, SerialLineSurvivesClosingAndReopeningThroughItsLink) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath("ttyKTAV");
    ASSERT_TRUE(sim_.start({"--pty", link}));
    EXPECT_EQ(QFileInfo(link).symLinkTarget().toStdString(), sim_.ptyPath());
    comtype = 0;
    rs232port = SIM_COM_PORT;
    qputenv("KTAV_COM9", link.toLocal8Bit());
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(InitRS232(SIM_COM_PORT, 4), 1) << szStatus;
        EXPECT_TRUE(exchange(5, 0)) << szStatus;
        CloseRS232();
    }
    sim_.stop();
    EXPECT_FALSE(QFileInfo::exists(link));  // the link goes with the simulator
}

TEST_F(SimLink, NewTcpClientReplacesTheOldOne) {
    startAndConnect(Line::Tcp);
    QTcpSocket other;
    other.connectToHost("127.0.0.1", static_cast<quint16>(sim_.tcpPort()));
    ASSERT_TRUE(other.waitForConnected(2000));
    // Like a serial-to-Ethernet converter, the simulator hands the line to the newest client.
    const double deadline = Timer() + 5.0;
    while (tcp_con == 1 && Timer() < deadline) WaitForSystemEvents(0.05);
    EXPECT_EQ(tcp_con, 0);
    EXPECT_STREQ(szStatus, "SERVER HAS CLOSED CONNECTION!");

    ASSERT_EQ(InitTCP_IP(), 1);
    EXPECT_TRUE(exchange(5, 0)) << szStatus;
    EXPECT_TRUE(other.state() == QAbstractSocket::UnconnectedState ||
                other.waitForDisconnected(2000));
}

