// Device work through the core alone, against the simulator and without panels: identification,
// GET and SEND, calibration tables in the sensors' flash and the recorder loop. What the panels
// make of the outcomes is tested in the panel suites.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "calib/calibfile.h"
#include "calib/calibtransfer.h"
#include "calib/identification.h"
#include "data_home.h"
#include "link/commands.h"
#include "link/frame.h"
#include "link/identify.h"
#include "link/status.h"
#include "link/transport.h"
#include "link/xflash.h"
#include "measure/recorder.h"
#include "params/paramblock.h"
#include "params/teach.h"
#include "params/transfer.h"
#include "platform/timing.h"
#include "recfile_bytes.h"
#include "scripted_peer.h"
#include "shared/files.h"
#include "shared/state.h"
#include "sim_flash.h"
#include "sim_process.h"

namespace {

std::vector<std::vector<uint8_t>> sentFrames;  // every request, as bytes
std::vector<RawRecord> replies;                // measurement records as they came off the wire

void tap(bool request, const uint8_t *bytes, int count) {
    if (request) {
        sentFrames.emplace_back(bytes, bytes + count);
    } else if (count == FRAME_HEADER_SIZE + int(sizeof(RawRecord)) && bytes[1] == ORD_RAW) {
        RawRecord r;
        std::memcpy(&r, bytes + FRAME_HEADER_SIZE, sizeof r);
        replies.push_back(r);
    }
}

int countOf(int order) {
    int n = 0;
    for (const auto &f : sentFrames) n += f[1] == order;
    return n;
}

const QStringList kCombinedOptions = {"--master-type", "611632",      "--slave-type",
                                      "611632",        "--line-type", "306159"};

class Core : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetSharedState();
        ResetParaBlock();
        ResetCalibration();
        ResetHwInfo();
        sentFrames.clear();
        replies.clear();
        SetFrameTap(tap);
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
        QFile::remove(statePath());
        ASSERT_TRUE(sim.start(QStringList{"--state", statePath()} + options, keepLog));
        ASSERT_TRUE(serial ? sim.openSerial(7) : sim.openTcp());
        sentFrames.clear();
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

// ---- Identification -------------------------------------------------------------------------

TEST_F(Core, FirmwareNumbersAndDeviceSeries) {
    constexpr Identified kOk = Identified::Accepted, kOther = Identified::OtherSeries,
                         kRefused = Identified::FirmwareOutOfRange;
    struct Case {
        QStringList options;
        Identified verdict;
        int hwok;
        const char *status;  // nullptr: the version text
    } cases[] = {
        {{"--fw-version", "399"}, kRefused, 1, "Please use K-TAV-PX-MS-Vista V.3.xx !"},
        {{"--fw-version", "409"}, kRefused, 1, "Please use K-TAV-PX-MS-Vista V.4.0x !"},
        {{"--fw-version", "410"}, kOk, 1, nullptr},
        {{"--fw-version", "429"}, kOk, 1, nullptr},
        {{"--fw-version", "430"},
         kRefused,
         1,
         "Please use K-TAV-PX-MS-Vista software newer than V4.2 !"},
        {{"--fw-text", "K-TAV-QD.V1.10 2014 QD"},
         kOther,
         0,
         "Please use K-TAV-QD-Vista software!\n"},
        {{"--fw-text", "K-TAV-WN.V2.00 2014 WN"},
         kOther,
         0,
         "Please use K-TAV-WN-Vista software!\n"},
        {{"--fw-text", "CHROMIX.V1.0 2013 CX"},
         kOther,
         0,
         "Please use CHROMIX-Vista software version!\n"},
        {{"--fw-text", "OTHER-DEVICE.V1.0 2013"}, kOther, 0, "OTHER-DEVICE.V1   2013"},
        {{"--fw-text", "K-TAV-PX-MA V4 2015"}, kOk, 1, "K-TAV-PX-MA V4 2015.   "},
        {{"--fw-text", "K-TAV-PX-2X.V4.20 2016 X"}, kOk, 1, "K-TAV-PX-2X.V4   2016"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        connect(c.options);
        const Identification identification = IdentifyPair(nullptr);
        EXPECT_EQ(identification.verdict, c.verdict);
        EXPECT_EQ(DeviceAccepted(), c.verdict == kOk ? 1 : 0);
        EXPECT_EQ(FirmwareRefused(), c.verdict == kRefused ? 1 : 0);
        EXPECT_EQ(hwok_flag, c.hwok);
        EXPECT_STREQ(szStatus, c.status ? c.status : szVersion);
        disconnect();
    }

    ScriptedPeer silent;  // answers nothing
    EXPECT_EQ(IdentifyPair(nullptr).verdict, Identified::NoLine);
    EXPECT_EQ(DeviceAccepted(), 0);
}

// The two sides differ in model, calibration header and parameter set: each lands on its own
// side of `hwinfo`, `calib` and `para`.
TEST_F(Core, IdentificationKeepsEachSideApart) {
    connect({"--master-type", "610407", "--slave-type", "611589"});
    CalibHeader headers[2]{};
    headers[0] = {610407, 1, 0, 2048, {}, 3000, 10000, 50000};
    headers[1] = {611589, 2, -1, 1024, {}, 7000, 24000, 30000};
    ParaBlock held = para;
    held.ma.power = 321;
    held.sl.power = 654;
    held.ma.umTeachValue = 52000;
    held.sl.umTeachValue = 41000;
    held.ma.evalBegin = 11;
    held.sl.evalBegin = 22;
    held.ma.reserved[0] = 0xA1;
    held.sl.reserved[0] = 0xB2;
    para = held;
    for (int sensor = 1; sensor <= 2; ++sensor)
        ASSERT_EQ(WriteCalibDataToXF(&headers[sensor - 1], sensor, sizeof(CalibHeader)), 1);
    for (uint16_t page = 0; page < PARA_PAGES; ++page) ASSERT_EQ(PushSEND(RAM, page), 1);
    std::memset(&para, 0x5A, sizeof para);
    std::memset(calib, 0x5A, sizeof calib);

    const Identification identification = IdentifyPair(nullptr);
    ASSERT_EQ(identification.verdict, Identified::Accepted);
    EXPECT_EQ(identification.headersRead, 3u);
    EXPECT_EQ(identification.paraReceived, 1);
    EXPECT_STREQ(szVersion, "K-TAV-PX-MA.V4   2015-10-05");
    EXPECT_STREQ(szStatus, szVersion);
    EXPECT_EQ(hwinfo.mastertype, 610407);
    EXPECT_EQ(hwinfo.slavetype, 611589);
    EXPECT_STREQ(szHwLine[0], "LINE-SENSOR: ---  8192 subpixel");
    EXPECT_STREQ(szHwLine[1], "MASTER: PX-M2");
    EXPECT_STREQ(szHwLine[2], "SLAVE: PX-M3");
    CheckParaRanges(held, hwinfo.pixelCount);
    EXPECT_EQ(std::memcmp(&para.ma, &held.ma, sizeof para.ma), 0);
    EXPECT_EQ(std::memcmp(&para.sl, &held.sl, sizeof para.sl), 0);
    EXPECT_EQ(std::memcmp(&para.ge, &held.ge, sizeof para.ge), 0);
    EXPECT_EQ(std::memcmp(&calib[0], &headers[0], sizeof(CalibHeader)), 0);
    EXPECT_EQ(std::memcmp(&calib[1], &headers[1], sizeof(CalibHeader)), 0);
    EXPECT_EQ(HWTYPE, 20);
    EXPECT_EQ(YPRECISION, 3);
    EXPECT_EQ(MAX_ITIME, 50.0);
}

TEST_F(Core, FirmwareTextIsKeptInsideItsBuffer) {
    // 72 bytes without terminator, with control bytes; the short text grows past 72 characters.
    const std::string firmware = "K-TAV-PX-MA" + std::string(56, 'X') + ".V4\x01\x07";
    ASSERT_EQ(firmware.size(), 72u);
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

// ---- Parameter transfer ---------------------------------------------------------------------

// SEND puts one set into one frame of its target's order; the file target exchanges nothing and
// range-checks the block once set 2 is in. GET into each side is shown by the identification.
TEST_F(Core, SendAndGetFrames) {
    connect();
    para.ma.power = 321;
    para.sl.power = 654;
    EXPECT_EQ(PushSEND(EEPROM, 1), 1);
    ASSERT_EQ(sentFrames.size(), 1u);
    ASSERT_EQ(sentFrames[0].size(), 40u);
    EXPECT_EQ(std::vector<uint8_t>(sentFrames[0].begin(), sentFrames[0].begin() + 4),
              (std::vector<uint8_t>{0x55, ORD_SEND_EEPROM, 1, 0}));
    EXPECT_EQ(std::memcmp(sentFrames[0].data() + 8, &para.ma, 32), 0);
    EXPECT_STREQ(szStatus, "Transmission successful MA - Line Ok!");

    EXPECT_EQ(PushSEND(DATFILE, 2), 1);  // a deferred SEND whose target became the file
    ASSERT_EQ(sentFrames.size(), 2u);
    EXPECT_EQ(sentFrames[1][1], ORD_SEND_RAM);
    EXPECT_EQ(std::memcmp(sentFrames[1].data() + 8, &para.sl, 32), 0);

    EXPECT_EQ(PushGET(RAM, 0), 1);
    EXPECT_STREQ(szStatus, "Parameter-frame received! GE - Line Ok!");

    sentFrames.clear();
    para.sl.power = 4000;  // beyond its limit
    EXPECT_EQ(PushGET(DATFILE, 0), 1);
    EXPECT_EQ(para.sl.power, 4000);
    EXPECT_EQ(PushGET(DATFILE, 2), 1);
    EXPECT_EQ(para.sl.power, 500);
    EXPECT_TRUE(sentFrames.empty());
}

// ---- External flash -------------------------------------------------------------------------

TEST_F(Core, FlashAddressesAndTexts) {
    connect({"--error-reply", "100=25"});  // the SLAVE refuses every erase
    const uint16_t words[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(ClearXFLASHpage(0x1234), -1);
    EXPECT_EQ(ClearXFLASHpage(0x2000), -1);
    EXPECT_EQ(WriteXFLASH(0x0FFF, words, 16), -2);
    EXPECT_EQ(WriteXFLASH(0x2000, words, 16), -2);
    EXPECT_EQ(WriteXFLASHSLAVE(0x2000, words, 16), -2);
    EXPECT_TRUE(sentFrames.empty());

    EXPECT_EQ(WriteXFLASH(0x1200, words, 16), 1);
    EXPECT_STREQ(szStatus, "Write XFLASH OK Addr=0x1200");
    EXPECT_EQ(ClearXFLASHpage(0x1F00), 0) << "the last page";
    EXPECT_EQ(WriteXFLASH(0x1FFF, words, 2), 1) << "the last word";
    EXPECT_EQ(ClearXFLASHpageSLAVE(0x1F00), -1) << "a refused erase is no erase";

    ASSERT_EQ(WriteXFLASH(0x1A80, words, 16), 1);  // into the second half of an unused page
    uint16_t page[256];
    sentFrames.clear();
    EXPECT_EQ(ReadXFLASH(0x1A00, page, 512), 1);
    // A word count goes out in one byte, and 0 is none: a page is read in two halves.
    ASSERT_EQ(sentFrames.size(), 2u);
    for (int half : {0, 1}) {
        ASSERT_EQ(sentFrames[half].size(), 10u);
        EXPECT_EQ(sentFrames[half][2] | sentFrames[half][3] << 8, 0x1A00 + 128 * half);
        EXPECT_EQ(sentFrames[half][8] | sentFrames[half][9] << 8, 128);
    }
    EXPECT_EQ(page[0], 0xFFFF);
    EXPECT_TRUE(std::equal(words, words + 8, page + 128)) << "the second half in its place";

    uint8_t header[32];
    EXPECT_EQ(ReadCalibDataFromXF(header, 2, 32), 1);
    EXPECT_STREQ(szStatus, "Read XFLASH-ADDR: 0x1100 ... Bytes OK: 32");
}

// ---- Replies too short for their record ---------------------------------------------------

// A reply with fewer data bytes than the record its command copies leaves the record as it was
// and fails with the command's own failure text.
TEST_F(Core, ShortRepliesAreNeverCopiedIntoTheirRecord) {
    ScriptedPeer peer;
    const uint8_t junk[24] = {0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5};
    uint8_t header[32], pristineHeader[32];
    std::memset(header, 0x11, sizeof header);
    std::memcpy(pristineHeader, header, sizeof header);
    uint16_t flash[256] = {}, pristineFlash[256] = {};
    std::memset(&raw, 0x22, sizeof raw);
    std::memset(adbuf, 0x33, sizeof adbuf);
    teach = {100, 200, 30000, 40000};
    const RawRecord rawBefore = raw;
    const TeachRecord teachBefore = teach;
    uint16_t adbufBefore[256];
    std::memcpy(adbufBefore, adbuf, sizeof adbuf);
    const HwInfo hwBefore = hwinfo;
    struct Case {
        const char *what;
        uint8_t order;
        uint16_t param;
        std::function<int()> command;
        int failure;
        const char *status;
    } cases[] = {
        {"GetRAW", ORD_RAW, 0, [] { return GetRAW(); }, -1, "TCP-Server-error!"},
        {"GetDATA", ORD_VIDEO, 0, [] { return GetDATA(0); }, -1, "TCP-Server-error!"},
        {"TEACH", ORD_TEACH, 0, [] { return PushTEACH(); }, -1,
         "Teach-Error:Timeout TCP-Server-error!"},
        {"hardware record", ORD_HWINFO, 0, [] { return GetHARDWAREInfo(); }, 0,
         "Timeout-RS-232..."},
        {"calibration header", ORD_CALIB_READ, 1,
         [&] { return ReadCalibDataFromXF(header, 1, sizeof header); }, -1,
         "CALIB-Read-Error:Timeout TCP-Server-error!"},
        {"flash block", ORD_XF_READ, 0x1200, [&] { return ReadXFLASH(0x1200, flash, 512); }, 0,
         nullptr},
    };
    for (const Case &c : cases) {
        peer.answer(c.order, c.param, junk, c.order == ORD_TEACH ? 8 : sizeof junk);
        EXPECT_EQ(c.command(), c.failure) << c.what;
        if (c.status) {
            EXPECT_STREQ(szStatus, c.status) << c.what;
        }
    }
    EXPECT_EQ(std::memcmp(&raw, &rawBefore, sizeof raw), 0);
    EXPECT_EQ(std::memcmp(adbuf, adbufBefore, sizeof adbuf), 0);
    EXPECT_EQ(std::memcmp(&teach, &teachBefore, sizeof teach), 0);
    EXPECT_EQ(std::memcmp(&hwinfo, &hwBefore, sizeof hwinfo), 0);
    EXPECT_EQ(std::memcmp(header, pristineHeader, sizeof header), 0);
    flash[0] = 0;  // the word count the read puts there before sending
    EXPECT_EQ(std::memcmp(flash, pristineFlash, sizeof flash), 0);
}

// ---- Calibration tables in the flash --------------------------------------------------------

// Each layout's table lands word by word at its pages of its flash; everything else in both
// flashes stays as it was.
TEST_F(Core, TablesLandAtTheirPagesOfTheirFlash) {
    struct Case {
        const char *what;
        bool combined;
        int sensor;
        int flash;  // whose flash holds the table
        int address, count;
        int result;
        const char *status;
    };
    const Case cases[] = {
        {"separate, master", false, 1, 1, 0x1200, 2048, TABLE_VERIFIED,
         "MASTER table written and verified -> Ok!"},
        {"combined, master", true, 1, 1, 0x1200, 1024, TABLE_VERIFIED,
         "MASTER table written and verified -> Ok!"},
        {"combined, slave", true, 2, 1, 0x1600, 1024, TABLE_VERIFIED,
         "SLAVE table written and verified -> Ok!"},
        {"separate, slave", false, 2, 2, 0x1200, 2048, TABLE_UNVERIFIED,
         "SLAVE table written, unverified (no read-back) -> Ok!"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        connect(c.combined ? kCombinedOptions : QStringList{});
        ASSERT_EQ(IdentifyPair(nullptr).verdict, Identified::Accepted);
        EXPECT_EQ(HWTYPE, c.combined ? 22 : 20);
        Flashes expected = flashesOf(Device(configOf(c.combined)));
        const std::vector<uint16_t> &table = c.sensor == 1 ? masterValues : slaveValues;
        place(expected.of(c.flash), c.address, table, c.count);

        EXPECT_EQ(WriteCalibTable(c.sensor, table.data(), nullptr), c.result);
        EXPECT_STREQ(szStatus, c.status);
        EXPECT_EQ(countOf(ORD_CALIB_WRITE), 0);
        EXPECT_TRUE(QDir(home.records()).isEmpty()) << "the record of the write is cleared";
        disconnect();
        const Flashes after = flashesOfState(statePath(), c.combined);
        EXPECT_TRUE(after.master == expected.master);
        EXPECT_TRUE(after.slave == expected.slave);
    }
}

// A failed step stops the write there and leaves the table reported incomplete at the next
// identification; a MASTER table that reads back different or not at all is told so.
TEST_F(Core, FailedOrUnverifiedTableWrites) {
    constexpr const char *kMasterWarning = "MASTER calibration table incomplete: write it again!";
    constexpr const char *kSlaveWarning = "SLAVE calibration table incomplete: write it again!";
    struct Case {
        QStringList options;  // of the simulator: what fails
        int sensor;
        int result;
        const char *status;
        int lastOrder, lastAddress;  // of the last request
        int reads;                   // read-backs of 128 words
        const char *warning;         // of the next identification; nullptr: none
        const char *withoutRecord;   // of an identification elsewhere: the flash itself tells
    };
    const Case cases[] = {
        {{"--fail-flash-page", "4"},
         1,
         TABLE_FAILED,
         "MASTER table page 3 of 8 failed at 0x1400: table incomplete!",
         ORD_XF_WRITE,
         0x1400,
         0,
         kMasterWarning,
         kMasterWarning},
        {{"--fail-flash-page", "3"},
         2,
         TABLE_FAILED,
         "SLAVE table block 33 of 256 failed at 0x1300: table incomplete!",
         ORD_XF_WRITE_SLAVE,
         0x1300,
         0,
         kSlaveWarning,
         nullptr},
        {{"--error-reply", "100=25"},
         2,
         TABLE_FAILED,
         "SLAVE table erase 1 of 8 failed at 0x1200: table incomplete!",
         ORD_XF_ERASE_SLAVE,
         0x1200,
         0,
         kSlaveWarning,
         nullptr},
        {{"--corrupt-flash-page", "5"},
         1,
         TABLE_DIFFERS,
         "MASTER table read-back differs at 0x1500: table corrupt!",
         ORD_XF_READ,
         0x1500,
         7,
         nullptr,
         nullptr},
        // Written in full: unverified, not failed.
        {{"--error-reply", "184=0"},
         1,
         TABLE_UNVERIFIED,
         "MASTER table written, unverified (read-back failed at 0x1200)",
         ORD_XF_READ,
         0x1200,
         1,
         nullptr,
         nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.status);
        connect(c.options);
        ASSERT_EQ(IdentifyPair(nullptr).verdict, Identified::Accepted);
        sentFrames.clear();
        EXPECT_EQ(
            WriteCalibTable(c.sensor, (c.sensor == 1 ? masterValues : slaveValues).data(), nullptr),
            c.result);
        EXPECT_STREQ(szStatus, c.status);
        ASSERT_FALSE(sentFrames.empty());
        EXPECT_EQ(sentFrames.back()[1], c.lastOrder) << "nothing after the failed step";
        EXPECT_EQ(sentFrames.back()[2] | sentFrames.back()[3] << 8, c.lastAddress);
        EXPECT_EQ(countOf(ORD_XF_READ), c.reads);
        EXPECT_EQ(QDir(home.records()).isEmpty(), c.warning == nullptr);

        IdentifyPair(nullptr);
        EXPECT_STREQ(szStatus, c.warning ? c.warning : szVersion);
        QDir(home.records()).removeRecursively();
        IdentifyPair(nullptr);
        EXPECT_STREQ(szStatus, c.withoutRecord ? c.withoutRecord : szVersion);
        disconnect();
    }
}

// ---- The recorder loop ----------------------------------------------------------------------

// A recording polled over TCP, or from the sensor's trigger records over TCP and the serial
// line: the file holds its header and one line per record the sensor sent. Records of other
// orders and broken headers come before every trigger record, and every third trigger record
// carries damaged data: only the undamaged ones become samples, and the dropped ones are counted.
TEST_F(Core, RecordingsHoldTheRecordsTheSensorSent) {
    calib[0].offset = 50000;
    calib[0].range = 10000;
    calib[1].offset = 61000;
    calib[1].range = 12500;
    para.ge.measurementMode = 1;
    std::snprintf(rec_fname, sizeof rec_fname, "%s", qPrintable(dir.filePath("RECORD.DAT")));
    const QStringList triggerOptions = {
        "--trigger-hz", "40", "--trigger-junk", "--corrupt-trigger-every", "3", "--verbose"};
    const struct {
        bool trigger, serial;
        const char *incrementLine;
    } cases[] = {{false, false, "Time-Increment[s]:\t0.2\r"},
                 {true, false, "Time-Increment[s]:\t0\r"},
                 {true, true, "Time-Increment[s]:\t0\r"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.trigger ? "trigger" : "polled") + (c.serial ? " pty" : " tcp"));
        connect(c.trigger ? triggerOptions : QStringList{}, c.serial, c.trigger);
        para.ge.rs232OutMode = c.trigger;  // the sensor sends trigger records
        ASSERT_EQ(PushSEND(RAM, 0), 1);
        replies.clear();
        QFile::remove(rec_fname);
        const double increment = c.trigger ? 0 : 0.2;
        ASSERT_EQ(writeFileHeader(c.trigger, increment, 6), 1);
        const RecordOutcome outcome = RunRecording({rec_fname, increment, 6, c.trigger}, {});
        EXPECT_EQ(outcome.end, RecordEnd::Completed);
        EXPECT_EQ(stop_flag, STOP_COMPLETED);
        QFile file(rec_fname);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = file.readAll().split('\n');
        lines.pop_back();
        const int header = c.trigger ? 9 : 10;  // a trigger recording has no sample count
        ASSERT_EQ(lines.size(), header + 6);
        EXPECT_EQ(lines[2], c.incrementLine);

        // The six lines are six consecutive records of those the sensor sent.
        const std::vector<RawRecord> sent =
            c.trigger ? triggerRecordsIn(sim.log(), c.serial ? "pty" : "tcp") : replies;
        size_t at = 0;
        while (at < sent.size() && columns(sent[at]) != columnsOfLine(lines[header])) ++at;
        ASSERT_LE(at + 6, sent.size()) << "first sample not among the records sent";
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(columnsOfLine(lines[header + i]), columns(sent[at + i])) << "sample " << i;
        // Six good records hold two or three damaged ones between them, and one may come before.
        EXPECT_EQ(outcome.dropped >= 2 && outcome.dropped <= 4, c.trigger) << outcome.dropped;
        disconnect();
    }
}

}  // namespace
