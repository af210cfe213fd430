// What only the simulator itself can show: refusals, flash, restarts, random faults and, through
// the program's own link layer, a baud-rate change.
#include <tuple>

#include "core/link/transport.h"
#include "device.h"
#include "fault_plan.h"
#include "frame_parser.h"
#include "frames.h"
#include "support.h"

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

// The single reply's data; fails the test when the reply is not order `order`.
Bytes askData(Device &dev, uint8_t order, uint16_t param, const Bytes &data = {},
              double now = 1.0) {
    const auto replies = ask(dev, makeFrame(order, param, data), now);
    if (replies.size() != 1 || replies[0][1] != order) {
        ADD_FAILURE() << "order " << int(order) << " not answered";
        return {};
    }
    return Bytes(replies[0].begin() + FRAME_HEADER_SIZE, replies[0].end());
}

Bytes words(const std::vector<uint16_t> &values) {
    Bytes b;
    for (uint16_t v : values) b.insert(b.end(), {uint8_t(v & 0xFF), uint8_t(v >> 8)});
    return b;
}

Bytes withBrokenByte(Bytes frame, size_t at) {
    frame[at] ^= 0x20;
    return frame;
}

constexpr int SIM_COM_PORT = 9;

class SimLink : public ::testing::Test {
  protected:
    void TearDown() override {
        CloseTCP();
        CloseRS232();
    }

    void startAndConnect(bool serial) {
        ASSERT_TRUE(sim_.start());
        exit_flag = 0;
        ASSERT_TRUE(serial ? sim_.openSerial(SIM_COM_PORT) : sim_.openTcp()) << szStatus;
    }

    // One request without data through FillTxBuf and DataExchange: the reply data, or none.
    static std::optional<Bytes> exchange(uint8_t order, uint16_t param) {
        FillTxBuf(order, param, nullptr, 0);
        if (DataExchange(FRAME_HEADER_SIZE) != 1) return std::nullopt;
        return Bytes(szReadBuf + FRAME_HEADER_SIZE, szReadBuf + FRAME_HEADER_SIZE + head.len);
    }

    SimProcess sim_;
};

}  // namespace

// Requests the device refuses: the error reply (order 0) with its code as parameter.
TEST(SimModel, RefusesWhatItCannotDo) {
    const std::tuple<const char *, Bytes, uint16_t> rows[] = {
        {"order 12", makeFrame(12, 0), 0},
        {"order 18 is the device's own", makeFrame(18, 0), 0},
        {"GET page 3", makeFrame(2, 3), 0},
        {"SEND short page", makeFrame(1, 0, Bytes(31, 0)), 0},
        {"linearisation mode 3", makeFrame(19, 3), 0},
        {"calibration read sensor 3", makeFrame(24, 3), 0},
        {"erase inside a page", makeFrame(180, 0x1234), 0},
        {"erase below the flash", makeFrame(100, 0x0F00), 0},
        {"write below the flash", makeFrame(182, 0x0FFF, words({1})), 0},
        {"write past the end", makeFrame(102, 0x1FFF, words({1, 2})), 0},
        {"write odd length", makeFrame(182, 0x1200, Bytes(3, 0)), 0},
        {"read past the end", makeFrame(184, 0x1F81, words({128})), 0},
        {"read without count", makeFrame(184, 0x1200), 0},
        {"read of word count 0", makeFrame(184, 0x1200, words({0})), 0},
        {"read of 129 words", makeFrame(184, 0x1200, words({129})), 0},
        {"baud rate index 5", makeFrame(190, 5), 0},
        {"data CRC wrong", withBrokenByte(makeFrame(1, 0, Bytes(32, 0)), 20), 25},
        {"more than 1016 data bytes", makeFrame(182, 0x1000, Bytes(1017, 0)), 25},
    };
    for (const auto &[what, request, code] : rows) {
        Device dev(DeviceConfig{});
        EXPECT_EQ(ask(dev, request), std::vector<Bytes>{errorFrame(code)}) << what;
    }
}

// Writes only clear bits, an erase sets a page again.
TEST(SimModel, FlashBehavesLikeNorFlash) {
    Device dev(DeviceConfig{});
    auto stored = [&](int sensor, size_t count) {
        const auto w = dev.flash(sensor).words(0x1300, count);
        return std::vector<uint16_t>(w.begin(), w.end());
    };
    for (const auto &[sensor, erase, write] : {std::tuple{1, 180, 182}, {2, 100, 102}}) {
        ask(dev, makeFrame(erase, 0x1300));
        ask(dev, makeFrame(write, 0x1300, words({0x00FF, 0x1234})));
        ask(dev, makeFrame(write, 0x1300, words({0xFF00, 0xFFFF})));
        EXPECT_EQ(stored(sensor, 3), (std::vector<uint16_t>{0x0000, 0x1234, 0xFFFF})) << sensor;
        ask(dev, makeFrame(erase, 0x1300));
        EXPECT_EQ(stored(sensor, 256), std::vector<uint16_t>(256, 0xFFFF)) << sensor;
    }
}

// What a restart keeps (the simulator's state file holds this image): the EEPROM pages and both
// flashes; RAM starts again as a copy of the EEPROM. A broken image is refused.
TEST(SimModel, EepromAndFlashSurviveARestartAndRamDoesNot) {
    Device dev(DeviceConfig{}), again(DeviceConfig{});
    const Bytes page(32, 0x99), ramOnly(32, 0x05);
    std::vector<uint16_t> block(256);
    for (size_t i = 0; i < block.size(); ++i) block[i] = uint16_t(i * 3);
    for (const Bytes &request : {makeFrame(3, 1, page), makeFrame(1, 2, ramOnly),
                                 makeFrame(180, 0x1A00), makeFrame(182, 0x1A00, words(block))})
        ask(dev, request);
    EXPECT_FALSE(again.restorePersistent(Bytes(100, 0)));
    ASSERT_TRUE(again.restorePersistent(dev.persistentImage()));
    EXPECT_EQ(askData(again, 4, 1), page);
    EXPECT_EQ(askData(again, 2, 1), page);
    EXPECT_EQ(askData(again, 2, 2), askData(again, 4, 2));
    EXPECT_NE(askData(again, 2, 2), ramOnly);
    EXPECT_EQ(askData(again, 184, 0x1A80, words({128})), words({block.begin() + 128, block.end()}));
}

// Random faults at a rate of 0.25: every kind about as often, at most one on a reply, garbage
// only behind a whole frame, the same ones again for the same seed; a rate of 0 changes nothing.
TEST(SimFaults, RandomFaultsAtTheGivenRate) {
    const Bytes reply = makeFrame(2, 1, Bytes(32, 0x5A));
    std::vector<int> counts;  // of the last run, by kind
    auto run = [&](double rate, uint64_t seed) {
        FaultOptions options;
        options.faultRate = rate;
        options.seed = seed;
        FaultPlan plan(options);
        std::vector<std::pair<Bytes, double>> out;  // the bytes and extra delay of each reply
        for (int i = 0; i < 4000; ++i) {
            const ShapedReply r = plan.shape(2, reply);
            out.emplace_back(r.bytes, r.extraDelay);
        }
        counts.clear();
        for (int k = 0; k < int(RandomFault::Count); ++k)
            counts.push_back(plan.randomFaults(RandomFault(k)));
        return out;
    };
    const auto out = run(0.25, 7);
    int faulty = 0, faults = 0;
    for (const auto &[bytes, delay] : out) {
        faulty += bytes != reply || delay != 0.0;
        EXPECT_TRUE(bytes.size() <= reply.size() ||
                    std::equal(reply.begin(), reply.end(), bytes.begin()));
    }
    for (int n : counts) faults += n;
    EXPECT_GT(*std::min_element(counts.begin(), counts.end()), 100);
    EXPECT_EQ(faulty, faults);
    EXPECT_NEAR(faults, 1000, 200);
    EXPECT_EQ(run(0.25, 7), out);
    EXPECT_NE(run(0.25, 8), out);
    EXPECT_EQ(run(0.0, 7), decltype(out)(4000, {reply, 0.0}));
}

// The change is answered at the old speed. At 9600 baud the pseudo-terminal carries a video reply
// (8 + 512 bytes) in 0.54 s, inside the time-out of its data.
TEST_F(SimLink, BaudRateChangeIsAnsweredAtTheOldSpeed) {
    startAndConnect(true);
    ASSERT_TRUE(exchange(ORD_BAUDRATE, 0)) << szStatus;  // 9600
    EXPECT_FALSE(exchange(5, 0));                        // the device no longer understands 115200
    EXPECT_STREQ(szStatus, "TIMEOUT!");
    ASSERT_EQ(InitRS232(SIM_COM_PORT, 0), 1);
    EXPECT_TRUE(exchange(5, 0)) << szStatus;
    EXPECT_EQ(head.param, SERIAL);
    for (int round = 0; round < 2; ++round) {
        const auto video = exchange(ORD_VIDEO, 0);
        ASSERT_TRUE(video) << szStatus;
        EXPECT_EQ(video->size(), 2u * MAXPOINT * sizeof(uint16_t));
    }
    ASSERT_TRUE(exchange(ORD_BAUDRATE, 4));
    ASSERT_EQ(InitRS232(SIM_COM_PORT, 4), 1);
    EXPECT_TRUE(exchange(5, 0)) << szStatus;
}
