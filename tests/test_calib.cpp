// The calibration pop-up on real widgets with the simulator as the sensor pair: file button,
// WRITE into the sensors' flash, READ, the linearisation switch and the pair set-up controls.
#include <QDir>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "core/calib/calibtransfer.h"
#include "core/link/transport.h"
#include "core/params/derived.h"
#include "core/params/transfer.h"
#include "core/state/programdir.h"
#include "gui/app/hwselect.h"
#include "gui/app/identityview.h"
#include "gui/app/linkview.h"
#include "gui/calib/calibpopup.h"
#include "gui/runtime/popupscript.h"
#include "ktav_panels.h"
#include "sim_flash.h"
#include "support.h"

namespace {

// The last text of the main panel's status line.
const auto lastText = [] { return status.texts().empty() ? std::string() : status.texts().back(); };

class Calib : public ProgramTest {
  protected:
    static void SetUpTestSuite() {
        ProgramTest::SetUpTestSuite();
        PrepareTypeCodeLists();
    }

    void SetUp() override {
        ResetProgramState();
        SetLinkView({recordStatus, nullptr, nullptr});
        SetFrameTap(tapWire);
        ClearPopupAnswers();
        wire.clear();
        status.clear();
        ASSERT_TRUE(dir.isValid());  // a close after a table write writes the settings there
        std::snprintf(appini_pathname, sizeof appini_pathname, "%s",
                      qPrintable(dir.filePath("PX-MS-Vista.ini")));
        DimmCalibElements(0);  // the editing mode shows WRITE and READ
        setSwitch(1);
    }
    void TearDown() override {
        SetFrameTap(nullptr);
        CloseTCP();
        sim.stop();
    }

    // Starts the simulator with a fresh state file, connects over TCP and identifies the pair.
    void connect(const QStringList &options = {}) {
        CloseTCP();
        QFile::remove(dir.filePath("state"));
        ASSERT_TRUE(sim.start(QStringList{"--state", dir.filePath("state")} + options));
        ASSERT_TRUE(sim.openTcp());
        ASSERT_EQ(InitDataExchange(), 1);
        wire.clear();
        status.clear();
    }

    static void setSwitch(int master) {
        SetCtrlVal(pCalib, CALIB_MASL, master);
        press(pCalib, CALIB_MASL);
    }
    // LOAD FILE... with the file dialog answered by `path`, or cancelled with `answer` 0.
    static void loadFile(int master, const QString &path, int answer = 1) {
        setSwitch(master);
        QueuePopupAnswer(answer, path.toStdString());
        press(pCalib, CALIB_LOADFILE);
    }
    static void pressWrite(int master, int header, int table) {
        setSwitch(master);
        SetCtrlVal(pCalib, CALIB_WRHEADER, header);
        SetCtrlVal(pCalib, CALIB_WRTABLE, table);
        press(pCalib, CALIB_WRITE);
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

// The switch decides the side a file fills, and shows only that side's header fields; a file
// that is refused, or a cancelled dialog, leaves that side without a file.
TEST_F(Calib, FileButtonFillsTheSideOfTheSwitchOrSaysNoValidFile) {
    const CalibHeader sensors[2] = {calib[0], calib[1]};
    ASSERT_TRUE(QDir(dir.path()).mkpath("calibration/bench-7/sensor-pair-1001"));
    const QString valid =
        writeCalibFile(dir.filePath("calibration/bench-7/sensor-pair-1001/XF-LINEAR.DAT"), 610409,
                       12000, 40000, masterValues);
    loadFile(1, valid);
    EXPECT_EQ(std::tie(calibfile_flagA, calibfile_flagB, masl_flag), std::tuple(1, 0, 1));
    expectPathShown(pCalib, CALIB_CALIBFILE, valid.toStdString());
    EXPECT_EQ(std::tuple(value(pCalib, CALIB_TYPE_A), value(pCalib, CALIB_RANGE_A),
                         value(pCalib, CALIB_OFFSET_A), value(pCalib, CALIB_P2_A)),
              std::tuple(610409, 12000, 40000, 7));
    EXPECT_EQ(linArrayA[2047], masterValues[2047]);
    // A code the list does not hold becomes 0.
    loadFile(0, writeCalibFile(dir.filePath("unknown.dat"), 123456, 25000, 60000, slaveValues));
    EXPECT_EQ(std::tie(calibfile_flagA, calibfile_flagB, masl_flag), std::tuple(1, 1, 2));
    EXPECT_EQ(std::tuple(value(pCalib, CALIB_TYPE_B), value(pCalib, CALIB_RANGE_B)),
              std::tuple(0, 25000));
    EXPECT_EQ(linArrayB[1], slaveValues[1]);
    for (int control : {CALIB_TYPE_A, CALIB_RANGE_A, CALIB_VIRTOFF_A, CALIB_TABLEN_A})
        EXPECT_EQ(attribute(pCalib, control, ATTR_VISIBLE), 0) << control;
    for (int control : {CALIB_TYPE_B, CALIB_RANGE_B, CALIB_VIRTOFF_B, CALIB_TABLEN_B})
        EXPECT_EQ(attribute(pCalib, control, ATTR_VISIBLE), 1) << control;

    const QString refused = writeFile(dir.filePath("refused.dat"), "[HEADER]\nTYPE 610409\n");
    for (const bool cancelled : {true, false}) {
        SCOPED_TRACE(cancelled ? "the dialog cancelled" : "a file refused");
        SetCtrlVal(pCalib, CALIB_WRTABLE, 1);
        calibfile_flagB = 1;
        status.clear();
        loadFile(0, refused, cancelled ? 0 : 1);
        EXPECT_EQ(text(pCalib, CALIB_CALIBFILE), "No valid calib.-file selected!");
        EXPECT_EQ(value(pCalib, CALIB_WRTABLE), 0);
        EXPECT_EQ(std::tie(calibfile_flagA, calibfile_flagB), std::tuple(1, 0));
        EXPECT_EQ(status.texts().size(), cancelled ? 0u : 1u);
    }
    EXPECT_EQ(lastText(),
              "Calibration file refused: line 2: a header line LABEL<TAB>NUMBER expected");
    // Loaded, refused or not: the headers the recorder file and the derived settings take are
    // the sensors' until a WRITE has put the file's into a sensor.
    EXPECT_EQ(std::memcmp(calib, sensors, sizeof sensors), 0);
}

// After a failed table write the box, the bar and the controls are cleared for another.
TEST_F(Calib, AFailedWriteIsToldAndWithoutBoxOrFileNothingIsSent) {
    connect({"--fail-flash-page", "4"});
    loadBothFiles();
    pressWrite(1, 0, 1);
    EXPECT_EQ(lastText(), "MASTER table page 3 of 8 failed at 0x1400: table incomplete!");
    EXPECT_EQ(value(pCalib, CALIB_WRTABLE), 0);
    EXPECT_EQ(attribute(pCalib, CALIB_PROGRESS, ATTR_VISIBLE), 0);
    EXPECT_EQ(dimmed(pPA, PANEL_RUN), 0) << "enabled again";
    wire.clear();
    pressWrite(1, 0, 0);
    calibfile_flagB = 0;
    QueuePopupAnswer(0);
    pressWrite(0, 0, 1);
    EXPECT_TRUE(wire.requests.empty());
    EXPECT_EQ(LastPopupText(), "Info: No valid calibration file for SLAVE selected!");
    EXPECT_EQ(value(pCalib, CALIB_WRTABLE), 0);
}

// WRITE writes the loaded file's six fields over the sensor's own header (virtual offset and
// reserved words stay), whatever redraws the pop-up in between, until another pair is identified:
// that drops the file, says so, and WRITE then writes that pair's own header (a fresh one's).
TEST_F(Calib, WriteWritesTheLoadedFilesHeaderOverTheSensorsOwnUntilAnotherPair) {
    const CalibHeader fromFiles[2] = {withFileFields(1, 610409, 12000, 40000),
                                      withFileFields(2, 610412, 25000, 60000)};
    const std::tuple<const char *, std::function<void()>, bool> between[] = {
        {"a GET", [] { press(pPA, PANEL_GET); }, true},
        {"a TEACH", [] { press(pPA, PANEL_TEACH); }, true},
        {"an identification of the same pair", [] { InitDataExchange(); }, true},
        {"an identification of another pair",
         [this] {
             CloseTCP();
             ASSERT_TRUE(sim.start({"--serial", "2002"}));
             ASSERT_TRUE(sim.openTcp());
             InitDataExchange();
         },
         false},
    };
    for (const auto &[what, act, kept] : between) {
        SCOPED_TRACE(what);
        connect();
        writeOwnHeaders();
        ASSERT_EQ(InitDataExchange(), 1);
        loadBothFiles();
        act();
        wire.clear();
        for (int master : {1, 0}) pressWrite(master, 1, 0);
        EXPECT_EQ(lastText(), "WRITE calib-data to XFLASH ... -> Ok! (header only)");
        ASSERT_EQ(wire.orders(), (std::vector<int>{ORD_CALIB_WRITE, ORD_CALIB_WRITE}));
        for (int side : {0, 1})
            EXPECT_EQ(
                Bytes(wire.requests[side].begin() + FRAME_HEADER_SIZE, wire.requests[side].end()),
                bytesOf(kept ? fromFiles[side] : DefaultCalibHeader()))
                << side;
        EXPECT_EQ(calibfile_flagA + calibfile_flagB, kept ? 2 : 0);
        EXPECT_EQ(text(pCalib, CALIB_CALIBFILE) == "No valid calib.-file selected!", !kept);
        EXPECT_EQ(status.has("Other sensor pair: calibration file dropped, load it again!"), !kept);
    }
}

TEST_F(Calib, HeaderWithTheCombinedTypeAndATableInOneWriteUseTheCombinedLayout) {
    connect();
    ASSERT_EQ(HWTYPE, 20);
    loadFile(1, writeCalibFile(dir.filePath("two-line.dat"), COMBINED_TYPE_CODE, 25000, 30000,
                               masterValues));
    pressWrite(1, 1, 1);
    EXPECT_EQ(std::tie(HWTYPE, calib[0].typeCode, calib[0].range),
              std::tuple(22, COMBINED_TYPE_CODE, 25000))
        << "written: now the sensor's header";
    EXPECT_EQ(wire.orders().front(), ORD_CALIB_WRITE) << "the header comes first";
    EXPECT_EQ(std::tuple(wire.sent(ORD_XF_ERASE), wire.sent(ORD_XF_WRITE)), std::tuple(4, 4))
        << "the four pages of the combined layout";
}

// A table write pauses with the interface live, so it is refused while anything else may talk
// to the sensor: a loop between or inside its exchanges, an idle exchange under way, a
// recording. A header pressed inside a loop's exchange is written by the loop after it, for the
// side and with the fields it had at the press.
TEST_F(Calib, ATableWriteIsRefusedWhileALoopAnExchangeOrARecordingRuns) {
    connect({"--delay-ms", "40"});
    loadBothFiles();
    // What runs: the loop's flag, the recorders' and the order of the exchange the press comes
    // inside (0: none).
    const std::tuple<const char *, StopFlag, int, int, int> cases[] = {
        {"a loop between its exchanges", STOP_RUNNING, 1, 0, 0},
        {"the desktop recorder", STOP_IDLE, 0, 0, 0},
        {"the touch recorder's timer", STOP_IDLE, 1, 1, 0},
        {"an idle GET waiting for its reply", STOP_IDLE, 1, 0, ORD_GET_RAM},
        {"a loop inside an exchange: the SLAVE's header and table", STOP_IDLE, 1, 0, ORD_RAW},
    };
    for (const auto &[what, stop, recstop, ticking, inside] : cases) {
        SCOPED_TRACE(what);
        wire.clear();
        ClearPopupAnswers();
        QueuePopupAnswer(0);
        std::tie(stop_flag, recstop_flag) = std::tuple(stop, recstop);
        SetCtrlAttribute(pTRec, TREC_TIMER, ATTR_ENABLED, ticking);
        wire.during = [&](bool request, int order, int n) {
            if (request && order == inside && n == 1) pressWrite(0, order == ORD_RAW, 1);
            // The switch turned to MASTER before the loop writes the SLAVE's header.
            if (request && order == ORD_RAW && inside == ORD_RAW && n == 1) setSwitch(1);
            if (request && order == ORD_RAW && n == 3) stop_flag = STOP_IDLE;
        };
        if (inside == ORD_RAW)
            press(pPA, PANEL_RUN);
        else if (inside == ORD_GET_RAM)
            PushGET(RAM, 0);
        else
            pressWrite(1, 0, 1);
        std::tie(stop_flag, recstop_flag) = std::tuple(STOP_IDLE, 1);
        SetCtrlAttribute(pTRec, TREC_TIMER, ATTR_ENABLED, 0);
        EXPECT_EQ(PendingPopupAnswers(), 0u) << "the refusal was told";
        EXPECT_EQ(LastPopupText(),
                  "Info: Data transfer is running: press STOP first, then WRITE the table.");
        EXPECT_EQ(wire.sent(ORD_XF_ERASE) + wire.sent(ORD_XF_ERASE_SLAVE), 0);
    }
    EXPECT_EQ(wire.orders(), (std::vector<int>{ORD_RAW, ORD_CALIB_WRITE, ORD_RAW, ORD_RAW}));
    EXPECT_EQ(wire.requests[1][2], 2) << "the SLAVE's header";
    ASSERT_EQ(wire.dataOf(ORD_CALIB_WRITE).size(), sizeof(CalibHeader));
    CalibHeader sent;
    std::memcpy(&sent, wire.dataOf(ORD_CALIB_WRITE).data(), sizeof sent);
    EXPECT_EQ(std::tie(sent.typeCode, sent.range, sent.offset), std::tuple(610412, 25000, 60000));
}

// WRITE sends the table of the switch's side into that sensor's flash. Meanwhile the bar counts
// the steps and the interface stays live, but refuses every press that would talk to the sensor;
// a close of the main panel waits for the end.
TEST_F(Calib, ATableWriteHoldsCloseAndRefusesWhatWouldDisturbIt) {
    // The side written, the request during which the operator acts, the steps done before it and
    // the main panel closed.
    const std::tuple<const char *, int, int, int, int, const int &> cases[] = {
        {"desktop close at MASTER page 3", 1, ORD_XF_WRITE, 3, 10, pPA},
        {"touch close at SLAVE block 49", 2, ORD_XF_WRITE_SLAVE, 49, 56, pTSD},
    };
    const std::pair<const int &, int> presses[] = {
        {pPA, PANEL_RUN},          {pPA, PANEL_GET},    {pPA, PANEL_STOP},    {pPA, PANEL_TOUCH},
        {pPA, PANEL_TAB_RECORDER}, {pRec, REC_START},   {pTSD, TSD_VIDEO},    {pTSD, TSD_SEND},
        {pTSD, TSD_TOG_GRAPH},     {pTRec, TREC_START}, {pCalib, CALIB_READ},
    };
    InstallLinkView(nullptr);  // the status fields show what the program shows them
    LinkView view = CurrentLinkView();
    const auto show = view.status;
    view.status = recordStatus;
    SetLinkView(view);
    for (const auto &[what, sensor, atOrder, atN, progress, closed] : cases) {
        SCOPED_TRACE(what);
        connect();
        loadBothFiles();
        status.onText = [show](unsigned f, auto &t) { show(f, t.c_str()); };
        int refused = 0;
        wire.during = [&](bool request, int order, int n) {
            // Later steps: the held close stays in view in front of their progress texts.
            if (request && order == atOrder && n == atN + 3) {
                const std::string shown = text(pPA, PANEL_STATUS);
                EXPECT_EQ(shown, "Closing when done: " + lastText());
            }
            if (!request || order != atOrder || n != atN) return;
            EXPECT_EQ(value(pCalib, CALIB_PROGRESS), progress);
            EXPECT_EQ(attribute(pCalib, CALIB_PROGRESS, ATTR_VISIBLE), 1);
            // The bar and the status line count the same steps.
            const std::string steps =
                " table " + std::to_string(progress) + " of " +
                std::to_string(attribute(pCalib, CALIB_PROGRESS, ATTR_MAX_VALUE)) + " (";
            EXPECT_NE(lastText().find(steps), std::string::npos) << lastText();
            // Pressed while the sensor programs its flash: served in the pause that follows.
            QTimer::singleShot(0, [&] {
                EXPECT_EQ(dimmed(pPA, PANEL_RUN) + dimmed(pTSD, TSD_TOG_NUM), 2);
                for (const auto &[panel, control] : presses) {
                    for (int event : {EVENT_LEFT_CLICK, EVENT_COMMIT, EVENT_VAL_CHANGED})
                        Dispatch(panel, control, event);
                    refused +=
                        lastText() == "Writing the calibration table: wait until it is done!";
                }
                Dispatch(closed, 0, EVENT_CLOSE);
                EXPECT_EQ(exit_flag, 0);
                EXPECT_EQ(lastText(), "Writing the calibration table: closing when it is done.");
            });
        };
        SetCtrlAttribute(pTSD, TSD_RESET, ATTR_DIMMED, 1);  // dimmed before: stays dimmed after
        pressWrite(sensor == 1, 0, 1);
        EXPECT_EQ(dimmed(pTSD, TSD_RESET), 1);
        EXPECT_EQ(refused, int(std::size(presses)));
        for (int order : wire.orders())
            EXPECT_TRUE(order == ORD_XF_ERASE || order == ORD_XF_WRITE || order == ORD_XF_READ ||
                        order == ORD_XF_ERASE_SLAVE || order == ORD_XF_WRITE_SLAVE ||
                        order == ORD_CALIB_READ || order == ORD_CALIB_WRITE)
                << "order " << order << " inside the table write";
        EXPECT_EQ(lastText(), "Calibration table write ended: closing as asked.");
        EXPECT_EQ(dimmed(pPA, PANEL_RUN), 0) << "enabled again";
        EXPECT_EQ(attribute(pCalib, CALIB_PROGRESS, ATTR_VISIBLE) + value(pCalib, CALIB_WRTABLE),
                  0);
        ASSERT_EQ(exit_flag, 1) << "the close was carried out";
        EXPECT_EQ(RunUserInterface(), 0) << "the event loop was told to quit";
        CloseTCP();
        sim.stop();
        EXPECT_TRUE(tableInPlace(false, sensor, dir.filePath("state")));
        exit_flag = 0;
    }
}

TEST_F(Calib, ReadShowsBothHeadersAndOneFailureDoesNotStopTheOther) {
    ASSERT_TRUE(sim.start({"--drop-every", "2"}));
    ASSERT_TRUE(sim.openTcp());
    ASSERT_EQ(CheckComLine(), 1);  // reply 1; the master's header read is reply 2, dropped
    std::tie(calib[0].range, calib[1].range) = std::tuple(11111, 22222);
    SetCtrlVal(pCalib, CALIB_RANGE_A, 11111);
    press(pCalib, CALIB_READ);
    EXPECT_EQ(std::tuple(calib[0].range, value(pCalib, CALIB_RANGE_A)), std::tuple(11111, 11111))
        << "master unchanged";
    EXPECT_EQ(std::tuple(calib[1].range, value(pCalib, CALIB_RANGE_B)), std::tuple(10000, 10000))
        << "the slave's header from the sensor";
    EXPECT_EQ(wire.sent(ORD_CALIB_READ), 2);
}

TEST_F(Calib, LinearisationDropDownExplainsSwitchesAndHidesAfterSwitchingOff) {
    connect();
    const std::tuple<int, const char *, const char *> cases[] = {
        {1, "Activate spi-master-linearisation ...", "Activate spi-master-linearisation -> Ok!"},
        {2, "Activate spi-slave-linearisation ...", "Activate spi-slave-linearisation -> Ok!"},
        {0, "Deactivate spi-linearisation ...", "Deactivate spi-slave-linarisation -> Ok!"},
    };
    for (const auto &[mode, explained, result] : cases) {
        SCOPED_TRACE(mode);
        wire.clear();
        status.clear();
        SetCtrlAttribute(pCalib, CALIB_LINMODE, ATTR_VISIBLE, 1);
        SetCtrlVal(pCalib, CALIB_LINMODE, mode);
        Dispatch(pCalib, CALIB_LINMODE, EVENT_LEFT_CLICK);
        EXPECT_EQ(lastText(), explained);
        Dispatch(pCalib, CALIB_LINMODE, EVENT_COMMIT);
        ASSERT_EQ(wire.orders(), std::vector<int>{ORD_LINEARISATION});
        EXPECT_EQ(wire.requests[0][2], mode);
        EXPECT_EQ(lastText(), result);
        EXPECT_EQ(attribute(pCalib, CALIB_LINMODE, ATTR_VISIBLE), mode != 0);
    }
    sim.stop();
    SetCtrlAttribute(pCalib, CALIB_LINMODE, ATTR_VISIBLE, 1);
    Dispatch(pCalib, CALIB_LINMODE, EVENT_COMMIT);
    EXPECT_EQ(lastText(), "Connection-Error:Timeout TCP-Server-error!");
    EXPECT_EQ(attribute(pCalib, CALIB_LINMODE, ATTR_VISIBLE), 1);
}

// The set-point switch off shows the pair's distance with the caption of the evaluation mode,
// on the pop-up and both touch panels; on, from the touch surface, the set-point.
TEST_F(Calib, SetpointSwitchShowsTheDistanceOrTheSetpoint) {
    umVIRTOFFS = 12346;
    para.ge.umSetpoint = 23456;
    const std::tuple<int, int, int, const char *, const char *, double> cases[] = {
        {0, 0, 0, "VIRT-OFFSET SL", "VI-OFFS SL", 12.346},
        {0, 1, 0, "VIRT-OFFSET MA", "VI-OFFS MA", 12.346},
        {0, 2, 0, "TOTAL-DISTANCE MA / SL", "DIST M<>S", 12.346},
        {0, 3, 0, "HALF-DISTANCE MA / SL", "DIST/2 M<>S", 6.173},
        {0, 4, 0, "TOTAL-DIFFERENCE MA / SL", "DIFF M<>S", 12.346},
        {0, 5, 0, "TOTAL-DIFFERENCE MA / SL", "DIFF M<>S", 12.346},
        {1, 3, 1, "SETPOINT-VALUE", "SETPOINT", 23.456},
    };
    for (const auto &[touch, evalMode, setpoint, caption, numericCaption, mm] : cases) {
        SCOPED_TRACE(caption);
        tsd_flag = touch;
        para.ge.evalMode = static_cast<uint16_t>(evalMode);
        SetCtrlVal(touch ? pTPara0 : pCalib, touch ? TPARA0_MMODE : CALIB_MMODE, setpoint);
        Dispatch(touch ? pTPara0 : pCalib, touch ? TPARA0_MMODE : CALIB_MMODE, EVENT_COMMIT);
        EXPECT_EQ(value(touch ? pCalib : pTPara0, touch ? CALIB_MMODE : TPARA0_MMODE), setpoint)
            << "mirrored";
        EXPECT_EQ(text(pCalib, CALIB_LBL_SETPOINT), caption);
        EXPECT_EQ(text(pTPara0, TPARA0_LBL_SETPOINT), caption);
        EXPECT_EQ(text(pTNum, TNUM_LBL_SETPOINT), numericCaption);
        EXPECT_DOUBLE_EQ(real(pTNum, setpoint ? TNUM_SETPOINT : TNUM_VIRTOFFS), mm);
        EXPECT_EQ(std::tuple(attribute(pCalib, CALIB_SETPOINT, ATTR_VISIBLE),
                             attribute(pTPara0, TPARA0_VIRTOFFS, ATTR_VISIBLE)),
                  std::tuple(setpoint, 1 - setpoint));
    }
}

// A right double click on the title switches the editing mode, on the info box the
// linearisation drop-down: one flag serves both, so each takes the other's last state.
TEST_F(Calib, TheTwoServiceGesturesShareOneFlag) {
    DimmCalibElements(1);
    SetCtrlAttribute(pCalib, CALIB_LINMODE, ATTR_VISIBLE, 1);
    QWidget *title = FindCtrl(pCalib, CALIB_TITLE)->widget;
    QWidget *info = static_cast<QPlainTextEdit *>(FindCtrl(pCalib, CALIB_INFO)->widget)->viewport();
    DisplayPanel(pPA);
    DisplayPanel(pCalib);
    const std::tuple<QWidget *, int, int, int> cases[] = {
        {title, 1, 1, 1}, {info, 0, 1, 0}, {info, 1, 1, 1}, {title, 0, 0, 1}};
    for (const auto &[widget, flag, editing, linearisation] : cases) {
        QTest::mouseDClick(widget, Qt::RightButton);
        EXPECT_EQ(dclick_flag, flag);
        EXPECT_EQ(attribute(pCalib, CALIB_WRITE, ATTR_VISIBLE), editing);
        EXPECT_EQ(attribute(pCalib, CALIB_RANGE_A, ATTR_CTRL_MODE),
                  editing ? VAL_HOT : VAL_INDICATOR);
        EXPECT_EQ(attribute(pCalib, CALIB_LINMODE, ATTR_VISIBLE), linearisation);
    }
    HidePanel(pCalib);
    HidePanel(pPA);
}

// The two-line hardware has one integration time for both lines.
TEST_F(Calib, PowerModesSetLabelsAndTheEnablingOnBothSurfaces) {
    const std::tuple<uint16_t, bool, bool, int, const char *, const char *, int, int, int> cases[] =
        {
            {20, true, false, 1, "PM: DYN", "POW-MODE: DYN", 1, 0, 0},
            {20, true, true, 0, "PM: STA", "POW-MODE: STA", 0, 0, 0},
            {20, false, false, 2, "/ EXP", "/ EXP", 0, 1, 0},
            {22, true, false, 2, "PM: EXP", "POW-MODE: EXPOSE", 0, 1, 1},
            {22, true, true, 0, "PM: STA", "POW-MODE: STA", 0, 0, 1},
            {22, true, false, 1, "PM: DYN", "POW-MODE: DYN", 1, 0, 0},
            {22, false, false, 1, "/ DYN", "/ DYN", 1, 1, 0},
            {22, false, true, 2, "/ EXP", "/ EXP", 0, 1, 1},
        };
    for (const auto &[hwType, master, touch, mode, label, touchLabel, powerDimmed, ownIntDimmed,
                      otherIntDimmed] : cases) {
        SCOPED_TRACE(testing::Message() << hwType << (master ? " master " : " slave ") << mode);
        HWTYPE = hwType;
        tsd_flag = touch;
        for (const auto &[panel, control] :
             {std::pair{pPara1, PARA1_INTTIME}, std::pair{pPara2, PARA2_INTTIME},
              std::pair{pTPara1, TPARA1_INTTIME}, std::pair{pTPara2, TPARA2_INTTIME}})
            SetCtrlAttribute(panel, control, ATTR_DIMMED, 0);
        const auto own = [&](int ma, int sl) { return master ? ma : sl; };
        const auto other = [&](int ma, int sl) { return master ? sl : ma; };
        const int desk = own(pPara1, pPara2), pad = own(pTPara1, pTPara2);
        const int deskMode = own(PARA1_PMODE, PARA2_PMODE),
                  padMode = own(TPARA1_PMODE, TPARA2_PMODE);
        SetCtrlVal(touch ? pad : desk, touch ? padMode : deskMode, mode);
        Dispatch(touch ? pad : desk, touch ? padMode : deskMode, EVENT_COMMIT);
        EXPECT_EQ(value(touch ? desk : pad, touch ? deskMode : padMode), mode) << "mirrored";
        EXPECT_EQ(text(pPA, own(PANEL_LBL_PMODE_MA, PANEL_LBL_PMODE_SL)), label);
        EXPECT_EQ(text(pTGraph, own(TGRAPH_LBL_PMODE_MA, TGRAPH_LBL_PMODE_SL)), touchLabel);
        EXPECT_EQ(text(pTNum, own(TNUM_LBL_PMODE_MA, TNUM_LBL_PMODE_SL)), touchLabel);
        EXPECT_EQ(dimmed(desk, own(PARA1_POWER, PARA2_POWER)), powerDimmed);
        EXPECT_EQ(dimmed(pad, own(TPARA1_INTTIME, TPARA2_INTTIME)), ownIntDimmed);
        EXPECT_EQ(dimmed(other(pPara1, pPara2), other(PARA1_INTTIME, PARA2_INTTIME)),
                  otherIntDimmed);
    }
}

// Each side's teach entry shows on its own side.
TEST_F(Calib, ToleranceAndTeachEntriesShowTheActiveSurfacesValueOnBoth) {
    const std::tuple<int, const int &, int, int, double, const int &, int> cases[] = {
        {1, pTPara0, TPARA0_TOL_UP, EVENT_VAL_CHANGED, 1.234, pPA, PANEL_TOL_UP},
        {1, pTPara1, TPARA1_TEACH_PIX, EVENT_COMMIT, 700, pPara1, PARA1_TEACH_PIX},
        {0, pPA, PANEL_TOL_LO, EVENT_VAL_CHANGED, 0.567, pTPara0, TPARA0_TOL_LO},
        {0, pPara2, PARA2_TEACH_PIX, EVENT_COMMIT, 321, pTPara2, TPARA2_TEACH_PIX},
    };
    for (const auto &[touch, panel, control, event, entry, twinPanel, twin] : cases) {
        tsd_flag = touch;
        SetCtrlVal(panel, control, entry);
        Dispatch(panel, control, event);
        EXPECT_DOUBLE_EQ(real(twinPanel, twin), entry) << entry;
    }
    EXPECT_DOUBLE_EQ(real(pTPara0, TPARA0_TOL_UP), 1.234) << "the other entry stays";
    EXPECT_DOUBLE_EQ(real(pTPara1, TPARA1_TEACH_PIX), 700) << "the master's stays";
}

}  // namespace
