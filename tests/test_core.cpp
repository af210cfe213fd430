// Device work through the core alone, against the simulator and without panels: identification,
// GET, SEND and TEACH, the derived settings, calibration tables in the sensors' flash and the
// recorder loop. What the panels make of the outcomes is tested in the panel suites.
#include <QDir>
#include <QStandardPaths>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/audit/auditlog.h"
#include "core/audit/audittrail.h"
#include "core/calib/calibfile.h"
#include "core/calib/calibtransfer.h"
#include "core/calib/identifypair.h"
#include "core/link/commands.h"
#include "core/link/identity.h"
#include "core/link/sensorwatch.h"
#include "core/link/transport.h"
#include "core/link/xflash.h"
#include "core/measure/recorder.h"
#include "core/params/derived.h"
#include "core/params/paramblock.h"
#include "core/params/teach.h"
#include "core/params/transfer.h"
#include "core/state/programdir.h"
#include "recfile_bytes.h"
#include "scripted_peer.h"
#include "sim_flash.h"
#include "support.h"

namespace {

class Core : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetSharedState();
        ResetParaBlock();
        ResetCalibration();
        ResetHwInfo();
        wire.clear();
        SetFrameTap(tapWire);
        SetLinkView({[](unsigned, const char *) {}});  // the status texts are read from szStatus
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override {
        SetFrameTap(nullptr);
        disconnect();
    }

    // Starts the simulator with a state file and `options` and opens its TCP port, or its
    // pseudo-terminal with `serial`.
    void connect(const QStringList &options = {}, bool serial = false, bool keepLog = false) {
        disconnect();
        QFile::remove(statePath());
        ASSERT_TRUE(sim.start(QStringList{"--state", statePath()} + options, keepLog));
        ASSERT_TRUE(serial ? sim.openSerial(7) : sim.openTcp());
        wire.clear();
    }
    void disconnect() {
        CloseTCP();
        if (comtype == 0) CloseRS232();
        sim.stop();
    }

    QString statePath() const { return dir.filePath("sensor-state.bin"); }

    DataHome home;  // records of unfinished table writes, fresh for every test
    SimProcess sim;
    QTemporaryDir dir;
};

// The word at byte `at` of a frame.
const auto wordAt = [](const Bytes &frame, int at) { return frame[at] | frame[at + 1] << 8; };

// A test process and the tools it starts never see the user's own folders: a record of an
// unfinished table write left there would change what identification reports.
TEST(CoreFolders, TheUsersFoldersOfATestAreItsOwn) {
    for (const QString &folder :
         {QDir::homePath(), QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
          QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)})
        EXPECT_TRUE(folder.startsWith(QDir::tempPath() + "/")) << folder.toStdString();
}

// A lost sensor is tried again at once, then after 1 s, the wait doubling up to 30 s.
TEST(Reconnect, AtOnceThenDoublingFromOneSecondUpToThirty) {
    ReconnectSchedule schedule;
    std::vector<double> waits;
    for (int i = 0; i < 8; ++i) waits.push_back(NextReconnectWait(schedule));
    EXPECT_EQ(waits, (std::vector<double>{0, 1, 2, 4, 8, 16, 30, 30}));
}

// A failed exchange is tried again at once; only three failures in a row lose the sensor.
TEST(SensorWatch, RetriesOnceAndIsLostAfterThreeFailures) {
    static std::vector<int> results;  // of the exchanges in their order: 1 answered, 0 failed
    static size_t next;
    comtype = 0;
    const std::pair<std::vector<int>, std::vector<int>> cases[] = {
        {{1, 0, 1}, {1, 1}},
        {{0, 0, 0}, {0, -1}},
        {{0, 0, 1, 0, 0, 0}, {0, 1, 0, -1}},
    };
    for (const auto &[exchanges, cycles] : cases) {
        results = exchanges;
        next = 0;
        SensorWatch watch;
        std::vector<int> seen;
        while (next < results.size())
            seen.push_back(
                WatchedExchange(watch, [] { return next < results.size() ? results[next++] : 1; }));
        EXPECT_EQ(seen, cycles);
    }
}

// Each step of an identification failing in turn (the simulator refuses the Nth request), then
// the firmware numbers and series it refuses: the verdict, the text and the requests sent, none
// after a step that ends it. A header that cannot be read leaves its side's record as it was;
// identification goes on. A page of the MASTER's table that reads back erased is told.
TEST_F(Core, IdentificationStepsAndVerdicts) {
    constexpr Identified kOk = Identified::Accepted, kOther = Identified::OtherSeries,
                         kRefused = Identified::FirmwareOutOfRange;
    const struct {
        const char *option, *value;  // of the simulator
        Identified verdict;
        size_t requests;    // all: line test, firmware, record, 2 headers, 8 table pages, 3 sets
        unsigned headers;   // read into `calib`: bit 0 MASTER, bit 1 SLAVE
        int para;           // the last set received
        const char *shown;  // the text shown; nullptr: the version
    } cases[] = {
        {"", "", kOk, 16, 3, 1, nullptr},
        {"--error-at", "1=0", Identified::NoLine, 1, 0, 0, "INVALID ORDER NUMBER!"},
        {"--error-at", "2=0", Identified::NoFirmwareText, 2, 0, 0,
         "Timeout/Error reading firmware-info!"},
        {"--error-at", "3=0", Identified::NoHardwareRecord, 3, 0, 0,
         "Error reading HARDWARE-info!"},
        {"--error-at", "4=0", kOk, 16, 2, 1, nullptr},
        {"--error-at", "5=0", kOk, 16, 1, 1, nullptr},
        {"--error-at", "16=0", kOk, 16, 3, -1, nullptr},
        {"--fw-version", "399", kRefused, 3, 0, 0, "Please use K-TAV-PX-MS-Vista V.3.xx !"},
        {"--fw-version", "409", kRefused, 3, 0, 0, "Please use K-TAV-PX-MS-Vista V.4.0x !"},
        {"--fw-version", "410", kOk, 16, 3, 1, nullptr},
        {"--fw-version", "429", kOk, 16, 3, 1, nullptr},
        {"--fw-version", "430", kRefused, 3, 0, 0,
         "Please use K-TAV-PX-MS-Vista software newer than V4.2 !"},
        {"--fw-text", "K-TAV-QD.V1.10 2014 QD", kOther, 2, 0, 0,
         "Please use K-TAV-QD-Vista software!\n"},
        {"--fw-text", "K-TAV-WN.V2.00 2014 WN", kOther, 2, 0, 0,
         "Please use K-TAV-WN-Vista software!\n"},
        {"--fw-text", "CHROMIX.V1.0 2013 CX", kOther, 2, 0, 0,
         "Please use CHROMIX-Vista software version!\n"},
        {"--fw-text", "OTHER-DEVICE.V1.0 2013", kOther, 2, 0, 0, "OTHER-DEVICE.V1   2013"},
        {"--fw-text", "K-TAV-PX-MA V4 2015", kOk, 16, 3, 1, "K-TAV-PX-MA V4 2015.   "},
        {"--fw-text", "K-TAV-PX-2X.V4.20 2016 X", kOk, 16, 3, 1, "K-TAV-PX-2X.V4   2016"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        connect(*c.option ? QStringList{c.option, c.value} : QStringList{});
        std::memset(calib, 0x5A, sizeof calib);
        const Identification identified = IdentifyPair(nullptr);
        EXPECT_EQ(identified.verdict, c.verdict);
        EXPECT_EQ(DeviceAccepted(), c.verdict == kOk ? 1 : 0);
        EXPECT_EQ(FirmwareRefused(), c.verdict == kRefused ? 1 : 0);
        EXPECT_STREQ(szStatus, c.shown ? c.shown : szVersion);
        EXPECT_EQ(wire.requests.size(), c.requests);
        EXPECT_EQ(std::tuple(identified.headersRead, identified.paraReceived),
                  std::tuple(c.headers, c.para));
        for (unsigned side : {0, 1})
            EXPECT_EQ(calib[side].typeCode == 0x5A5A5A5A, !(c.headers >> side & 1)) << side;
    }
    ASSERT_EQ(ClearXFLASHpage(0x1900), 0);  // the last page of the MASTER's table
    IdentifyPair(nullptr);
    EXPECT_STREQ(szStatus, "MASTER calibration table incomplete: write it again!");
}

// Each side's model, calibration header and parameter set land on its own side.
TEST_F(Core, IdentificationKeepsEachSideApart) {
    connect({"--master-type", "610407", "--slave-type", "611589", "--subpixels", "2048"});
    const CalibHeader headers[2] = {{610407, 1, 0, 2048, {}, 3000, 10000, 50000},
                                    {611589, 2, -1, 1024, {}, 7000, 24000, 30000}};
    ParaBlock held = para;
    std::tie(held.ma.power, held.sl.power, held.ma.umTeachValue, held.sl.umTeachValue) =
        std::tuple(321, 654, 52000, 41000);
    std::tie(held.ma.reserved[0], held.sl.reserved[0]) = std::tuple(0xA1, 0xB2);
    para = held;
    for (int sensor = 1; sensor <= 2; ++sensor)
        ASSERT_EQ(WriteCalibDataToXF(&headers[sensor - 1], sensor, sizeof(CalibHeader)), 1);
    for (uint16_t page = 0; page < PARA_PAGES; ++page) ASSERT_EQ(PushSEND(RAM, page), 1);
    std::memset(&para, 0x5A, sizeof para);
    std::memset(calib, 0x5A, sizeof calib);
    const Identification identification = IdentifyPair(nullptr);
    ASSERT_EQ(identification.verdict, Identified::Accepted);
    EXPECT_EQ(std::tuple(hwinfo.mastertype, hwinfo.slavetype), std::tuple(610407, 611589));
    EXPECT_STREQ(szHwLine[0], "LINE-SENSOR: ---  8192 subpixel");
    EXPECT_STREQ(szHwLine[1], "MASTER: PX-M2");
    EXPECT_STREQ(szHwLine[2], "SLAVE: PX-M3");
    for (int i = 0; i < XBAR_COUNT; ++i) ASSERT_EQ(xArray8[i], 16.0 * i) << i;
    EXPECT_EQ(std::tuple(hwinfo.subpixels, pixE, YAXISMAX), std::tuple(2048, 2048, 2048));
    CheckParaRanges(held, hwinfo.pixelCount);
    EXPECT_EQ(std::memcmp(&para, &held, sizeof para), 0);
    EXPECT_EQ(std::memcmp(calib, headers, sizeof headers), 0);
    EXPECT_EQ(std::tuple(HWTYPE, YPRECISION, MAX_ITIME), std::tuple(20, 3, 50.0));
}

TEST_F(Core, FirmwareTextIsKeptInsideItsBuffer) {
    // 72 bytes without terminator, with control bytes; the short text grows past 72 characters.
    const std::string firmware = "K-TAV-PX-MA" + std::string(56, 'X') + ".V4\x01\x07";
    ScriptedPeer peer;
    peer.answer(ORD_VERSION, 77, firmware.data(), 72);
    EXPECT_EQ(GetVERSIONInfo(), 72);
    EXPECT_EQ(std::strlen(szFirmwareVersion), 72u);
    EXPECT_EQ(std::string(szFirmwareVersion, 70), firmware.substr(0, 70));
    for (const char ch : std::string(szFirmwareVersion)) EXPECT_GE(uint8_t(ch), 0x20);
    EXPECT_LE(std::strlen(szVersion), 72u);
    EXPECT_EQ(std::string(szVersion).rfind(firmware.substr(0, 70), 0), 0u);
    EXPECT_EQ(hwinfo.serialno, 77);
}

// A reply shorter than its record leaves the record; the command fails with its own text.
TEST_F(Core, UnfitRepliesAreNeverCopiedIntoTheirRecord) {
    ScriptedPeer peer;
    uint8_t junk[sizeof(HwInfo)], header[32];
    uint16_t flash[256];  // the read puts the word count into the first word before it sends
    std::memset(junk, 0xA5, sizeof junk);
    const struct {
        uint8_t order;
        uint16_t param, length;
        std::function<int()> command;
        int failure;
        const char *status;
        void *record;
        size_t size;
    } cases[] = {
        {ORD_RAW, 0, 24, GetRAW, -1, "TCP-Server-error!", &raw, sizeof raw},
        {ORD_VIDEO, 0, 24, [] { return GetDATA(0); }, -1, "TCP-Server-error!", adbuf, sizeof adbuf},
        {ORD_TEACH, 0, 8, PushTEACH, -1, "Teach-Error:Timeout TCP-Server-error!", &teach,
         sizeof teach},
        {ORD_HWINFO, 0, 24, GetHARDWAREInfo, 0, "Timeout-RS-232...", &hwinfo, sizeof hwinfo},
        {ORD_HWINFO, 0, sizeof(HwInfo) - 1, GetHARDWAREInfo, 0, "Timeout-RS-232...", &hwinfo,
         sizeof hwinfo},  // one byte short
        {ORD_CALIB_READ, 1, 24, [&] { return ReadCalibDataFromXF(header, 1, sizeof header); }, -1,
         "CALIB-Read-Error:Timeout TCP-Server-error!", header, sizeof header},
        {ORD_XF_READ, 0x1200, 24, [&] { return ReadXFLASH(0x1200, flash, 512); }, 0,
         "ATTENTION! RECEIVED DATA FRAME IS TOO SHORT!", flash + 1, sizeof flash - 2},
        {ORD_GET_RAM, 1, 16, [] { return PushGET(RAM, 1); }, -1, "Timeout-RS-232...", &para.ma,
         sizeof para.ma},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.order));
        std::memset(c.record, 0x5A, c.size);
        peer.answer(c.order, c.param, junk, c.length);
        EXPECT_EQ(c.command(), c.failure);
        EXPECT_STREQ(szStatus, c.status);
        const auto *bytes = static_cast<const uint8_t *>(c.record);
        EXPECT_EQ(size_t(std::count(bytes, bytes + c.size, 0x5A)), c.size);
    }
}

// Each single command refused and answered: its result and text. TEACH takes the sensor's teach
// record into the block, a failed one the previous record; a video threshold lands in the EEPROM.
TEST_F(Core, SensorCommandsRefusedAndAnswered) {
    for (const bool refused : {true, false}) {
        connect(refused ? QStringList{"--error-at", "1=25", "--error-at", "2=25", "--error-at",
                                      "3=25", "--error-at", "4=25"}
                        : QStringList{},
                refused);  // refused over the serial line
        teach = {100, 200, 30000, 40000};
        const std::tuple<std::function<int()>, const char *, const char *> commands[] = {
            {PushTEACH, "TEACH new setpoint value ... -> Ok!", "Teach-Error:"},
            {PushRESET, "RESET analog/digital output ... -> Ok!", "Reset-Error:"},
            {[] { return WriteVideoDataToEE_A(77); },
             "SAVE MASTER video-threshold to EEPROM ... -> Ok!", "VTHD-MA Write-Error:"},
            {[] { return WriteVideoDataToEE_B(66); },
             "SAVE SLAVE video-threshold to EEPROM ... -> Ok!", "VTHD-SL Write-Error:"}};
        for (const auto &[command, done, failed] : commands) {
            EXPECT_EQ(command(), refused ? -1 : 0);
            EXPECT_EQ(szStatus, refused ? failed + std::string("Timeout RS232-Line!") : done);
        }
        EXPECT_EQ(std::tie(para.ma.teachValue, para.sl.umTeachValue),
                  refused ? std::tuple(100, 40000) : std::tie(teach.posA, teach.umB));
        EXPECT_NE(teach.posA, refused ? 0 : 100);
        ASSERT_EQ(PushGET(EEPROM, 1) + PushGET(EEPROM, 2), 2);
        EXPECT_EQ(std::tuple(para.ma.videoThreshold, para.sl.videoThreshold),
                  refused ? std::tuple(50, 50) : std::tuple(77, 66));
    }
}

// SEND puts one set into one frame of its target's order; the file target exchanges nothing and
// range-checks the block once set 2 is in. GET into each side is shown by the identification.
TEST_F(Core, SendAndGetFrames) {
    connect();
    std::tie(para.ma.power, para.sl.power) = std::tuple(321, 654);
    EXPECT_EQ(PushSEND(EEPROM, 1), 1);
    ASSERT_EQ(wire.requests.size(), 1u);
    const Bytes &sent = wire.requests[0];
    ASSERT_EQ(sent.size(), 40u);
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 4), (Bytes{0x55, ORD_SEND_EEPROM, 1, 0}));
    EXPECT_EQ(std::memcmp(sent.data() + 8, &para.ma, 32), 0);
    EXPECT_STREQ(szStatus, "Transmission successful MA - Line Ok!");
    EXPECT_EQ(PushSEND(DATFILE, 2), 1);  // a deferred SEND whose target became the file
    ASSERT_EQ(wire.requests.size(), 2u);
    EXPECT_EQ(wire.requests[1][1], ORD_SEND_RAM);
    EXPECT_EQ(std::memcmp(wire.requests[1].data() + 8, &para.sl, 32), 0);
    EXPECT_EQ(PushGET(RAM, 0), 1);
    EXPECT_STREQ(szStatus, "Parameter-frame received! GE - Line Ok!");
    wire.clear();
    para.sl.power = 4000;  // beyond its limit
    EXPECT_EQ(PushGET(DATFILE, 0), 1);
    EXPECT_EQ(para.sl.power, 4000);
    EXPECT_EQ(PushGET(DATFILE, 2), 1);
    EXPECT_EQ(para.sl.power, 500);
    EXPECT_TRUE(wire.requests.empty());
}

// The two sides differ in everything: calibration, teach distances, and the tolerances.
// MASTER: dUp 2000, dLo 8000; SLAVE: dUp 11000, dLo 13000.
TEST_F(Core, DerivedSettingsOfEachEvaluationMode) {
    calib[0] = {0, 0, 0, 0, {}, 3000, 10000, 50000};
    calib[1] = {0, 0, 0, 0, {}, 7000, 24000, 30000};
    std::tie(para.ma.umTeachValue, para.sl.umTeachValue) = std::tuple(52000, 41000);
    std::tie(para.ge.umSetpoint, para.ge.umUpperTolerance, para.ge.umLowerTolerance) =
        std::tuple(20000, 1500, 700);
    const struct {
        uint16_t mode, measurementMode, hardwareMode, hwTolerance;
        int umTeach, up, lo, yMax, yMin, range, rangeA, rangeB;  // -1: range A/B unchanged
        int virtOffset;
    } cases[] = {
        {0, 0, 0, 0, 41000, 42500, 40300, 55, 30, 24000, -1, -1, 7000},
        {0, 1, 0, 0, 20000, 21500, 19300, 32, 7, 24000, -1, -1, 7000},
        {1, 0, 0, 0, 52000, 53500, 51300, 61, 50, 10000, -1, -1, 3000},
        {1, 1, 0, 0, 20000, 21500, 19300, 23, 12, 10000, -1, -1, 3000},
        {6, 0, 0, 0, 52000, 53500, 51300, 61, 50, 10000, -1, -1, 3000},
        // WIDTH: the pair's virtual offsets less both teach distances.
        {2, 0, 0, 0, -83000, -81500, -83700, -69, 0, 34000, -1, -1, 10000},
        {2, 1, 0, 0, 20000, 21500, 19300, 34, 0, 34000, -1, -1, 10000},
        // CENTER: half the virtual offsets plus the master's teach less the slave's.
        {3, 0, 0, 0, 16000, 17500, 15300, 30, 0, 34000, 10000, 24000, 10000},
        {3, 0, 1, 1024, 16000, 33000, -1000, 30, 0, 34000, 10000, 24000, 10000},
        // DIFF: the master's virtual offset alone, the set-point as nominal value in both modes.
        {4, 0, 0, 0, 20000, 21500, 19300, 34, 0, 34000, 10000, 24000, 3000},
        {5, 1, 0, 0, 20000, 21500, 19300, 34, 0, 34000, 10000, 24000, 3000},
        {5, 0, 1, 1024, 20000, 37000, 3000, 34, 0, 34000, 10000, 24000, 3000},
        // Hardware tolerance in 1/2048 of the range: 34000 * 1000 / 2048 = 16601.56 um, truncated.
        {4, 0, 1, 1000, 20000, 36601, 3399, 34, 0, 34000, 10000, 24000, 3000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.mode << c.measurementMode << c.hardwareMode);
        para.ge.measurementMode = c.measurementMode;
        para.ge.hardwareMode = c.hardwareMode;
        raw.hwTolerance = c.hwTolerance;
        umRangeA = umRangeB = -1;
        DeriveSettings(c.mode);
        EXPECT_EQ(DeriveThresholds(c.mode), c.hardwareMode == 1 ? 1 : 0);
        EXPECT_EQ(std::vector<int>({umTeach, umupTHD, umloTHD, YAXISMAX, YAXISMIN, umRange,
                                    umRangeA, umRangeB, umVIRTOFFS}),
                  std::vector<int>({c.umTeach, c.up, c.lo, c.yMax, c.yMin, c.range, c.rangeA,
                                    c.rangeB, c.virtOffset}));
    }
    // On its own in a display cycle, DIFF takes the thresholds from the nominal value as it
    // stands and only then, in set-point mode, puts the set-point in its place for the axis.
    para.ge.hardwareMode = 0;
    for (uint16_t setpoint : {1, 0}) {
        para.ge.measurementMode = setpoint;
        umTeach = 30000;
        DeriveThresholds(4);
        EXPECT_EQ(std::vector<int>({umupTHD, umloTHD, umTeach, YAXISMAX}),
                  std::vector<int>({31500, 29300, setpoint ? 20000 : 30000, setpoint ? 34 : 44}));
    }
}

TEST_F(Core, FlashAddressesAndTexts) {
    connect({"--error-at", "7=0", "--error-at", "8=0"}, true);  // over the serial line
    const uint16_t words[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(ClearXFLASHpage(0x1234), -1);
    EXPECT_EQ(ClearXFLASHpage(0x2000) + ClearXFLASHpage(0x0F00), -2);
    EXPECT_EQ(WriteXFLASH(0x0FFF, words, 16), -2);
    EXPECT_EQ(WriteXFLASHSLAVE(0x2000, words, 16), -2);
    EXPECT_TRUE(wire.requests.empty());
    EXPECT_EQ(ClearXFLASHpage(0x1F00), 0) << "the last page";
    EXPECT_EQ(WriteXFLASH(0x1FFF, words, 2), 1) << "the last word";
    ASSERT_EQ(WriteXFLASH(0x1A80, words, 16), 1);  // into the second half of an unused page
    uint16_t page[256];
    wire.clear();
    EXPECT_EQ(ReadXFLASH(0x1A00, page, 512), 1);
    // A word count goes out in one byte, and 0 is none: a page is read in two halves.
    ASSERT_EQ(wire.requests.size(), 2u);
    for (int half : {0, 1}) {
        ASSERT_EQ(wire.requests[half].size(), 10u);
        EXPECT_EQ(wordAt(wire.requests[half], 2), 0x1A00 + 128 * half);
        EXPECT_EQ(wordAt(wire.requests[half], 8), 128);
    }
    EXPECT_EQ(page[0], 0xFFFF);
    EXPECT_TRUE(std::equal(words, words + 8, page + 128)) << "the second half in its place";
    uint8_t header[32];
    EXPECT_EQ(ReadCalibDataFromXF(header, 2, 32), 1);
    EXPECT_STREQ(szStatus, "Read XFLASH-ADDR: 0x1100 ... Bytes OK: 32");
    EXPECT_EQ(std::tuple(ClearXFLASHpage(0x1300), ReadXFLASH(0x1A00, page, 2)), std::tuple(-1, 0));
}

// A table lands word by word at its pages of its flash, everything else in both flashes as it
// was: the sensor's header says "no table" from before the first erase until its own header comes
// back after the last block. Each step failing in turn (the simulator refuses the write's Nth
// request) stops the write there: before the mark nothing is touched and nothing recorded; after
// it the table is reported incomplete at the next identification, with the record or, from the
// sensor itself, without. A MASTER table that reads back different or not at all is told so.
TEST_F(Core, TableWrites) {
    const QStringList twoLine = {"--master-type", "611632",      "--slave-type",
                                 "611632",        "--line-type", "306159"};
    const char *const master = "MASTER calibration table incomplete: write it again!";
    const char *const slave = "SLAVE calibration table incomplete: write it again!";
    const struct {
        bool combined;       // the two-line hardware, both tables in the MASTER's flash
        const char *faults;  // of the simulator during the write; "record": no record possible
        int sensor, result;
        size_t requests;  // of the write, the last one failed unless the write ended
        int lastOrder, lastAddress;
        bool headerBack;      // the sensor's own header went out again after the table
        const char *warning;  // of the next identifications, here and elsewhere; nullptr: none
        const char *status;
    } cases[] = {
        {false, "", 1, TABLE_VERIFIED, 35, ORD_XF_READ, 0x1980, true, nullptr,
         "MASTER table written and verified -> Ok!"},
        {true, "", 1, TABLE_VERIFIED, 19, ORD_XF_READ, 0x1580, true, nullptr,
         "MASTER table written and verified -> Ok!"},
        {true, "", 2, TABLE_VERIFIED, 19, ORD_XF_READ, 0x1980, true, nullptr,
         "SLAVE table written and verified -> Ok!"},
        {false, "", 2, TABLE_UNVERIFIED, 267, ORD_CALIB_WRITE, 2, true, nullptr,
         "SLAVE table written, unverified (no read-back) -> Ok!"},
        {false, "--error-at 1=0", 1, TABLE_FAILED, 1, ORD_CALIB_READ, 1, false, nullptr,
         "MASTER table not written: cannot read its header!"},
        {false, "record", 2, TABLE_FAILED, 1, ORD_CALIB_READ, 2, false, nullptr,
         "SLAVE table not written: cannot record the write!"},
        {false, "--error-at 2=0", 2, TABLE_FAILED, 2, ORD_CALIB_WRITE, 2, false, nullptr,
         "SLAVE table not written: cannot mark its header!"},
        {false, "--error-at 3=0", 2, TABLE_FAILED, 3, ORD_XF_ERASE_SLAVE, 0x1200, false, slave,
         "SLAVE table erase 1 of 8 failed at 0x1200: table incomplete!"},
        {false, "--error-at 11=0", 2, TABLE_FAILED, 11, ORD_XF_WRITE_SLAVE, 0x1200, false, slave,
         "SLAVE table block 1 of 256 failed at 0x1200: table incomplete!"},
        {false, "--error-at 10=0", 1, TABLE_FAILED, 10, ORD_XF_ERASE, 0x1900, false, master,
         "MASTER table erase 8 of 8 failed at 0x1900: table incomplete!"},
        {false, "--error-at 18=0", 1, TABLE_FAILED, 18, ORD_XF_WRITE, 0x1900, false, master,
         "MASTER table page 8 of 8 failed at 0x1900: table incomplete!"},
        {false, "--error-at 19=0", 1, TABLE_FAILED, 19, ORD_CALIB_WRITE, 1, true, master,
         "MASTER table header 1 of 1 failed at 0x1100: table incomplete!"},
        {false, "--corrupt-flash-page 9", 1, TABLE_DIFFERS, 34, ORD_XF_READ, 0x1900, true, nullptr,
         "MASTER table read-back differs at 0x1900: table corrupt!"},
        // Written in full: unverified, not failed.
        {false, "--error-at 35=0", 1, TABLE_UNVERIFIED, 35, ORD_XF_READ, 0x1980, true, nullptr,
         "MASTER table written, unverified (read-back failed at 0x1980)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.status);
        const QStringList hardware = c.combined ? twoLine : QStringList{};
        connect(hardware);
        writeOwnHeaders();
        ASSERT_EQ(IdentifyPair(nullptr).verdict, Identified::Accepted);
        disconnect();  // the same pair again, with the faults of the row
        const bool blocked = QString(c.faults) == "record";
        ASSERT_TRUE(sim.start(
            QStringList{"--state", statePath()} + hardware +
            (blocked ? QStringList{} : QString(c.faults).split(' ', Qt::SkipEmptyParts))));
        ASSERT_TRUE(sim.openTcp());
        if (blocked) writeFile(home.records(), "in the way of the records' folder");
        // The audit log beside that folder, so that only the records are in the way.
        SetAuditLog(blocked ? home.records() + "-audit.jsonl" : QString(), true);
        wire.clear();
        EXPECT_EQ(WriteCalibTable(c.sensor, valuesOf(c.sensor).data(), nullptr), c.result);
        SetAuditLog({}, true);
        EXPECT_STREQ(szStatus, c.status);
        ASSERT_EQ(wire.requests.size(), c.requests) << "nothing after the failed step";
        EXPECT_EQ(wire.requests.back()[1], c.lastOrder);
        EXPECT_EQ(wordAt(wire.requests.back(), 2), c.lastAddress);
        // The mark just before the first erase; the sensor's own header back after the last block.
        CalibHeader mark = ownHeaders[c.sensor - 1];
        mark.tableLength = 0;
        if (c.requests >= 3) {
            EXPECT_EQ(Bytes(wire.requests[1].begin() + FRAME_HEADER_SIZE, wire.requests[1].end()),
                      bytesOf(mark));
            const bool slaveFlash = c.sensor == 2 && !c.combined;
            EXPECT_EQ(wire.requests[2][1], slaveFlash ? ORD_XF_ERASE_SLAVE : ORD_XF_ERASE);
            EXPECT_EQ(wire.dataOf(ORD_CALIB_WRITE),
                      bytesOf(c.headerBack ? ownHeaders[c.sensor - 1] : mark));
        }
        EXPECT_EQ(QDir(home.records()).entryList({"table-write-*"}).isEmpty(),
                  c.warning == nullptr);
        IdentifyPair(nullptr);
        EXPECT_STREQ(szStatus, c.warning ? c.warning : szVersion);
        QDir(home.records()).removeRecursively();
        QFile::remove(home.records());
        IdentifyPair(nullptr);  // as elsewhere: the sensor's header itself tells
        EXPECT_STREQ(szStatus, c.warning ? c.warning : szVersion);
        disconnect();
        const bool written = c.result == TABLE_VERIFIED || c.result == TABLE_UNVERIFIED;
        EXPECT_TRUE(!written || tableInPlace(c.combined, c.sensor, statePath(), true));
    }
}

// A header becomes the sensor's `calib` record only once the sensor took it.
TEST_F(Core, HeaderWritesKeepWhatTheSensorRefused) {
    for (const bool refused : {false, true}) {
        connect(refused ? QStringList{"--error-at", "1=0"} : QStringList{});
        calib[1] = ownHeaders[0];
        EXPECT_EQ(WriteCalibHeader(2, ownHeaders[1]), refused ? -1 : 1);
        EXPECT_EQ(wire.dataOf(ORD_CALIB_WRITE), bytesOf(ownHeaders[1]));
        CalibHeader inFlash;
        ASSERT_EQ(ReadCalibDataFromXF(&inFlash, 2, sizeof inFlash), 1);
        EXPECT_EQ(bytesOf(inFlash) == bytesOf(ownHeaders[1]), !refused);
        EXPECT_EQ(bytesOf(calib[1]), bytesOf(ownHeaders[refused ? 0 : 1]));
    }
}

// Polled over TCP, or from trigger records over TCP and the serial line, the file holds its header
// and one line per record sent. Junk comes before every trigger record and every third carries
// damaged data: only undamaged records become samples, and the dropped ones are counted.
TEST_F(Core, RecordingsHoldTheRecordsTheSensorSent) {
    std::tie(calib[0].offset, calib[0].range, calib[1].offset, calib[1].range) =
        std::tuple(50000, 10000, 61000, 12500);
    para.ge.measurementMode = 1;
    std::snprintf(rec_fname, sizeof rec_fname, "%s", qPrintable(dir.filePath("RECORD.DAT")));
    const QStringList triggerOptions = {
        "--trigger-hz", "40", "--trigger-junk", "--corrupt-trigger-every", "3", "--verbose"};
    const std::pair<bool, bool> cases[] = {{false, false}, {true, false}, {true, true}};
    for (const auto &[trigger, serial] : cases) {
        SCOPED_TRACE(std::string(trigger ? "trigger" : "polled") + (serial ? " pty" : " tcp"));
        connect(trigger ? triggerOptions : QStringList{}, serial, trigger);
        para.ge.rs232OutMode = trigger;  // the sensor sends trigger records
        ASSERT_EQ(PushSEND(RAM, 0), 1);
        wire.clear();
        QFile::remove(rec_fname);
        const double increment = trigger ? 0 : 0.2;
        ASSERT_EQ(writeFileHeader(trigger, increment, 6), 1);
        const RecordOutcome outcome = RunRecording({rec_fname, increment, 6, trigger}, {});
        EXPECT_EQ(outcome.end, RecordEnd::Completed);
        EXPECT_EQ(stop_flag, STOP_COMPLETED);
        const QList<QByteArray> lines = fileLines(rec_fname);
        const int header = trigger ? 9 : 10;  // a trigger recording has no sample count
        ASSERT_EQ(lines.size(), header + 6);
        EXPECT_EQ(lines[2], trigger ? "Time-Increment[s]:\t0\r" : "Time-Increment[s]:\t0.2\r");
        // The six lines are six consecutive records of those the sensor sent.
        const std::vector<RawRecord> sent =
            trigger ? triggerRecordsIn(sim.log(), serial ? "pty" : "tcp") : wire.records();
        size_t at = 0;
        while (at < sent.size() && columns(sent[at]) != columnsOfLine(lines[header])) ++at;
        ASSERT_LE(at + 6, sent.size()) << "first sample not among the records sent";
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(columnsOfLine(lines[header + i]), columns(sent[at + i])) << "sample " << i;
        // Six good records hold two or three damaged ones between them, and one may come before;
        // two short ones come in front of each (the first one's may be cut off at the start).
        EXPECT_EQ(outcome.dropped >= 16 && outcome.dropped <= 24, trigger) << outcome.dropped;
        disconnect();
    }
    // Closing the program ends a recording as stopped: after a sample, and inside an exchange.
    connect();
    for (const bool inExchange : {false, true}) {
        wire.clear();
        wire.during = [inExchange](bool request, int order, int n) {
            if (order == ORD_RAW && n == 2 && request == inExchange) exit_flag = 1;
        };
        QFile::remove(rec_fname);
        ASSERT_EQ(writeFileHeader(0, 0.05, 6), 1);
        EXPECT_EQ(RunRecording({rec_fname, 0.05, 6, false}, {}).end, RecordEnd::Stopped);
        EXPECT_EQ(std::tuple(stop_flag, fileLines(rec_fname).size()),
                  std::tuple(STOP_IDLE, 10 + (inExchange ? 1 : 2)));
        exit_flag = 0;
    }
    char told[STATUS_SIZE];
    WithDroppedCount(told, "Data-Recorder:", 1);
    EXPECT_STREQ(told, "Data-Recorder: 1 damaged record dropped");
}

// The audit log names the first line where its chain breaks: a removed line where it was, an
// edited line itself, an inserted copy of a line where it stands. A line a write cut short is no
// part of the chain, and the next entry takes its place.
TEST(AuditLog, TamperingIsFoundAtItsLine) {
    QTemporaryDir dir;
    const QString path = dir.filePath("audit.jsonl");
    for (int n = 1; n <= 5; ++n)
        ASSERT_EQ(AppendAuditLine(path, {{"time", AuditTimeNow()}, {"n", n}}), "");
    const QList<QByteArray> lines = fileLines(path);
    const auto changed = [&](const std::function<void(QList<QByteArray> &)> &change) {
        QList<QByteArray> l = lines;
        change(l);
        return l.join('\n') + '\n';
    };
    const std::tuple<const char *, QByteArray, qint64> cases[] = {
        {"intact", changed([](auto &) {}), 0},
        {"line 3 removed", changed([](auto &l) { l.removeAt(2); }), 3},
        {"line 1 removed", changed([](auto &l) { l.removeFirst(); }), 1},
        {"line 2 edited", changed([](auto &l) { l[1].replace("\"n\":2", "\"n\":7"); }), 2},
        {"line 2 copied before line 4", changed([&](auto &l) { l.insert(3, lines[1]); }), 4},
        {"a line of another kind before line 3",
         changed([](auto &l) { l.insert(2, R"({"time":"now","n":9})"); }), 3},
        {"a line cut short at the end", changed([](auto &) {}) + lines[0].left(40), 0},
    };
    for (const auto &[name, bytes, broken] : cases) {
        writeFile(path, bytes);
        const AuditCheck check = VerifyAuditLog(path);
        EXPECT_EQ(check.broken, broken) << name << ": " << check.why.toStdString();
        EXPECT_EQ(check.cutShort, !bytes.endsWith('\n')) << name;
    }
    EXPECT_EQ(VerifyAuditLog(path).lastHash, LastAuditHash(path));
    ASSERT_EQ(AppendAuditLine(path, {{"time", AuditTimeNow()}}), "");
    const AuditCheck after = VerifyAuditLog(path);
    EXPECT_EQ(std::tuple(after.lines, after.broken, after.cutShort), std::tuple(6, 0, false));
    const QByteArray intact = fileBytes(path);
    for (const qint64 room : {qint64(10), qint64(0)}) {  // a line the disk took part of, or none
        const FileSizeLimit diskFull(intact.size() + room);
        EXPECT_EQ(AppendAuditLine(path, {{"time", AuditTimeNow()}}),
                  room ? "the disk took only part of it" : "File too large");
        EXPECT_EQ(fileBytes(path), intact) << "taken back";
    }
    EXPECT_FALSE(VerifyAuditLog(dir.filePath("none.jsonl")).error.isEmpty());
}

// Every change to the sensor is in the audit log before its outcome is shown: one line with what
// changed (old and new values), the pair, the surface and the outcome. A log that cannot be
// written stops each change before a frame reaches the wire; a log switched off records nothing,
// as the status text says.
TEST_F(Core, EveryChangeIsInTheAuditLogBeforeItsOutcomeOrNotSentAtAll) {
    connect({"--master-type", "610409", "--slave-type", "610412"});
    ASSERT_EQ(IdentifyPair(nullptr).verdict, Identified::Accepted);
    static QString log;
    static qsizetype linesWhenShown;
    log = dir.filePath("audit.jsonl");
    SetLinkView({[](unsigned, const char *) { linesWhenShown = fileLines(log).size(); }});
    writeFile(dir.filePath("file"), "a file where the log's folder would be");
    const QString calibFile =
        writeCalibFile(dir.filePath("master.dat"), 610409, 12000, 40000, valuesOf(1));
    ASSERT_EQ(ReadCalibrationFile(qPrintable(calibFile), linArrayA, calibToWrite[0]), 1);
    const ParaBlock identified = para;
    const std::pair<const char *, std::function<bool()>> changes[] = {
        {"send", [] { return SendParaSets(RAM, 0) == 1; }},
        {"teach", [] { return PushTEACH() == 0; }},
        {"reset", [] { return PushRESET() == 0; }},
        {"video-threshold", [] { return WriteVideoDataToEE_B(77) == 0; }},
        {"linearisation", [] { return SwitchLinearisation(1) == 1; }},
        {"calib-header", [] { return WriteCalibHeader(1, calibToWrite[0]) == 1; }},
        {"calib-table", [] { return WriteCalibTable(1, linArrayA, nullptr) == TABLE_VERIFIED; }},
        {"baud-rate", [] { return PushBAUDRATE(4, 2) == 1; }},
    };
    for (const auto &[action, change] : changes) {
        SCOPED_TRACE(action);
        SetAuditLog(dir.filePath("file/audit.jsonl"), true);
        wire.clear();
        EXPECT_FALSE(change());
        EXPECT_TRUE(wire.requests.empty()) << "nothing reaches the sensor";
        EXPECT_TRUE(std::string(szStatus).starts_with("Not sent: the audit log ")) << szStatus;
        SetAuditLog(log, true);
        std::tie(para.ma.power, para.ge.umSetpoint) = std::tuple(321, 12345);
        EXPECT_TRUE(change());
        // (The baud-rate order leaves its texts to the connection dialog.)
        if (action != std::string("baud-rate")) {
            EXPECT_EQ(linesWhenShown, fileLines(log).size()) << "shown before it was recorded";
        }
        const QJsonObject line = QJsonDocument::fromJson(fileLines(log).last()).object();
        EXPECT_EQ(
            std::tuple(line["action"].toString(), line["outcome"].toString(),
                       line["surface"].toString(), line["status"].toString()),
            std::tuple(QString(action), QString("done"), QString("desktop"), QString(szStatus)));
        EXPECT_EQ(line["device"]["serialNumber"].toInt(), 1001);
        EXPECT_EQ(line["device"]["slave"]["modelCode"].toInt(), 610412);
    }
    const QList<QByteArray> lines = fileLines(log);
    // The table write marks the header as without a table and restores it: lines 6 and 7.
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(VerifyAuditLog(log).broken, 0);
    const auto object = [&](int n) -> const QJsonObject {
        return QJsonDocument::fromJson(lines[n]).object();
    };
    const auto change = [](const char *set, const char *field, QJsonValue old, QJsonValue now) {
        return QJsonObject{{"set", set}, {"field", field}, {"old", old}, {"new", now}};
    };
    EXPECT_EQ(object(0)["changes"].toArray(),
              QJsonArray({change("general", "setpointUm", identified.ge.umSetpoint, 12345),
                          change("master", "power", identified.ma.power, 321)}));
    EXPECT_EQ(object(1)["changes"].toArray()[3].toObject(),
              change("slave", "teachValueUm", identified.sl.umTeachValue, teach.umB));
    EXPECT_EQ(object(5)["old"]["rangeUm"].toInt(), 10000);
    EXPECT_EQ(object(5)["new"]["rangeUm"].toInt(), 12000);
    EXPECT_EQ(std::tuple(object(6)["new"]["tableLength"].toInt(),
                         object(7)["new"]["tableLength"].toInt()),
              std::tuple(0, 2048));
    EXPECT_EQ(std::tuple(object(8)["file"].toString(), object(8)["sha256"].toString(),
                         object(8)["result"].toString()),
              std::tuple(calibFile, QString(tableSha256(1)), QString("verified")));
    EXPECT_EQ(object(9)["newBaud"].toInt(), 38400);
    tsd_flag = 1;
    EXPECT_EQ(PushRESET(), 0);
    EXPECT_EQ(QJsonDocument::fromJson(fileLines(log).last()).object()["surface"], "touch");
    SetAuditLog(log, false);
    EXPECT_EQ(PushRESET(), 0);
    EXPECT_STREQ(szStatus, "RESET analog/digital output ... -> Ok! [audit log off]");
    EXPECT_EQ(fileLines(log).size(), 11);
    SetAuditLog({}, true);
}

}  // namespace
