// Calibration on real widgets with the simulator as the sensor pair: the pop-up's file button,
// WRITE of header and table into the sensors' flash (compared word by word with the
// simulator's flash afterwards), READ, the linearisation switch, and the pair set-up controls
// of both surfaces.
#include <gtest/gtest.h>

#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "app/bindings.h"
#include "app/hwselect.h"
#include "app/identify.h"
#include "app/maincontrols.h"
#include "app/shell.h"
#include "calib/calibfile.h"
#include "calib/calibpopup.h"
#include "calib/calibtransfer.h"
#include "calib/pairsetup.h"
#include "data_home.h"
#include "device.h"
#include "ktav_panels.h"
#include "link/frame.h"
#include "link/identify.h"
#include "link/status.h"
#include "link/transport.h"
#include "measure/acquisition.h"
#include "panel_probe.h"
#include "params/derived.h"
#include "params/paramblock.h"
#include "params/transfer.h"
#include "platform/ui/popupscript.h"
#include "platform/ui/runtime.h"
#include "platform/ui/userint.h"
#include "program_fixture.h"
#include "shared/files.h"
#include "shared/panels.h"
#include "shared/state.h"
#include "sim_flash.h"
#include "sim_process.h"

namespace {

struct Frame {
    int order, param;
    std::vector<uint8_t> data;
};

std::vector<Frame> requests;
std::vector<std::string> texts;  // shown on the main panel's status line
std::function<void(int order, int n)> onRequest;
int requestsOf[256];

void tap(bool request, const uint8_t *bytes, int count) {
    if (!request || count < FRAME_HEADER_SIZE) return;
    requests.push_back({bytes[1], bytes[2] | bytes[3] << 8,
                        std::vector<uint8_t>(bytes + FRAME_HEADER_SIZE, bytes + count)});
    const int n = ++requestsOf[bytes[1]];
    if (onRequest) onRequest(bytes[1], n);
    if (n > 2000) stop_flag = STOP_IDLE;  // a loop that was not stopped
}

std::function<void(const std::string &text)> onStatus;

void recordStatus(unsigned fields, const char *text) {
    if (!(fields & ST_PA)) return;
    texts.emplace_back(text);
    if (onStatus) onStatus(texts.back());
}

int countOf(int order) {
    int n = 0;
    for (const Frame &f : requests) n += f.order == order;
    return n;
}

QString writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

// A calibration file with six header lines and 2048 values.
QString writeCalibFile(const QString &path, int32_t type, int32_t range, int32_t offset,
                       const std::vector<uint16_t> &values) {
    QByteArray text = "[HEADER]\nTYPE\t" + QByteArray::number(type) + "\nPARAM1\t3\nRANGE\t" +
                      QByteArray::number(range) + "\nOFFSET\t" + QByteArray::number(offset) +
                      "\nPARAM2\t7\nLENGTH\t2048\n[XFLASH]\n";
    for (uint16_t v : values) text += QByteArray::number(v) + ",\n";
    return writeFile(path, text);
}

class Calib : public ProgramTest {
  protected:
    static void SetUpTestSuite() {
        ProgramTest::SetUpTestSuite();
        PrepareTypeCodeLists();
    }

    void SetUp() override {
        ResetProgramState();
        SetLinkView({recordStatus, nullptr, nullptr});
        SetFrameTap(tap);
        ClearPopupAnswers();
        clearRecords();
        ASSERT_TRUE(dir.isValid());
        std::snprintf(proj_dir, sizeof proj_dir, "%s", dir.path().toUtf8().constData());
        // A close carried out after a table write writes the settings file there.
        std::snprintf(appini_pathname, sizeof appini_pathname, "%s",
                      dir.filePath("PX-MS-Vista.ini").toUtf8().constData());
        DimmCalibElements(0);  // the editing mode shows WRITE and READ
        setSwitch(1);
        SetCtrlVal(pCalib, CALIB_WRHEADER, 0);
        SetCtrlVal(pCalib, CALIB_WRTABLE, 0);
    }
    void TearDown() override {
        SetFrameTap(nullptr);
        ClearPopupAnswers();
        CloseTCP();
        sim.stop();
        DimmCalibElements(1);
        tsd_flag = 0;
    }

    static void clearRecords() {
        requests.clear();
        texts.clear();
        onRequest = nullptr;
        onStatus = nullptr;
        std::memset(requestsOf, 0, sizeof requestsOf);
    }

    QString statePath() const { return dir.filePath("sensor-state.bin"); }

    // Starts the simulator with a state file, connects over TCP and identifies the pair.
    void connect(const QStringList &options = {}) {
        CloseTCP();
        QFile::remove(statePath());
        ASSERT_TRUE(sim.start(QStringList{"--state", statePath()} + options));
        ASSERT_TRUE(sim.openTcp());
        ASSERT_EQ(InitDataExchange(), 1);
        clearRecords();
    }

    // Stops the simulator and reads both flashes from the state it leaves behind.
    Flashes simulatorFlashes(bool combined) {
        CloseTCP();
        sim.stop();
        return flashesOfState(statePath(), combined);
    }

    static void setSwitch(int master) {
        SetCtrlVal(pCalib, CALIB_MASL, master);
        CC_BINSWmasterslave(pCalib, CALIB_MASL, EVENT_COMMIT, nullptr, 0, 0);
    }

    // LOAD FILE... with the file dialog answered by `path`.
    static void loadFile(int master, const QString &path) {
        setSwitch(master);
        QueuePopupAnswer(1, path.toStdString());
        CC_PICBTNSelectCalibFile(pCalib, CALIB_LOADFILE, EVENT_COMMIT, nullptr, 0, 0);
    }

    static void pressWrite(int master, int header, int table) {
        setSwitch(master);
        SetCtrlVal(pCalib, CALIB_WRHEADER, header);
        SetCtrlVal(pCalib, CALIB_WRTABLE, table);
        CC_BTNWriteCalibXF(pCalib, CALIB_WRITE, EVENT_COMMIT, nullptr, 0, 0);
    }

    void loadBothFiles() {
        loadFile(1, writeCalibFile(dir.filePath("master.dat"), 610409, 12000, 40000, masterValues));
        loadFile(0, writeCalibFile(dir.filePath("slave.dat"), 610412, 25000, 60000, slaveValues));
        ASSERT_EQ(calibfile_flagA + calibfile_flagB, 2);
    }

    DataHome home;  // records of unfinished table writes, fresh for every test
    SimProcess sim;
    QTemporaryDir dir;
};

// ---- the file button ----------------------------------------------------------------------

TEST_F(Calib, FileButtonFillsTheSideOfTheSwitchOrSaysNoValidFile) {
    const QString valid =
        writeCalibFile(dir.filePath("valid.dat"), 610409, 12000, 40000, masterValues);
    const QString unknownType =
        writeCalibFile(dir.filePath("unknown.dat"), 123456, 25000, 60000, slaveValues);
    const QString broken =
        writeFile(dir.filePath("broken.dat"), "[HEADER]\nTYPE 610409\n");  // no tab
    const QString outOfRange = writeFile(
        dir.filePath("range.dat"),
        "[HEADER]\nTYPE\t610412\nPARAM1\t4\nRANGE\t25000\nOFFSET\t60000\nPARAM2\t9\nLENGTH\t1024\n"
        "[XFLASH]\n5\n70000\n");
    const CalibHeader sensors[2] = {calib[0], calib[1]};

    loadFile(1, valid);
    EXPECT_EQ(calibfile_flagA, 1);
    EXPECT_EQ(calibfile_flagB, 0);
    EXPECT_EQ(text(pCalib, CALIB_CALIBFILE), valid.toStdString());
    EXPECT_EQ(std::make_tuple(value(pCalib, CALIB_TYPE_A), value(pCalib, CALIB_RANGE_A),
                              value(pCalib, CALIB_OFFSET_A), value(pCalib, CALIB_P2_A)),
              std::make_tuple(610409, 12000, 40000, 7));
    EXPECT_EQ(linArrayA[2047], masterValues[2047]);

    // The switch decides the side; a code the list does not hold becomes 0.
    loadFile(0, unknownType);
    EXPECT_EQ(calibfile_flagB, 1);
    EXPECT_EQ(value(pCalib, CALIB_TYPE_B), 0);
    EXPECT_EQ(value(pCalib, CALIB_RANGE_B), 25000);
    EXPECT_EQ(linArrayB[1], slaveValues[1]);

    struct Case {
        const char *what;
        int answer;
        QString path;
        const char *status;  // nullptr: none
    };
    for (const Case &c :
         {Case{"invalid file", 1, broken,
               "Calibration file refused: line 2: a header line LABEL<TAB>NUMBER expected"},
          Case{"value out of range", 1, outOfRange,
               "Calibration file refused: line 10: table value 70000 outside 0..65535"},
          Case{"cancelled dialog", 0, QString(), nullptr}}) {
        SCOPED_TRACE(c.what);
        SetCtrlVal(pCalib, CALIB_WRTABLE, 1);
        calibfile_flagB = 1;
        setSwitch(0);
        QueuePopupAnswer(c.answer, c.path.toStdString());
        texts.clear();
        CC_PICBTNSelectCalibFile(pCalib, CALIB_LOADFILE, EVENT_COMMIT, nullptr, 0, 0);
        EXPECT_EQ(text(pCalib, CALIB_CALIBFILE), "No valid calib.-file selected!");
        EXPECT_EQ(value(pCalib, CALIB_WRTABLE), 0);
        EXPECT_EQ(calibfile_flagB, 0);
        EXPECT_EQ(calibfile_flagA, 1);
        EXPECT_EQ(texts,
                  c.status ? std::vector<std::string>{c.status} : std::vector<std::string>{});
        EXPECT_EQ(linArrayB[1], slaveValues[1]) << "the table of the last valid file stays";
    }
    // Loaded, refused or not: the headers the recorder file and the derived settings take are
    // the sensors' until a WRITE has put the file's into a sensor.
    for (int side : {0, 1})
        EXPECT_EQ(std::memcmp(&calib[side], &sensors[side], sizeof(CalibHeader)), 0) << side;
}

// ---- WRITE: tables into the flash ---------------------------------------------------------

// WRITE with the table box: the table of the switch's side goes to the sensor, and the pop-up
// clears the box, hides the bar at its end and enables the controls again.
TEST_F(Calib, WriteSendsTheTableOfTheSwitchsSide) {
    connect();
    loadBothFiles();
    pressWrite(0, 0, 1);
    EXPECT_EQ(texts.back(), "SLAVE table written, unverified (no read-back) -> Ok!");
    EXPECT_EQ(value(pCalib, CALIB_WRTABLE), 0);
    EXPECT_EQ(attribute(pCalib, CALIB_PROGRESS, ATTR_VISIBLE), 0);
    EXPECT_EQ(value(pCalib, CALIB_PROGRESS), attribute(pCalib, CALIB_PROGRESS, ATTR_MAX_VALUE));
    EXPECT_EQ(dimmed(pPA, PANEL_RUN), 0) << "enabled again";
    Flashes expected = flashesOf(Device(configOf(false)));
    place(expected.slave, 0x1200, slaveValues, 2048);
    const Flashes after = simulatorFlashes(false);
    EXPECT_TRUE(after.master == expected.master);
    EXPECT_TRUE(after.slave == expected.slave);
}

TEST_F(Calib, HeaderWithTheCombinedTypeAndATableInOneWriteUseTheCombinedLayout) {
    connect();
    ASSERT_EQ(HWTYPE, 20);
    loadFile(1, writeCalibFile(dir.filePath("two-line.dat"), COMBINED_TYPE_CODE, 25000, 30000,
                               masterValues));
    pressWrite(1, 1, 1);
    EXPECT_EQ(HWTYPE, 22);
    EXPECT_EQ(std::tie(calib[0].typeCode, calib[0].range),
              std::make_tuple(COMBINED_TYPE_CODE, 25000))
        << "written: now the sensor's header";
    ASSERT_GE(requests.size(), 1u);
    EXPECT_EQ(requests[0].order, ORD_CALIB_WRITE) << "the header comes first";
    EXPECT_EQ(countOf(ORD_XF_ERASE), 4);
    EXPECT_EQ(countOf(ORD_XF_WRITE), 4) << "the four pages of the combined layout";
}

TEST_F(Calib, WriteWithoutBoxesOrWithoutAFileSendsNothing) {
    connect();
    loadBothFiles();
    pressWrite(1, 0, 0);
    EXPECT_TRUE(requests.empty());

    calibfile_flagB = 0;
    QueuePopupAnswer(0);
    pressWrite(0, 0, 1);
    EXPECT_TRUE(requests.empty());
    EXPECT_EQ(LastPopupText(), "Info: No valid calibration file for SLAVE selected!");
    EXPECT_EQ(value(pCalib, CALIB_WRTABLE), 0);
}

// A failed write says so on the status line and leaves the pop-up ready for another.
TEST_F(Calib, AFailedWriteIsToldAndClearsThePopUp) {
    connect({"--fail-flash-page", "4"});
    loadBothFiles();
    pressWrite(1, 0, 1);
    EXPECT_EQ(texts.back(), "MASTER table page 3 of 8 failed at 0x1400: table incomplete!");
    EXPECT_EQ(value(pCalib, CALIB_WRTABLE), 0);
    EXPECT_EQ(attribute(pCalib, CALIB_PROGRESS, ATTR_VISIBLE), 0);
    EXPECT_EQ(dimmed(pPA, PANEL_RUN), 0);
}

TEST_F(Calib, TheProgressBarCountsTheStepsWhileTheInterfaceStaysLive) {
    connect();
    loadBothFiles();
    std::vector<int> shown;
    // An event posted when an erase or a page write is done is served in the pause after it,
    // before the next request (no reply wait comes in between).
    int posted = 0, served = 0;
    onStatus = [&](const std::string &text) {
        if (text.find("table erase") == std::string::npos &&
            text.find("table page") == std::string::npos)
            return;
        ++posted;
        QTimer::singleShot(0, [&] { ++served; });
    };
    onRequest = [&](int, int) {
        EXPECT_EQ(served, posted);
        shown.push_back(value(pCalib, CALIB_PROGRESS));
        EXPECT_EQ(attribute(pCalib, CALIB_PROGRESS, ATTR_VISIBLE), 1);
        EXPECT_EQ(dimmed(pPA, PANEL_RUN), 1);
        EXPECT_EQ(dimmed(pCalib, CALIB_WRITE), 1);
    };
    pressWrite(1, 0, 1);
    // 8 erases, 8 pages, 16 read-backs of half a page: the bar shows the steps done before each
    // request.
    ASSERT_EQ(shown.size(), 32u);
    for (int k = 0; k < 32; ++k) EXPECT_EQ(shown[k], k);
    EXPECT_EQ(attribute(pCalib, CALIB_PROGRESS, ATTR_MAX_VALUE), 32);
    EXPECT_EQ(posted, 16);
    EXPECT_NE(std::find(texts.begin(), texts.end(),
                        "MASTER table page 2 of 8: Write XFLASH OK Addr=0x1300"),
              texts.end());
}

// ---- WRITE while a loop runs --------------------------------------------------------------

TEST_F(Calib, DuringRunTheHeaderWaitsForTheLoopAndATableIsRefused) {
    connect();
    loadBothFiles();
    onRequest = [](int order, int n) {
        if (order != ORD_RAW) return;
        if (n == 2) {
            // The switch chooses the slave; the loop writes its header.
            QueuePopupAnswer(0);
            pressWrite(0, 1, 1);
            EXPECT_EQ(wrxf_flag, 1);
            EXPECT_EQ(masl_flag, 2);
            EXPECT_EQ(countOf(ORD_CALIB_WRITE), 0) << "not at once";
            EXPECT_EQ(LastPopupText(),
                      "Info: Data transfer is running: press STOP first, then WRITE the table.");
        }
        if (n == 4) stop_flag = STOP_IDLE;
    };
    CC_BTNRun(pPA, PANEL_RUN, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(wrxf_flag, 0);
    ASSERT_EQ(countOf(ORD_CALIB_WRITE), 1);
    EXPECT_EQ(countOf(ORD_XF_ERASE_SLAVE) + countOf(ORD_XF_WRITE_SLAVE), 0);
    std::vector<int> order;
    for (const Frame &f : requests) order.push_back(f.order);
    EXPECT_EQ(order, (std::vector<int>{ORD_RAW, ORD_RAW, ORD_CALIB_WRITE, ORD_RAW, ORD_RAW}));
    const Frame &header = requests[2];
    EXPECT_EQ(header.param, 2);
    ASSERT_EQ(header.data.size(), sizeof(CalibHeader));
    CalibHeader sent;
    std::memcpy(&sent, header.data.data(), sizeof sent);
    EXPECT_EQ(std::tie(sent.typeCode, sent.range, sent.offset),
              std::make_tuple(610412, 25000, 60000));
}

// A table write pauses with the interface live, so it is refused while anything else may talk
// to the sensor: a loop between its exchanges, an idle exchange under way, a recording.
TEST_F(Calib, ATableWriteIsRefusedWhileALoopAnExchangeOrARecordingRuns) {
    connect({"--delay-ms", "40"});
    loadBothFiles();
    const struct {
        const char *what;
        StopFlag stop;
        int recstop, ticking;
        bool inExchange;
    } cases[] = {
        {"a loop between its exchanges", STOP_RUNNING, 1, 0, false},
        {"an idle GET waiting for its reply", STOP_IDLE, 1, 0, true},
        {"the desktop recorder", STOP_IDLE, 0, 0, false},
        {"the touch recorder's timer", STOP_IDLE, 1, 1, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        clearRecords();
        ClearPopupAnswers();
        QueuePopupAnswer(0);
        if (c.inExchange) {
            onRequest = [](int order, int n) {
                if (order == ORD_GET_RAM && n == 1)
                    QTimer::singleShot(0, [] { pressWrite(0, 0, 1); });
            };
            PushGET(RAM, 0);
        } else {
            stop_flag = c.stop;
            recstop_flag = c.recstop;
            SetCtrlAttribute(pTRec, TREC_TIMER, ATTR_ENABLED, c.ticking);
            pressWrite(1, 0, 1);
            stop_flag = STOP_IDLE;
            recstop_flag = 1;
            SetCtrlAttribute(pTRec, TREC_TIMER, ATTR_ENABLED, 0);
        }
        EXPECT_EQ(PendingPopupAnswers(), 0u) << "the refusal was told";
        EXPECT_EQ(LastPopupText(),
                  "Info: Data transfer is running: press STOP first, then WRITE the table.");
        EXPECT_EQ(countOf(ORD_XF_ERASE) + countOf(ORD_XF_ERASE_SLAVE), 0);
    }
}

TEST_F(Calib, ATableWriteHoldsCloseAndRefusesWhatWouldDisturbIt) {
    struct Case {
        const char *what;
        int sensor;
        int order, n;      // the request during which the operator acts
        const int &panel;  // the main panel closed
    };
    const Case cases[] = {
        {"desktop close at MASTER page 3", 1, ORD_XF_WRITE, 3, pPA},
        {"touch close at SLAVE block 49", 2, ORD_XF_WRITE_SLAVE, 49, pTSD},
    };
    struct Press {
        const int &panel;
        int control;
    };
    const Press presses[] = {
        {pPA, PANEL_RUN},          {pPA, PANEL_GET},    {pPA, PANEL_STOP},    {pPA, PANEL_TOUCH},
        {pPA, PANEL_TAB_RECORDER}, {pRec, REC_START},   {pTSD, TSD_VIDEO},    {pTSD, TSD_SEND},
        {pTSD, TSD_TOG_GRAPH},     {pTRec, TREC_START}, {pCalib, CALIB_READ},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        connect();
        loadBothFiles();
        Flashes expected = flashesOf(Device(configOf(false)));
        place(expected.of(c.sensor), 0x1200, c.sensor == 1 ? masterValues : slaveValues, 2048);
        int refused = 0;
        onRequest = [&](int order, int n) {
            if (order != c.order || n != c.n) return;
            // Pressed while the sensor programs its flash: served in the pause that follows.
            QTimer::singleShot(0, [&] {
                EXPECT_EQ(dimmed(pPA, PANEL_RUN) + dimmed(pTSD, TSD_TOG_NUM), 2);
                for (const auto &[panel, control] : presses) {
                    Dispatch(panel, control, EVENT_LEFT_CLICK);
                    Dispatch(panel, control, EVENT_COMMIT);
                    Dispatch(panel, control, EVENT_VAL_CHANGED);
                    refused +=
                        texts.back() == "Writing the calibration table: wait until it is done!";
                }
                Dispatch(c.panel, 0, EVENT_CLOSE);
                EXPECT_EQ(exit_flag, 0);
                EXPECT_EQ(texts.back(), "Writing the calibration table: closing when it is done.");
            });
        };
        pressWrite(c.sensor == 1, 0, 1);
        EXPECT_EQ(refused, int(std::size(presses)));
        for (const Frame &f : requests)
            EXPECT_TRUE(f.order == ORD_XF_ERASE || f.order == ORD_XF_WRITE ||
                        f.order == ORD_XF_READ || f.order == ORD_XF_ERASE_SLAVE ||
                        f.order == ORD_XF_WRITE_SLAVE)
                << "order " << f.order << " inside the table write";
        EXPECT_EQ(texts.back(), "Calibration table write ended: closing as asked.");
        EXPECT_EQ(dimmed(pPA, PANEL_RUN), 0) << "enabled again";
        ASSERT_EQ(exit_flag, 1) << "the close was carried out";
        EXPECT_EQ(RunUserInterface(), 0) << "the event loop was told to quit";
        const Flashes after = simulatorFlashes(false);
        EXPECT_TRUE(after.master == expected.master);
        EXPECT_TRUE(after.slave == expected.slave);
        exit_flag = 0;
    }
}

// ---- READ and the linearisation switch ----------------------------------------------------

TEST_F(Calib, ReadShowsBothHeadersAndOneFailureDoesNotStopTheOther) {
    CloseTCP();
    ASSERT_TRUE(sim.start({"--drop-every", "2"}));
    ASSERT_TRUE(sim.openTcp());
    ASSERT_EQ(CheckComLine(), 1);  // reply 1; the master's header read is reply 2, dropped
    calib[0].range = 11111;
    calib[1].range = 22222;
    SetCtrlVal(pCalib, CALIB_RANGE_A, 11111);
    CC_BTNReadCalibXF(pCalib, CALIB_READ, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(calib[0].range, 11111) << "master unchanged";
    EXPECT_EQ(value(pCalib, CALIB_RANGE_A), 11111);
    EXPECT_EQ(calib[1].range, 10000) << "the slave's header from the sensor";
    EXPECT_EQ(value(pCalib, CALIB_RANGE_B), 10000);
    EXPECT_EQ(countOf(ORD_CALIB_READ), 2);
}

TEST_F(Calib, LinearisationDropDownExplainsSwitchesAndHidesAfterSwitchingOff) {
    connect();
    struct Case {
        int mode;
        const char *explained, *result;
        int visibleAfter;
    };
    const Case cases[] = {
        {1, "Activate spi-master-linearisation ...", "Activate spi-master-linearisation -> Ok!", 1},
        {2, "Activate spi-slave-linearisation ...", "Activate spi-slave-linearisation -> Ok!", 1},
        {0, "Deactivate spi-linearisation ...", "Deactivate spi-slave-linarisation -> Ok!", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        clearRecords();
        SetCtrlAttribute(pCalib, CALIB_LINMODE, ATTR_VISIBLE, 1);
        SetCtrlVal(pCalib, CALIB_LINMODE, c.mode);
        CC_DROPlinearization(pCalib, CALIB_LINMODE, EVENT_LEFT_CLICK, nullptr, 0, 0);
        EXPECT_EQ(texts.back(), c.explained);
        EXPECT_TRUE(requests.empty());
        CC_DROPlinearization(pCalib, CALIB_LINMODE, EVENT_COMMIT, nullptr, 0, 0);
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].order, ORD_LINEARISATION);
        EXPECT_EQ(requests[0].param, c.mode);
        EXPECT_EQ(texts.back(), c.result);
        EXPECT_EQ(attribute(pCalib, CALIB_LINMODE, ATTR_VISIBLE), c.visibleAfter);
    }
    sim.stop();
    SetCtrlAttribute(pCalib, CALIB_LINMODE, ATTR_VISIBLE, 1);
    CC_DROPlinearization(pCalib, CALIB_LINMODE, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(texts.back(), "Connection-Error:Timeout TCP-Server-error!");
    EXPECT_EQ(attribute(pCalib, CALIB_LINMODE, ATTR_VISIBLE), 1);
}

// ---- pair set-up controls -----------------------------------------------------------------

TEST_F(Calib, SetpointSwitchShowsTheDistanceCaptionOfEachEvalMode) {
    struct Case {
        int evalMode;
        const char *caption, *numericCaption;
        double mm;
    };
    umVIRTOFFS = 12346;
    const Case cases[] = {
        {0, "VIRT-OFFSET SL", "VI-OFFS SL", 12.346},
        {1, "VIRT-OFFSET MA", "VI-OFFS MA", 12.346},
        {2, "TOTAL-DISTANCE MA / SL", "DIST M<>S", 12.346},
        {3, "HALF-DISTANCE MA / SL", "DIST/2 M<>S", 6.173},
        {4, "TOTAL-DIFFERENCE MA / SL", "DIFF M<>S", 12.346},
        {5, "TOTAL-DIFFERENCE MA / SL", "DIFF M<>S", 12.346},
        {7, "VIRT-OFFSET MA", "VI-OFFS MA", 12.346},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.evalMode);
        para.ge.evalMode = static_cast<uint16_t>(c.evalMode);
        SetCtrlVal(pCalib, CALIB_MMODE, 0);
        CC_BINSWmMode(pCalib, CALIB_MMODE, EVENT_COMMIT, nullptr, 0, 0);
        EXPECT_EQ(text(pCalib, CALIB_LBL_SETPOINT), c.caption);
        EXPECT_EQ(text(pTPara0, TPARA0_LBL_SETPOINT), c.caption);
        EXPECT_EQ(text(pTNum, TNUM_LBL_SETPOINT), c.numericCaption);
        for (const auto &[panel, distance, setpoint] :
             {std::tuple{pCalib, CALIB_VIRTOFFS, CALIB_SETPOINT},
              std::tuple{pTPara0, TPARA0_VIRTOFFS, TPARA0_SETPOINT},
              std::tuple{pTNum, TNUM_VIRTOFFS, TNUM_SETPOINT}}) {
            EXPECT_DOUBLE_EQ(real(panel, distance), c.mm);
            EXPECT_EQ(attribute(panel, distance, ATTR_VISIBLE), 1);
            EXPECT_EQ(attribute(panel, setpoint, ATTR_VISIBLE), 0);
        }
        EXPECT_EQ(value(pTPara0, TPARA0_MMODE), 0) << "mirrored";
    }

    // On, from the touch surface: the set-point entries with um-Setpoint.
    tsd_flag = 1;
    para.ge.umSetpoint = 23456;
    SetCtrlVal(pTPara0, TPARA0_MMODE, 1);
    CC_BINSWmMode(pTPara0, TPARA0_MMODE, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(value(pCalib, CALIB_MMODE), 1);
    EXPECT_EQ(text(pCalib, CALIB_LBL_SETPOINT), "SETPOINT-VALUE");
    EXPECT_EQ(text(pTPara0, TPARA0_LBL_SETPOINT), "SETPOINT-VALUE");
    EXPECT_EQ(text(pTNum, TNUM_LBL_SETPOINT), "SETPOINT");
    for (const auto &[panel, setpoint] :
         {std::pair{pCalib, CALIB_SETPOINT}, std::pair{pTPara0, TPARA0_SETPOINT},
          std::pair{pTNum, TNUM_SETPOINT}}) {
        EXPECT_DOUBLE_EQ(real(panel, setpoint), 23.456);
        EXPECT_EQ(attribute(panel, setpoint, ATTR_VISIBLE), 1);
    }
}

TEST_F(Calib, TheTwoServiceGesturesShareOneFlag) {
    DimmCalibElements(1);
    QWidget *title = FindCtrl(pCalib, CALIB_TITLE)->widget;
    QWidget *info = static_cast<QPlainTextEdit *>(FindCtrl(pCalib, CALIB_INFO)->widget)->viewport();
    DisplayPanel(pPA);
    DisplayPanel(pCalib);

    QTest::mouseDClick(title, Qt::RightButton);  // editing mode
    EXPECT_EQ(dclick_flag, 1);
    EXPECT_EQ(attribute(pCalib, CALIB_WRITE, ATTR_VISIBLE), 1);
    EXPECT_EQ(dimmed(pPA, PANEL_SEND), 1);
    EXPECT_EQ(attribute(pCalib, CALIB_RANGE_A, ATTR_CTRL_MODE), VAL_HOT);

    QTest::mouseDClick(info, Qt::RightButton);  // takes the flag's other branch: hides
    EXPECT_EQ(dclick_flag, 0);
    EXPECT_EQ(attribute(pCalib, CALIB_LINMODE, ATTR_VISIBLE), 0);
    EXPECT_EQ(attribute(pCalib, CALIB_WRITE, ATTR_VISIBLE), 1) << "still editing";

    QTest::mouseDClick(info, Qt::RightButton);
    EXPECT_EQ(dclick_flag, 1);
    EXPECT_EQ(attribute(pCalib, CALIB_LINMODE, ATTR_VISIBLE), 1);

    QTest::mouseDClick(title, Qt::RightButton);  // back to the normal mode
    EXPECT_EQ(dclick_flag, 0);
    EXPECT_EQ(attribute(pCalib, CALIB_WRITE, ATTR_VISIBLE), 0);
    EXPECT_EQ(dimmed(pPA, PANEL_SEND), 0);
    EXPECT_EQ(attribute(pCalib, CALIB_RANGE_A, ATTR_CTRL_MODE), VAL_INDICATOR);
    HidePanel(pCalib);
    HidePanel(pPA);
}

TEST_F(Calib, MasterSlaveSwitchShowsOneSideAndSetsMaslFlag) {
    for (int master : {0, 1}) {
        setSwitch(master);
        EXPECT_EQ(masl_flag, master ? 1 : 2);
        for (int control : {CALIB_TYPE_A, CALIB_RANGE_A, CALIB_VIRTOFF_A, CALIB_TABLEN_A})
            EXPECT_EQ(attribute(pCalib, control, ATTR_VISIBLE), master) << control;
        for (int control : {CALIB_TYPE_B, CALIB_RANGE_B, CALIB_VIRTOFF_B, CALIB_TABLEN_B})
            EXPECT_EQ(attribute(pCalib, control, ATTR_VISIBLE), !master) << control;
    }
}

TEST_F(Calib, PowerModesSetLabelsAndTheEnablingOnBothSurfaces) {
    struct Case {
        const char *what;
        uint16_t hwType;
        bool master, touch;
        int mode;
        const char *label, *touchLabel;
        int powerDimmed, ownIntDimmed, otherIntDimmed;
    };
    const Case cases[] = {
        {"master dynamic", 20, true, false, 1, "PM: DYN", "POW-MODE: DYN", 1, 0, 0},
        {"master exposure", 20, true, false, 2, "PM: EXP", "POW-MODE: EXPOSE", 0, 1, 0},
        {"master static, touch", 20, true, true, 0, "PM: STA", "POW-MODE: STA", 0, 0, 0},
        {"slave exposure", 20, false, false, 2, "/ EXP", "/ EXP", 0, 1, 0},
        {"combined: master exposure", 22, true, false, 2, "PM: EXP", "POW-MODE: EXPOSE", 0, 1, 1},
        {"combined: master static", 22, true, true, 0, "PM: STA", "POW-MODE: STA", 0, 0, 1},
        {"combined: master dynamic", 22, true, false, 1, "PM: DYN", "POW-MODE: DYN", 1, 0, 0},
        {"combined: slave dynamic", 22, false, false, 1, "/ DYN", "/ DYN", 1, 1, 0},
        {"combined: slave exposure", 22, false, true, 2, "/ EXP", "/ EXP", 0, 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        HWTYPE = c.hwType;
        tsd_flag = c.touch;
        for (const auto &[panel, control] :
             {std::pair{pPara1, PARA1_INTTIME}, std::pair{pPara2, PARA2_INTTIME},
              std::pair{pTPara1, TPARA1_INTTIME}, std::pair{pTPara2, TPARA2_INTTIME}})
            SetCtrlAttribute(panel, control, ATTR_DIMMED, 0);
        const int own = c.master ? 1 : 2;
        const int desk = own == 1 ? pPara1 : pPara2, touch = own == 1 ? pTPara1 : pTPara2;
        const int other = own == 1 ? pPara2 : pPara1, otherTouch = own == 1 ? pTPara2 : pTPara1;
        const int mode = own == 1 ? PARA1_PMODE : PARA2_PMODE;
        const int tmode = own == 1 ? TPARA1_PMODE : TPARA2_PMODE;
        SetCtrlVal(c.touch ? touch : desk, c.touch ? tmode : mode, c.mode);
        (c.master ? CC_DROPpmodeA : CC_DROPpmodeB)(0, 0, EVENT_COMMIT, nullptr, 0, 0);

        EXPECT_EQ(value(desk, mode), c.mode);
        EXPECT_EQ(value(touch, tmode), c.mode);
        EXPECT_EQ(text(pPA, c.master ? PANEL_LBL_PMODE_MA : PANEL_LBL_PMODE_SL), c.label);
        EXPECT_EQ(text(pTGraph, c.master ? TGRAPH_LBL_PMODE_MA : TGRAPH_LBL_PMODE_SL),
                  c.touchLabel);
        EXPECT_EQ(text(pTNum, c.master ? TNUM_LBL_PMODE_MA : TNUM_LBL_PMODE_SL), c.touchLabel);
        EXPECT_EQ(dimmed(desk, own == 1 ? PARA1_POWER : PARA2_POWER), c.powerDimmed);
        EXPECT_EQ(dimmed(touch, own == 1 ? TPARA1_POWER : TPARA2_POWER), c.powerDimmed);
        EXPECT_EQ(dimmed(desk, own == 1 ? PARA1_INTTIME : PARA2_INTTIME), c.ownIntDimmed);
        EXPECT_EQ(dimmed(touch, own == 1 ? TPARA1_INTTIME : TPARA2_INTTIME), c.ownIntDimmed);
        EXPECT_EQ(dimmed(other, own == 1 ? PARA2_INTTIME : PARA1_INTTIME), c.otherIntDimmed);
        EXPECT_EQ(dimmed(otherTouch, own == 1 ? TPARA2_INTTIME : TPARA1_INTTIME), c.otherIntDimmed);
    }
}

TEST_F(Calib, ToleranceAndTeachEntriesShowTheActiveSurfacesValueOnBoth) {
    tsd_flag = 1;
    SetCtrlVal(pTPara0, TPARA0_TOL_UP, 1.234);
    CC_NUMToleranceUP(pTPara0, TPARA0_TOL_UP, EVENT_VAL_CHANGED, nullptr, 0, 0);
    EXPECT_DOUBLE_EQ(real(pPA, PANEL_TOL_UP), 1.234);
    SetCtrlVal(pTPara1, TPARA1_TEACH_PIX, 700);
    CC_NUMTeachA(pTPara1, TPARA1_TEACH_PIX, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(value(pPara1, PARA1_TEACH_PIX), 700);

    tsd_flag = 0;
    SetCtrlVal(pPA, PANEL_TOL_LO, 0.567);
    CC_NUMToleranceLO(pPA, PANEL_TOL_LO, EVENT_VAL_CHANGED, nullptr, 0, 0);
    EXPECT_DOUBLE_EQ(real(pTPara0, TPARA0_TOL_LO), 0.567);
    EXPECT_DOUBLE_EQ(real(pTPara0, TPARA0_TOL_UP), 1.234) << "the other entry stays";
    SetCtrlVal(pPara2, PARA2_TEACH_PIX, 321);
    CC_NEDITeachB(pPara2, PARA2_TEACH_PIX, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(value(pTPara2, TPARA2_TEACH_PIX), 321);
    EXPECT_EQ(value(pTPara1, TPARA1_TEACH_PIX), 700) << "the master's stays";

    // Right click: the main panel's help box beside the entry, again: hidden.
    CC_NUMToleranceUP(pPA, PANEL_TOL_UP, EVENT_RIGHT_CLICK, nullptr, 0, 0);
    EXPECT_EQ(attribute(pPA, PANEL_HELP_BTN, ATTR_VISIBLE), 1);
    EXPECT_EQ(text(pPA, PANEL_HELP_BTN).rfind("TOLERANCE-UP:\nNumerical input field", 0), 0u);
    CC_NUMToleranceUP(pPA, PANEL_TOL_UP, EVENT_RIGHT_CLICK, nullptr, 0, 0);
    EXPECT_EQ(attribute(pPA, PANEL_HELP_BTN, ATTR_VISIBLE), 0);
}

}  // namespace
