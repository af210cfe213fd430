// The calibration pop-up on real widgets with the simulator as the sensor pair: the file button,
// WRITE of header and table into the sensors' flash, READ, the linearisation switch, and the
// pair set-up controls of both surfaces.
#include <QPlainTextEdit>
#include <QTimer>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "app/hwselect.h"
#include "app/identify.h"
#include "calib/calibpopup.h"
#include "calib/calibtransfer.h"
#include "ktav_panels.h"
#include "link/transport.h"
#include "params/derived.h"
#include "params/transfer.h"
#include "platform/ui/popupscript.h"
#include "shared/files.h"
#include "sim_flash.h"
#include "support.h"

namespace {

// A calibration file with six header lines and 2048 values.
QString writeCalibFile(const QString &path, int32_t type, int32_t range, int32_t offset,
                       const std::vector<uint16_t> &values) {
    QByteArray text = "[HEADER]\nTYPE\t" + QByteArray::number(type) + "\nPARAM1\t3\nRANGE\t" +
                      QByteArray::number(range) + "\nOFFSET\t" + QByteArray::number(offset) +
                      "\nPARAM2\t7\nLENGTH\t2048\n[XFLASH]\n";
    for (uint16_t v : values) text += QByteArray::number(v) + ",\n";
    return writeFile(path, text);
}

// The last text of the main panel's status line.
std::string lastText() {
    return status.texts().empty() ? std::string() : status.texts().back();
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
        SetFrameTap(tapWire);
        ClearPopupAnswers();
        wire.clear();
        status.clear();
        ASSERT_TRUE(dir.isValid());
        // A close carried out after a table write writes the settings file there.
        std::snprintf(appini_pathname, sizeof appini_pathname, "%s",
                      qPrintable(dir.filePath("PX-MS-Vista.ini")));
        DimmCalibElements(0);  // the editing mode shows WRITE and READ
        setSwitch(1);
    }
    void TearDown() override {
        SetFrameTap(nullptr);
        ClearPopupAnswers();
        CloseTCP();
        sim.stop();
        DimmCalibElements(1);
        tsd_flag = 0;
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
    const QString valid =
        writeCalibFile(dir.filePath("valid.dat"), 610409, 12000, 40000, masterValues);
    loadFile(1, valid);
    EXPECT_EQ(std::tie(calibfile_flagA, calibfile_flagB, masl_flag), std::tuple(1, 0, 1));
    EXPECT_EQ(text(pCalib, CALIB_CALIBFILE), valid.toStdString());
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

// A failed table write is told, and the pop-up is cleared for another: the box, the bar, the
// controls. Without a box, or without a valid file for the side, WRITE sends nothing.
TEST_F(Calib, AFailedWriteIsToldAndWithoutBoxOrFileNothingIsSent) {
    loadBothFiles();
    connect({"--fail-flash-page", "4"});
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

TEST_F(Calib, HeaderWithTheCombinedTypeAndATableInOneWriteUseTheCombinedLayout) {
    connect();
    ASSERT_EQ(HWTYPE, 20);
    loadFile(1, writeCalibFile(dir.filePath("two-line.dat"), COMBINED_TYPE_CODE, 25000, 30000,
                               masterValues));
    pressWrite(1, 1, 1);
    EXPECT_EQ(HWTYPE, 22);
    EXPECT_EQ(std::tie(calib[0].typeCode, calib[0].range), std::tuple(COMBINED_TYPE_CODE, 25000))
        << "written: now the sensor's header";
    EXPECT_EQ(wire.orders().front(), ORD_CALIB_WRITE) << "the header comes first";
    EXPECT_EQ(wire.sent(ORD_XF_ERASE), 4);
    EXPECT_EQ(wire.sent(ORD_XF_WRITE), 4) << "the four pages of the combined layout";
}

// A table write pauses with the interface live, so it is refused while anything else may talk
// to the sensor: a loop between or inside its exchanges, an idle exchange under way, a
// recording. A header pressed inside a loop's exchange is written by the loop after it.
TEST_F(Calib, ATableWriteIsRefusedWhileALoopAnExchangeOrARecordingRuns) {
    connect({"--delay-ms", "40"});
    loadBothFiles();
    const struct {
        const char *what;
        StopFlag stop;
        int recstop, ticking;
        int order;  // of the exchange the press comes inside; 0: none
    } cases[] = {
        {"a loop between its exchanges", STOP_RUNNING, 1, 0, 0},
        {"the desktop recorder", STOP_IDLE, 0, 0, 0},
        {"the touch recorder's timer", STOP_IDLE, 1, 1, 0},
        {"an idle GET waiting for its reply", STOP_IDLE, 1, 0, ORD_GET_RAM},
        {"a loop inside an exchange: the SLAVE's header and table", STOP_IDLE, 1, 0, ORD_RAW},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        wire.clear();
        ClearPopupAnswers();
        QueuePopupAnswer(0);
        stop_flag = c.stop;
        recstop_flag = c.recstop;
        SetCtrlAttribute(pTRec, TREC_TIMER, ATTR_ENABLED, c.ticking);
        wire.during = [&](bool request, int order, int n) {
            if (request && order == c.order && n == 1) pressWrite(0, order == ORD_RAW, 1);
            if (request && order == ORD_RAW && n == 3) stop_flag = STOP_IDLE;
        };
        if (c.order == ORD_RAW)
            press(pPA, PANEL_RUN);
        else if (c.order == ORD_GET_RAM)
            PushGET(RAM, 0);
        else
            pressWrite(1, 0, 1);
        stop_flag = STOP_IDLE;
        recstop_flag = 1;
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
    const struct {
        const char *what;
        int sensor;
        int order, n;      // the request during which the operator acts
        int progress;      // the steps done before it
        const int &panel;  // the main panel closed
    } cases[] = {
        {"desktop close at MASTER page 3", 1, ORD_XF_WRITE, 3, 10, pPA},
        {"touch close at SLAVE block 49", 2, ORD_XF_WRITE_SLAVE, 49, 56, pTSD},
    };
    const std::pair<const int &, int> presses[] = {
        {pPA, PANEL_RUN},          {pPA, PANEL_GET},    {pPA, PANEL_STOP},    {pPA, PANEL_TOUCH},
        {pPA, PANEL_TAB_RECORDER}, {pRec, REC_START},   {pTSD, TSD_VIDEO},    {pTSD, TSD_SEND},
        {pTSD, TSD_TOG_GRAPH},     {pTRec, TREC_START}, {pCalib, CALIB_READ},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        connect();
        loadBothFiles();
        int refused = 0;
        wire.during = [&](bool request, int order, int n) {
            if (!request || order != c.order || n != c.n) return;
            EXPECT_EQ(value(pCalib, CALIB_PROGRESS), c.progress);
            EXPECT_EQ(attribute(pCalib, CALIB_PROGRESS, ATTR_VISIBLE), 1);
            // Pressed while the sensor programs its flash: served in the pause that follows.
            QTimer::singleShot(0, [&] {
                EXPECT_EQ(dimmed(pPA, PANEL_RUN) + dimmed(pTSD, TSD_TOG_NUM), 2);
                for (const auto &[panel, control] : presses) {
                    for (int event : {EVENT_LEFT_CLICK, EVENT_COMMIT, EVENT_VAL_CHANGED})
                        Dispatch(panel, control, event);
                    refused +=
                        lastText() == "Writing the calibration table: wait until it is done!";
                }
                Dispatch(c.panel, 0, EVENT_CLOSE);
                EXPECT_EQ(exit_flag, 0);
                EXPECT_EQ(lastText(), "Writing the calibration table: closing when it is done.");
            });
        };
        pressWrite(c.sensor == 1, 0, 1);
        EXPECT_EQ(refused, int(std::size(presses)));
        for (int order : wire.orders())
            EXPECT_TRUE(order == ORD_XF_ERASE || order == ORD_XF_WRITE || order == ORD_XF_READ ||
                        order == ORD_XF_ERASE_SLAVE || order == ORD_XF_WRITE_SLAVE)
                << "order " << order << " inside the table write";
        EXPECT_EQ(lastText(), "Calibration table write ended: closing as asked.");
        EXPECT_EQ(dimmed(pPA, PANEL_RUN), 0) << "enabled again";
        EXPECT_EQ(attribute(pCalib, CALIB_PROGRESS, ATTR_VISIBLE) + value(pCalib, CALIB_WRTABLE),
                  0);
        ASSERT_EQ(exit_flag, 1) << "the close was carried out";
        EXPECT_EQ(RunUserInterface(), 0) << "the event loop was told to quit";
        CloseTCP();
        sim.stop();
        EXPECT_TRUE(flashesOf(false, fileBytes(dir.filePath("state"))) ==
                    flashesWithTable(false, c.sensor, c.sensor, 0x1200, 2048));
        exit_flag = 0;
    }
}

TEST_F(Calib, ReadShowsBothHeadersAndOneFailureDoesNotStopTheOther) {
    ASSERT_TRUE(sim.start({"--drop-every", "2"}));
    ASSERT_TRUE(sim.openTcp());
    ASSERT_EQ(CheckComLine(), 1);  // reply 1; the master's header read is reply 2, dropped
    calib[0].range = 11111;
    calib[1].range = 22222;
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
    const struct {
        int mode;
        const char *explained, *result;
    } cases[] = {
        {1, "Activate spi-master-linearisation ...", "Activate spi-master-linearisation -> Ok!"},
        {2, "Activate spi-slave-linearisation ...", "Activate spi-slave-linearisation -> Ok!"},
        {0, "Deactivate spi-linearisation ...", "Deactivate spi-slave-linarisation -> Ok!"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode);
        wire.clear();
        status.clear();
        SetCtrlAttribute(pCalib, CALIB_LINMODE, ATTR_VISIBLE, 1);
        SetCtrlVal(pCalib, CALIB_LINMODE, c.mode);
        Dispatch(pCalib, CALIB_LINMODE, EVENT_LEFT_CLICK);
        EXPECT_EQ(lastText(), c.explained);
        EXPECT_TRUE(wire.requests.empty());
        Dispatch(pCalib, CALIB_LINMODE, EVENT_COMMIT);
        ASSERT_EQ(wire.orders(), std::vector<int>{ORD_LINEARISATION});
        EXPECT_EQ(wire.requests[0][2], c.mode);
        EXPECT_EQ(lastText(), c.result);
        EXPECT_EQ(attribute(pCalib, CALIB_LINMODE, ATTR_VISIBLE), c.mode != 0);
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
    const struct {
        int touch, evalMode, setpoint;
        const char *caption, *numericCaption;
        double mm;
    } cases[] = {
        {0, 0, 0, "VIRT-OFFSET SL", "VI-OFFS SL", 12.346},
        {0, 1, 0, "VIRT-OFFSET MA", "VI-OFFS MA", 12.346},
        {0, 2, 0, "TOTAL-DISTANCE MA / SL", "DIST M<>S", 12.346},
        {0, 3, 0, "HALF-DISTANCE MA / SL", "DIST/2 M<>S", 6.173},
        {0, 4, 0, "TOTAL-DIFFERENCE MA / SL", "DIFF M<>S", 12.346},
        {0, 5, 0, "TOTAL-DIFFERENCE MA / SL", "DIFF M<>S", 12.346},
        {0, 7, 0, "VIRT-OFFSET MA", "VI-OFFS MA", 12.346},
        {1, 3, 1, "SETPOINT-VALUE", "SETPOINT", 23.456},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.caption);
        tsd_flag = c.touch;
        para.ge.evalMode = static_cast<uint16_t>(c.evalMode);
        SetCtrlVal(c.touch ? pTPara0 : pCalib, c.touch ? TPARA0_MMODE : CALIB_MMODE, c.setpoint);
        Dispatch(c.touch ? pTPara0 : pCalib, c.touch ? TPARA0_MMODE : CALIB_MMODE, EVENT_COMMIT);
        EXPECT_EQ(value(c.touch ? pCalib : pTPara0, c.touch ? CALIB_MMODE : TPARA0_MMODE),
                  c.setpoint)
            << "mirrored";
        EXPECT_EQ(text(pCalib, CALIB_LBL_SETPOINT), c.caption);
        EXPECT_EQ(text(pTPara0, TPARA0_LBL_SETPOINT), c.caption);
        EXPECT_EQ(text(pTNum, TNUM_LBL_SETPOINT), c.numericCaption);
        EXPECT_DOUBLE_EQ(real(pTNum, c.setpoint ? TNUM_SETPOINT : TNUM_VIRTOFFS), c.mm);
        EXPECT_EQ(std::tuple(attribute(pCalib, CALIB_SETPOINT, ATTR_VISIBLE),
                             attribute(pTPara0, TPARA0_VIRTOFFS, ATTR_VISIBLE)),
                  std::tuple(c.setpoint, 1 - c.setpoint));
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
    const struct {
        QWidget *widget;
        int flag, editing, linearisation;
    } cases[] = {{title, 1, 1, 1}, {info, 0, 1, 0}, {info, 1, 1, 1}, {title, 0, 0, 1}};
    for (const auto &c : cases) {
        QTest::mouseDClick(c.widget, Qt::RightButton);
        EXPECT_EQ(dclick_flag, c.flag);
        EXPECT_EQ(attribute(pCalib, CALIB_WRITE, ATTR_VISIBLE), c.editing);
        EXPECT_EQ(attribute(pCalib, CALIB_RANGE_A, ATTR_CTRL_MODE),
                  c.editing ? VAL_HOT : VAL_INDICATOR);
        EXPECT_EQ(attribute(pCalib, CALIB_LINMODE, ATTR_VISIBLE), c.linearisation);
    }
    HidePanel(pCalib);
    HidePanel(pPA);
}

// A power mode chosen on either surface shows on both, with its labels, and dims the entries it
// does not use; the two-line hardware has one integration time for both lines.
TEST_F(Calib, PowerModesSetLabelsAndTheEnablingOnBothSurfaces) {
    const struct {
        uint16_t hwType;
        bool master, touch;
        int mode;
        const char *label, *touchLabel;
        int powerDimmed, ownIntDimmed, otherIntDimmed;
    } cases[] = {
        {20, true, false, 1, "PM: DYN", "POW-MODE: DYN", 1, 0, 0},
        {20, true, false, 2, "PM: EXP", "POW-MODE: EXPOSE", 0, 1, 0},
        {20, true, true, 0, "PM: STA", "POW-MODE: STA", 0, 0, 0},
        {20, false, false, 2, "/ EXP", "/ EXP", 0, 1, 0},
        {22, true, false, 2, "PM: EXP", "POW-MODE: EXPOSE", 0, 1, 1},
        {22, true, true, 0, "PM: STA", "POW-MODE: STA", 0, 0, 1},
        {22, true, false, 1, "PM: DYN", "POW-MODE: DYN", 1, 0, 0},
        {22, false, false, 1, "/ DYN", "/ DYN", 1, 1, 0},
        {22, false, true, 2, "/ EXP", "/ EXP", 0, 1, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.hwType << (c.master ? " master " : " slave ") << c.mode);
        HWTYPE = c.hwType;
        tsd_flag = c.touch;
        for (const auto &[panel, control] :
             {std::pair{pPara1, PARA1_INTTIME}, std::pair{pPara2, PARA2_INTTIME},
              std::pair{pTPara1, TPARA1_INTTIME}, std::pair{pTPara2, TPARA2_INTTIME}})
            SetCtrlAttribute(panel, control, ATTR_DIMMED, 0);
        // Of the side chosen, or of the other one.
        const auto own = [&](int master, int slave) { return c.master ? master : slave; };
        const auto other = [&](int master, int slave) { return c.master ? slave : master; };
        const int desk = own(pPara1, pPara2), touch = own(pTPara1, pTPara2);
        const int mode = own(PARA1_PMODE, PARA2_PMODE), touchMode = own(TPARA1_PMODE, TPARA2_PMODE);
        SetCtrlVal(c.touch ? touch : desk, c.touch ? touchMode : mode, c.mode);
        Dispatch(c.touch ? touch : desk, c.touch ? touchMode : mode, EVENT_COMMIT);
        EXPECT_EQ(value(c.touch ? desk : touch, c.touch ? mode : touchMode), c.mode) << "mirrored";
        EXPECT_EQ(text(pPA, own(PANEL_LBL_PMODE_MA, PANEL_LBL_PMODE_SL)), c.label);
        EXPECT_EQ(text(pTGraph, own(TGRAPH_LBL_PMODE_MA, TGRAPH_LBL_PMODE_SL)), c.touchLabel);
        EXPECT_EQ(text(pTNum, own(TNUM_LBL_PMODE_MA, TNUM_LBL_PMODE_SL)), c.touchLabel);
        EXPECT_EQ(dimmed(desk, own(PARA1_POWER, PARA2_POWER)), c.powerDimmed);
        EXPECT_EQ(dimmed(touch, own(TPARA1_INTTIME, TPARA2_INTTIME)), c.ownIntDimmed);
        EXPECT_EQ(dimmed(other(pPara1, pPara2), other(PARA1_INTTIME, PARA2_INTTIME)),
                  c.otherIntDimmed);
    }
}

// The tolerance and teach entries of the active surface show on both surfaces, each side's
// teach entry on its own side.
TEST_F(Calib, ToleranceAndTeachEntriesShowTheActiveSurfacesValueOnBoth) {
    const struct {
        int touch;
        const int &panel;
        int control, event;
        double entry;
        const int &twinPanel;
        int twin;
    } cases[] = {
        {1, pTPara0, TPARA0_TOL_UP, EVENT_VAL_CHANGED, 1.234, pPA, PANEL_TOL_UP},
        {1, pTPara1, TPARA1_TEACH_PIX, EVENT_COMMIT, 700, pPara1, PARA1_TEACH_PIX},
        {0, pPA, PANEL_TOL_LO, EVENT_VAL_CHANGED, 0.567, pTPara0, TPARA0_TOL_LO},
        {0, pPara2, PARA2_TEACH_PIX, EVENT_COMMIT, 321, pTPara2, TPARA2_TEACH_PIX},
    };
    for (const auto &c : cases) {
        tsd_flag = c.touch;
        SetCtrlVal(c.panel, c.control, c.entry);
        Dispatch(c.panel, c.control, c.event);
        EXPECT_DOUBLE_EQ(real(c.twinPanel, c.twin), c.entry) << c.entry;
    }
    EXPECT_DOUBLE_EQ(real(pTPara0, TPARA0_TOL_UP), 1.234) << "the other entry stays";
    EXPECT_DOUBLE_EQ(real(pTPara1, TPARA1_TEACH_PIX), 700) << "the master's stays";
}

}  // namespace
