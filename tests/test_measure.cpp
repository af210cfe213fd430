// Live measurement on real widgets with the simulator as the sensor pair: the RUN and VIDEO
// loops with their deferred requests, the measurement displays, and the main panel's controls.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/appini.h"
#include "app/bindings.h"
#include "app/exchangeguard.h"
#include "app/identify.h"
#include "app/linkview.h"
#include "app/maincontrols.h"
#include "app/shell.h"
#include "app/stopaction.h"
#include "calib/calibfile.h"
#include "ktav_panels.h"
#include "link/commands.h"
#include "link/frame.h"
#include "link/status.h"
#include "link/transport.h"
#include "measure/acquisition.h"
#include "measure/displays.h"
#include "measure/evaluation.h"
#include "panel_probe.h"
#include "params/appsettings.h"
#include "params/derived.h"
#include "params/panelmap.h"
#include "params/paramblock.h"
#include "params/paramfile.h"
#include "params/profiles.h"
#include "params/settingsview.h"
#include "params/transfer.h"
#include "platform/ui/kgraph.h"
#include "platform/ui/popupscript.h"
#include "platform/ui/runtime.h"
#include "platform/ui/userint.h"
#include "program_fixture.h"
#include "scripted_peer.h"
#include "shared/files.h"
#include "shared/panels.h"
#include "shared/state.h"
#include "sim_process.h"
#include "touch/touchdisplays.h"

namespace {

// Order codes of the requests sent, the texts shown on the main panel, and a hook that plays
// the operator while a frame is on its way (request) or has arrived (reply).
std::vector<int> orders;
std::vector<std::string> texts;
std::function<void(bool request, int order, int count)> duringExchange;
int requestsOf[256];
int repliesOf[256];
std::vector<std::vector<uint8_t>> requestFrames, replyFrames;

void tap(bool request, const uint8_t *bytes, int count) {
    if (count < 2) return;
    const int order = bytes[1];
    const int n = request ? ++requestsOf[order] : ++repliesOf[order];
    if (request) orders.push_back(order);
    (request ? requestFrames : replyFrames).emplace_back(bytes, bytes + count);
    if (duringExchange) duringExchange(request, order, n);
    if (request && n > 500) stop_flag = STOP_IDLE;  // a loop that was not stopped
}

void recordStatus(unsigned fields, const char *text) {
    if (fields & ST_PA) texts.emplace_back(text);
}

// An operator's real mouse click on a control: a dimmed control takes none.
void click(int panel, int control) {
    QTest::mouseClick(FindCtrl(panel, control)->widget, Qt::LeftButton);
}

bool anyTextHas(const char *part) {
    for (const std::string &t : texts)
        if (t.find(part) != std::string::npos) return true;
    return false;
}

// The texts of a log file, without their time stamps.
std::vector<std::string> logLines(const QString &path) {
    QFile file(path);
    std::vector<std::string> lines;
    if (!file.open(QIODevice::ReadOnly)) return lines;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        const int text = line.indexOf("  ");
        lines.push_back(text < 0 ? line.toStdString() : line.mid(text + 2).toStdString());
    }
    return lines;
}

KGraph *graph(int panel, int control) {
    return static_cast<KGraph *>(FindCtrl(panel, control)->widget);
}

// An operator's press: left click, then commit.
void press(CtrlCallbackPtr callback, int panel, int control) {
    callback(panel, control, EVENT_LEFT_CLICK, nullptr, 0, 0);
    callback(panel, control, EVENT_COMMIT, nullptr, 0, 0);
}

std::vector<std::string> cycleTexts() {
    std::vector<std::string> cycles;
    for (const std::string &t : texts) {
        if (t == "Transmission successful  ---> Line Ok!") cycles.push_back("--->");
        if (t == "Transmission successful <---  Line Ok!") cycles.push_back("<---");
    }
    return cycles;
}

class Measure : public ProgramTest {
  protected:
    void SetUp() override {
        ResetProgramState();
        SetLinkView({.status = recordStatus, .exchange = GuardExchange});
        SetFrameTap(tap);
        ClearPopupAnswers();
        clearRecords();
        ASSERT_TRUE(dir.isValid());
        std::snprintf(proj_dir, sizeof proj_dir, "%s", dir.path().toUtf8().constData());
    }
    void TearDown() override {
        SetFrameTap(nullptr);
        ClearPopupAnswers();
        CloseTCP();
        sim.stop();
    }

    static void clearRecords() {
        orders.clear();
        requestFrames.clear();
        replyFrames.clear();
        texts.clear();
        duringExchange = nullptr;
        std::memset(requestsOf, 0, sizeof requestsOf);
        std::memset(repliesOf, 0, sizeof repliesOf);
    }

    // Starts the simulator, connects over TCP and identifies the pair as the start-up does.
    void connect(const QStringList &options = {}) {
        CloseTCP();
        ASSERT_TRUE(
            sim.start(QStringList{"--master-type", "610407", "--slave-type", "611589"} + options));
        comtype = 1;
        std::snprintf(szIPhostName, sizeof szIPhostName, "127.0.0.1");
        tcp_portnum = sim.tcpPort();
        ASSERT_EQ(InitTCP_IP(), 1);
        ASSERT_EQ(InitDataExchange(), 1);
        clearRecords();
    }

    SimProcess sim;
    QTemporaryDir dir;
};

// ---- RUN and VIDEO ---------------------------------------------------------------------------

TEST_F(Measure, RunAlternatesItsTextAndStopsAfterTheCycleOfStop) {
    connect();
    duringExchange = [](bool request, int order, int n) {
        if (request && order == ORD_RAW && n == 3)
            CC_BTNStop(pPA, PANEL_STOP, EVENT_LEFT_CLICK, nullptr, 0, 0);
    };
    press(CC_BTNRun, pPA, PANEL_RUN);
    EXPECT_EQ(orders, (std::vector<int>{ORD_RAW, ORD_RAW, ORD_RAW}));
    EXPECT_EQ(cycleTexts(), (std::vector<std::string>{"--->", "<---", "--->"}));
    EXPECT_EQ(texts.back(), "Data-Transfer Stopped!");
    EXPECT_EQ(stop_flag, STOP_IDLE);

    // The displays show the last record.
    EXPECT_EQ(umValue, SelectedValue(raw, para.ge.analogOutMode));
    EXPECT_DOUBLE_EQ(real(pPA, PANEL_MEASVALUE), umValue / 1000.0);
    EXPECT_EQ(value(pPA, PANEL_POS_MASTER), raw.posA);
    EXPECT_EQ(graph(pPA, PANEL_GRAPH_MASTER)->cursorPosition(1).x(),
              ClampPosition(raw.posA, PixelCount()));
    EXPECT_EQ(graph(pPA, PANEL_STRIPCHART)->traceColor(7), QColor(0x0000FF));
    for (int control : {PANEL_RUN, PANEL_VIDEO, PANEL_GET, PANEL_SEND, PANEL_TEACH})
        EXPECT_EQ(attribute(pPA, control, ATTR_DIMMED), 0) << control;
    EXPECT_EQ(attribute(pRec, REC_START, ATTR_DIMMED), 1) << "re-enabled by the STOP commit only";
    EXPECT_EQ(attribute(pPA, PANEL_STRIPCHART, ATTR_VISIBLE), 1);
    EXPECT_EQ(attribute(pPA, PANEL_VIDEO_MASTER, ATTR_VISIBLE), 0);
    CC_BTNStop(pPA, PANEL_STOP, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(attribute(pRec, REC_START, ATTR_DIMMED), 0);
}

// Replies from the simulator come at once, without an event-loop pass in the exchange: the loop
// itself must serve the events, or STOP would wait for ever.
TEST_F(Measure, StopPressedFromTheEventLoopEndsRunAgainstAFastDevice) {
    connect();
    duringExchange = [](bool request, int order, int n) {
        if (!request || order != ORD_RAW) return;
        if (n == 2) QTimer::singleShot(0, [] { click(pPA, PANEL_STOP); });
        if (n == 200) stop_flag = STOP_IDLE;  // a bound for the test, not the way it should end
    };
    press(CC_BTNRun, pPA, PANEL_RUN);
    EXPECT_LE(orders.size(), 4u) << "STOP served only after " << orders.size() << " cycles";
    EXPECT_EQ(texts.back(), "Data-Transfer Stopped!");
}

TEST_F(Measure, RequestsDuringRunAreServedAfterTheCycleInTheirOrder) {
    connect();
    duringExchange = [](bool request, int order, int n) {
        if (!request || order != ORD_RAW) return;
        if (n == 2) {
            press(CC_BTNSend, pPA, PANEL_SEND);
            press(CC_ButtonReset, pPA, PANEL_RESET);
            press(CC_ButtonTeach, pPA, PANEL_TEACH);
            EXPECT_EQ(send_flag, 1);
            EXPECT_EQ(teach_flag, 1);
            EXPECT_EQ(reset_flag, 1);
            // The teach markers move at once, before the sensor teaches.
            KGraph *master = graph(pPA, PANEL_GRAPH_MASTER);
            EXPECT_EQ(master->cursorPosition(1), QPointF(para.ma.teachValue, 0.75));
            EXPECT_EQ(master->cursorPosition(2), QPointF(para.ma.teachValue, 0.25));
            EXPECT_EQ(graph(pPA, PANEL_GRAPH_SLAVE)->cursorPosition(2),
                      QPointF(para.sl.teachValue, 0.25));
        }
        if (n == 4) stop_flag = STOP_IDLE;
    };
    press(CC_BTNRun, pPA, PANEL_RUN);
    EXPECT_EQ(orders, (std::vector<int>{ORD_RAW, ORD_RAW, ORD_SEND_RAM, ORD_SEND_RAM, ORD_SEND_RAM,
                                        ORD_TEACH, ORD_RESET, ORD_RAW, ORD_RAW}));
    EXPECT_EQ(send_flag + teach_flag + reset_flag, 0);
    EXPECT_EQ(stop_flag, STOP_IDLE);
}

// Pixels of a graph as the operator sees them in one colour.
int pixelsOf(int panel, int control, QRgb colour) {
    const QImage image =
        graph(panel, control)->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == colour;
    return count;
}

// What the displays of both surfaces showed of the last record is not current once a loop lost
// the link: dimmed, no tolerance colour, lamps off, the object bars faded; a surface's next
// record makes its own displays current again.
void expectNotCurrent(bool desktop, bool touch) {
    const struct {
        int panel, control;
        bool notCurrent;
    } displays[] = {
        {pPA, PANEL_MEASVALUE, desktop},    {pPA, PANEL_POS_VALUE, desktop},
        {pPA, PANEL_VALUE_ANA1, desktop},   {pPA, PANEL_GRAPH_SLAVE, desktop},
        {pTMval, TMVAL_MEASVALUE, touch},   {pTNum, TNUM_VALUE_ANA23, touch},
        {pTGraph, TGRAPH_LED_INTOL, touch}, {pTSD, TSD_GRAPH_MASTER, touch},
    };
    for (const auto &d : displays) {
        EXPECT_EQ(dimmed(d.panel, d.control), d.notCurrent) << d.control;
        const int background = attribute(d.panel, d.control, ATTR_TEXT_BGCOLOR);
        const bool toleranceColour = background == 0xFF0000 || background == 0x008000;
        EXPECT_FALSE(d.notCurrent && toleranceColour) << d.control;
    }
    if (touch) {
        for (int lamp : {TGRAPH_LED_INTOL, TGRAPH_LED_ABOVE, TGRAPH_LED_BELOW})
            EXPECT_EQ(value(pTGraph, lamp), 0) << lamp;
    }
    EXPECT_EQ(pixelsOf(pPA, PANEL_GRAPH_MASTER, qRgb(255, 0, 0)) == 0, desktop) << "object bar";
}

TEST_F(Measure, ATimeoutLeavesTheDisplaysNotCurrentAndItsRequestWaitsForTheNextLoop) {
    connect();
    duringExchange = [](bool request, int order, int n) {
        if (request && order == ORD_RAW && n == 2) stop_flag = STOP_IDLE;
    };
    press(CC_BTNRun, pPA, PANEL_RUN);
    PlotTSD_VIDEOBarGraph();  // the touch surface shows the same record
    expectNotCurrent(false, false);

    sim.stop();
    clearRecords();
    SetCtrlVal(pPA, PANEL_MEASVALUE, 12.345);
    double history[std::size(arrayNORM)];
    std::memcpy(history, arrayNORM, sizeof history);
    press(CC_BTNRun, pPA, PANEL_RUN);
    EXPECT_EQ(stop_flag, STOP_TIMEOUT);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], "Timeout TCP-Server-error!");
    EXPECT_EQ(texts.back(), "Timeout RS232 Line!");
    EXPECT_DOUBLE_EQ(real(pPA, PANEL_MEASVALUE), 12.345);
    EXPECT_EQ(std::memcmp(history, arrayNORM, sizeof history), 0);
    expectNotCurrent(true, true);

    press(CC_ButtonTeach, pPA, PANEL_TEACH);
    EXPECT_EQ(teach_flag, 1);
    EXPECT_EQ(orders, std::vector<int>{ORD_RAW}) << "no TEACH sent after the time-out";

    connect();
    duringExchange = [](bool request, int order, int n) {
        if (request && order == ORD_RAW && n == 2) stop_flag = STOP_IDLE;
    };
    teach_flag = 1;
    press(CC_BTNRun, pPA, PANEL_RUN);
    EXPECT_EQ(orders, (std::vector<int>{ORD_RAW, ORD_TEACH, ORD_RAW}));
    EXPECT_EQ(teach_flag, 0);
    expectNotCurrent(false, true);

    // Idle, TEACH teaches at once and leaves nothing for the next loop.
    press(CC_ButtonTeach, pPA, PANEL_TEACH);
    EXPECT_EQ(orders.back(), ORD_TEACH);
    EXPECT_EQ(teach_flag, 0);
}

TEST_F(Measure, AnExitRequestEndsRunAfterItsCycleButNotVideo) {
    connect();
    duringExchange = [](bool request, int order, int n) {
        if (!request && order == ORD_RAW && n == 2) exit_flag = 1;
    };
    press(CC_BTNRun, pPA, PANEL_RUN);
    EXPECT_EQ(orders, (std::vector<int>{ORD_RAW, ORD_RAW}));
    EXPECT_EQ(stop_flag, STOP_IDLE);
    EXPECT_EQ(texts.back(), "Data-Transfer Stopped!");

    // VIDEO goes on to its next exchange, which the closing program abandons.
    clearRecords();
    exit_flag = 0;
    duringExchange = [](bool request, int order, int n) {
        if (!request && order == ORD_VIDEO && n == 1) exit_flag = 1;
    };
    press(CC_BTNVideo, pPA, PANEL_VIDEO);
    EXPECT_EQ(orders, (std::vector<int>{ORD_RAW, ORD_VIDEO, ORD_RAW}));
    EXPECT_EQ(stop_flag, STOP_IDLE);
    EXPECT_EQ(texts.back(), "Data-Transfer Stopped!") << "closing is no time-out";
}

TEST_F(Measure, VideoForcesRamAndDrawsBothProfilesWithTheirThresholds) {
    connect();
    SetCtrlVal(pPA, PANEL_EEPROM, 1);
    CC_RBTEeprom(pPA, PANEL_EEPROM, EVENT_VAL_CHANGED, nullptr, 0, 0);
    ASSERT_EQ(target, EEPROM);
    duringExchange = [](bool request, int order, int n) {
        if (request && order == ORD_VIDEO && n == 2) stop_flag = STOP_IDLE;
    };
    press(CC_BTNVideo, pPA, PANEL_VIDEO);
    EXPECT_EQ(orders, (std::vector<int>{ORD_RAW, ORD_VIDEO, ORD_RAW, ORD_VIDEO}));
    EXPECT_EQ(target, RAM);
    EXPECT_EQ(value(pPA, PANEL_RAM), 1);
    EXPECT_EQ(value(pPA, PANEL_EEPROM), 0);
    EXPECT_EQ(value(pTSD, TSD_RAM), 1);
    EXPECT_EQ(value(pTSD, TSD_EEPROM), 0);
    EXPECT_EQ(cycleTexts(), (std::vector<std::string>{"--->", "<---"}));
    EXPECT_EQ(attribute(pPA, PANEL_VIDEO_MASTER, ATTR_VISIBLE), 1);
    EXPECT_EQ(attribute(pPA, PANEL_STRIPCHART, ATTR_VISIBLE), 0);
    EXPECT_EQ(attribute(pRec, REC_START, ATTR_DIMMED), 1);
    for (int control : {PANEL_VIDEO_MASTER, PANEL_VIDEO_SLAVE}) {
        KGraph *g = graph(pPA, control);
        EXPECT_EQ(g->plotCount(), 2);
        EXPECT_EQ(g->axisRange(KGraph::LeftYAxis), std::make_pair(0.0, double(ADCMAX)));
    }
}

// ---- Displays --------------------------------------------------------------------------------

class Displays : public Measure {
  protected:
    void SetUp() override {
        Measure::SetUp();
        std::memset(&raw, 0, sizeof raw);
        hwinfo.subpixels = 1024;   // the displays' pixel count
        hwinfo.pixelCount = 8192;  // the range check's, not theirs
        para.ge.hardwareMode = 0;
        para.ge.evalMode = 1;
        umRange = umRangeA = umRangeB = 10000;
    }
};

TEST_F(Displays, TheLimitsBelongToTheToleranceBand) {
    umloTHD = 54000;
    umupTHD = 56000;
    const struct {
        int32_t value;
        int colour;
        int inTol, above, below;  // the touch lamps
    } cases[] = {{56000, 0x008000, 1, 0, 0},
                 {56001, 0xFF0000, 0, 1, 0},
                 {54000, 0x008000, 1, 0, 0},
                 {53999, 0xFF0000, 0, 0, 1},
                 {55000, 0x008000, 1, 0, 0}};
    // The touch numeric panel (NUM on, a loop running) and the graph panel have their lamps.
    const struct {
        int num, panel, inTol, above, below;
    } lamps[] = {{1, pTNum, TNUM_LED_INTOL, TNUM_LED_ABOVE, TNUM_LED_BELOW},
                 {0, pTGraph, TGRAPH_LED_INTOL, TGRAPH_LED_ABOVE, TGRAPH_LED_BELOW}};
    for (const auto &c : cases) {
        raw.umValue = c.value;
        PlotVIDEOBarGraph();
        EXPECT_EQ(attribute(pPA, PANEL_MEASVALUE, ATTR_TEXT_BGCOLOR), c.colour) << c.value;
        EXPECT_EQ(attribute(pPA, PANEL_POS_VALUE, ATTR_TEXT_BGCOLOR), c.colour) << c.value;
        for (const auto &l : lamps) {
            SetCtrlVal(pTSD, TSD_TOG_NUM, l.num);
            stop_flag = STOP_RUNNING;
            PlotTSD_VIDEOBarGraph();
            stop_flag = STOP_IDLE;
            EXPECT_EQ(std::make_tuple(value(l.panel, l.inTol), value(l.panel, l.above),
                                      value(l.panel, l.below)),
                      std::make_tuple(c.inTol, c.above, c.below))
                << c.value << " num " << l.num;
        }
        EXPECT_EQ(attribute(pTNum, TNUM_MEASVALUE, ATTR_TEXT_BGCOLOR), c.colour) << c.value;
    }
}

// Within twice the wider tolerance of the nominal value the band is shown; beyond it four
// times, and a value outside that widens the side it lies on: to the axis limit when the upper
// tolerance is the wider, else by one more tolerance.
TEST_F(Displays, TheZoomRangeWidensTowardsTheValue) {
    const struct {
        int32_t value, up, lo;  // around the nominal value 50000; axis 30 to 70 mm
        int64_t bottom, top;
    } cases[] = {
        {52000, 51000, 49500, 48000, 52000}, {48000, 51000, 49500, 48000, 52000},
        {52001, 51000, 49500, 46000, 54000}, {54001, 51000, 49500, 46000, 70000},
        {45999, 51000, 49500, 30000, 54000}, {54001, 50500, 49000, 46000, 55000},
        {45999, 50500, 49000, 45000, 54000}, {54001, 51000, 49000, 46000, 55000},
    };
    for (const auto &c : cases) {
        const ZoomRange z = ComputeZoomRange(c.value, 50000, c.up, c.lo, 70, 30);
        EXPECT_EQ(std::make_pair(z.bottom, z.top), std::make_pair(c.bottom, c.top))
            << c.value << " " << c.up << " " << c.lo;
    }
}

// Each pop-up shows its own sensor's record values by its own power mode, on both surfaces.
TEST_F(Displays, EachSensorsPowerFieldsShowItsOwnValues) {
    HWTYPE = 20;
    raw.powerA = 111;
    raw.powerB = 222;
    raw.milliA = 12600;
    raw.milliB = 20400;
    const struct {
        uint16_t masterMode, slaveMode;
        int masterPower, slavePower;   // 0: left as it was
        double masterTime, slaveTime;  // 5.0: left at the field's lowest
    } cases[] = {{1, 2, 111, 0, 5.0, 20.4}, {2, 1, 0, 222, 12.6, 5.0}};
    const struct {
        int panel, power, time;
    } fields[2][2] = {
        {{pPara1, PARA1_POWER, PARA1_INTTIME}, {pPara2, PARA2_POWER, PARA2_INTTIME}},
        {{pTPara1, TPARA1_POWER, TPARA1_INTTIME}, {pTPara2, TPARA2_POWER, TPARA2_INTTIME}}};
    SetCtrlVal(pTSD, TSD_TOG_NUM, 0);
    for (const auto &c : cases) {
        para.ma.powerMode = c.masterMode;
        para.sl.powerMode = c.slaveMode;
        for (const auto &surface : fields)
            for (const auto &f : surface) {
                SetCtrlVal(f.panel, f.power, 0);
                SetCtrlVal(f.panel, f.time, 5.0);
            }
        PlotVIDEOBarGraph();
        PlotTSD_VIDEOBarGraph();
        for (const auto &[master, slave] : fields) {
            EXPECT_EQ(value(master.panel, master.power), c.masterPower) << c.masterMode;
            EXPECT_EQ(value(slave.panel, slave.power), c.slavePower) << c.masterMode;
            EXPECT_EQ(real(master.panel, master.time), c.masterTime) << c.masterMode;
            EXPECT_EQ(real(slave.panel, slave.time), c.slaveTime) << c.masterMode;
        }
    }
}

TEST_F(Displays, PositionsAndWindowsAreClampedToTheLine) {
    const struct {
        uint16_t position;
        double cursor;
    } cases[] = {{0, 1}, {1, 1}, {500, 500}, {1024, 1024}, {1100, 1024}, {65535, 1024}};
    for (const auto &c : cases) {
        raw.posA = c.position;
        PlotVIDEOBarGraph();
        EXPECT_EQ(graph(pPA, PANEL_GRAPH_MASTER)->cursorPosition(1), QPointF(c.cursor, 0.75))
            << c.position;
        EXPECT_EQ(curposA, c.cursor);
    }
    const struct {
        int64_t left, right;
        double clampedLeft, clampedRight;
    } windows[] = {{-5, 100, 1, 100},
                   {0, 1023, 0, 1023},
                   {10, 1024, 10, 1024},
                   {10, 5000, 10, 1024},
                   {600, 400, 600, 400}};
    for (const auto &w : windows) {
        const Window got = ClampWindow(w.left, w.right, 1024);
        EXPECT_EQ(got.left, w.clampedLeft) << w.left;
        EXPECT_EQ(got.right, w.clampedRight) << w.right;
    }
}

TEST_F(Displays, CombinedPositionPlacesTheSetPointCursorInPairModes) {
    const struct {
        uint16_t mode, combined;
        int masterStyle, slaveStyle;
        double masterX, slaveX;  // -1: not moved
        uint16_t stored;
    } cases[] = {
        {3, 1124, VAL_SOLID_SQUARE, VAL_NO_POINT, 100, -1, 1124},
        {4, 924, VAL_NO_POINT, VAL_SOLID_SQUARE, -1, 100, 924},
        {5, 1024, VAL_NO_POINT, VAL_NO_POINT, -1, -1, 1024},
        {3, 2047, VAL_SOLID_SQUARE, VAL_NO_POINT, 1023, -1, 2047},
        {3, 2048, VAL_SOLID_SQUARE, VAL_NO_POINT, 1024, -1, 2048},
        {4, 65535, VAL_SOLID_SQUARE, VAL_NO_POINT, 1024, -1, 2048},
        {5, 0, VAL_NO_POINT, VAL_SOLID_SQUARE, -1, 1024, 0},
    };
    KGraph *master = graph(pPA, PANEL_GRAPH_MASTER), *slave = graph(pPA, PANEL_GRAPH_SLAVE);
    for (const auto &c : cases) {
        para.ge.evalMode = c.mode;
        raw.posCombined = c.combined;
        SetGraphCursor(pPA, PANEL_GRAPH_MASTER, 2, -1, 0);
        SetGraphCursor(pPA, PANEL_GRAPH_SLAVE, 2, -1, 0);
        PlotVIDEOBarGraph();
        EXPECT_EQ(master->cursorPointStyle(2), c.masterStyle) << c.combined;
        EXPECT_EQ(slave->cursorPointStyle(2), c.slaveStyle) << c.combined;
        EXPECT_EQ(master->cursorPosition(2).x(), c.masterX) << c.combined;
        EXPECT_EQ(slave->cursorPosition(2).x(), c.slaveX) << c.combined;
        EXPECT_EQ(raw.posCombined, c.stored);
    }
}

// A GET or TEACH served between RUN cycles draws the grey area over the position graphs; the
// next cycle draws the object, its window and cursors again, though nothing moved.
TEST_F(Displays, PositionGraphsAreRedrawnAfterAnythingElseDrewOnThem) {
    raw.posA = 300;
    raw.posB = 700;
    raw.startA = 290;
    raw.endA = 310;
    PlotVIDEOBarGraph();
    KGraph *master = graph(pPA, PANEL_GRAPH_MASTER), *slave = graph(pPA, PANEL_GRAPH_SLAVE);
    const int plots[] = {master->plotCount(), slave->plotCount()};
    SetPanelValues();
    SetGraphCursor(pPA, PANEL_GRAPH_MASTER, 1, 0, 0);
    PlotVIDEOBarGraph();
    EXPECT_EQ(master->plotCount(), plots[0]);
    EXPECT_EQ(slave->plotCount(), plots[1]);
    EXPECT_EQ(master->cursorPosition(1), QPointF(300, 0.75));
    EXPECT_EQ(slave->cursorPosition(1), QPointF(700, 0.75));
}

// The green tolerance windows (left and right ends) on a position graph.
std::vector<std::pair<double, double>> windowsOn(int graphControl) {
    std::vector<std::pair<double, double>> windows;
    for (const auto &[area, fill] : graph(pPA, graphControl)->rectangles())
        if (fill == QColor(0x00, 0xFF, 0x00)) windows.emplace_back(area.left(), area.right());
    return windows;
}

// Every evaluation mode with unequal tolerances, ranges, teach pixels and positions: each
// window sits on its own side, as wide as its own tolerance over its own range.
TEST_F(Displays, ToleranceWindowsOfEveryEvaluationModeKeepTheSidesApart) {
    umRange = 20000;   // single and WIDTH modes: upper 102 pixels, lower 25
    umRangeA = 10000;  // pair modes: the upper tolerance over the master's range, 204 pixels
    umRangeB = 40000;  // and the lower over the slave's, 12 pixels
    para.ge.umUpperTolerance = 2000;
    para.ge.umLowerTolerance = 500;
    para.ma.teachValue = 300;
    para.sl.teachValue = 700;
    raw.posA = 320;
    raw.posB = 660;
    raw.edgeA = 200;
    raw.edgeB = 210;
    using W = std::vector<std::pair<double, double>>;
    const struct {
        uint16_t mode, measurementMode;
        W master, slave;
    } cases[] = {
        {0, 0, {}, {{675, 802}}},
        {0, 1, {}, {{598, 725}}},  // set-point mode turns the window round
        {1, 0, {{275, 402}}, {}},
        {1, 1, {{198, 325}}, {}},
        {2, 0, {{223, 350}}, {{563, 690}}},  // each window follows its object
        {3, 0, {{1, 204}}, {{1, 12}}},
        {4, 0, {{1, 204}}, {{1, 12}}},
        {5, 1, {{1, 204}}, {{1, 12}}},
        {6, 0, {}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " set-point " << c.measurementMode);
        para.ge.evalMode = c.mode;
        para.ge.measurementMode = c.measurementMode;
        PlotVIDEOBarGraph();
        EXPECT_EQ(windowsOn(PANEL_GRAPH_MASTER), c.master);
        EXPECT_EQ(windowsOn(PANEL_GRAPH_SLAVE), c.slave);
    }
}

TEST_F(Displays, StripChartKeepsTheLastHundredSamplesOfEachTrace) {
    for (int i = 1; i <= 150; ++i) {
        raw.posA = static_cast<uint16_t>(i);
        raw.posB = static_cast<uint16_t>(1000 + i);
        PlotRAWGraph();
    }
    std::vector<double> expectedA, expectedB;
    for (int i = 51; i <= 150; ++i) {
        expectedA.push_back(i);
        expectedB.push_back(1000 + i);
    }
    std::vector<double> traceA, traceB;
    for (int s = 0; s < STRIP_SAMPLES; ++s) {
        traceA.push_back(arrayNORM[s * STRIP_TRACES + 5]);
        traceB.push_back(arrayNORM[s * STRIP_TRACES + 6]);
    }
    EXPECT_EQ(traceA, expectedA);
    EXPECT_EQ(traceB, expectedB);
    const std::vector<double> shown = graph(pPA, PANEL_STRIPCHART)->traceValues(6);
    ASSERT_GE(shown.size(), expectedA.size());
    EXPECT_EQ(std::vector<double>(shown.end() - 100, shown.end()), expectedA);
}

TEST_F(Displays, TheAnalogTraceFollowsTheAnalogOutputMode) {
    CalcUMThresholds(para.ge.evalMode);
    const int top = YAXISMAX - 1;
    const struct {
        uint16_t mode;
        int32_t analog23;
        double plotted;
    } cases[] = {{0, 7000, 3.0},  {1, 7000, 5.0},       {2, 7000, 7.0}, {2, top, 0.001},
                 {3, top, 0.001}, {3, -1, 4294967.295}, {4, 7000, 3.0}};
    for (const auto &c : cases) {
        para.ge.analogOutMode = c.mode;
        raw.umValue = 3000;
        raw.umAnalog1 = 5000;
        raw.umAnalog23 = c.analog23;
        PlotRAWGraph();
        EXPECT_EQ(YAXISMAX - 1, top);
        EXPECT_DOUBLE_EQ(arrayNORM[(STRIP_SAMPLES - 1) * STRIP_TRACES + 2], c.plotted) << c.mode;
    }
}

// Records no sensor should send: nothing crashes, positions stay on the line, a zero range
// leaves the windows empty.
TEST_F(Displays, RecordsOutOfAnyRangeAreDrawnSafely) {
    const struct {
        uint16_t evalMode, hardwareMode;
        int32_t range;
        int windows;  // rectangles on the master graph beside the object
    } settings[] = {{1, 0, 10000, 1}, {1, 0, 0, 0},     {3, 0, 0, 0},        {2, 2, -5, 0},
                    {4, 1, 0, 1},     {6, 0, 10000, 0}, {0, 0, INT32_MAX, 0}};
    for (const auto &s : settings) {
        para.ge.evalMode = s.evalMode;
        para.ge.hardwareMode = s.hardwareMode;
        para.ge.umUpperTolerance = INT32_MIN;
        para.ge.umLowerTolerance = -1;
        para.ma.teachValue = 65535;
        umRange = umRangeA = umRangeB = s.range;
        std::memset(&raw, 0xFF, sizeof raw);
        raw.startA = 900;
        raw.endA = 10;
        raw.umValue = INT32_MIN;
        umTeach = INT32_MAX;
        umupTHD = INT32_MIN;
        umloTHD = INT32_MAX;
        PlotVIDEOBarGraph();
        PlotRAWGraph();
        EXPECT_EQ(peakwA, 1);
        EXPECT_EQ(curposA, 1024);
        EXPECT_EQ(graph(pPA, PANEL_GRAPH_MASTER)->plotCount(), 1 + s.windows) << s.evalMode;
    }
}

// ---- Controls --------------------------------------------------------------------------------

TEST_F(Measure, TargetSelectorsKeepExactlyOneTarget) {
    const struct {
        int panel, control;
        CtrlCallbackPtr callback;
        int on, target;
        int ram, eeprom, file, touchRam, touchEeprom;
    } steps[] = {
        {pPA, PANEL_EEPROM, CC_RBTEeprom, 1, EEPROM, 0, 1, 0, 0, 1},
        {pPA, PANEL_EEPROM, CC_RBTEeprom, 0, RAM, 1, 0, 0, 1, 0},
        {pPA, PANEL_RAM, CC_RBTRam, 0, RAM, 1, 0, 0, 1, 0},  // RAM cannot be switched off
        {pTSD, TSD_EEPROM, CC_RBTEeprom, 1, EEPROM, 0, 1, 0, 0, 1},
        {pPA, PANEL_FILE, CC_RBTFile, 1, DATFILE, 0, 0, 1, 0, 1},  // touch keeps its choice
        {pTSD, TSD_RAM, CC_RBTRam, 1, RAM, 1, 0, 0, 1, 0},
        {pPA, PANEL_FILE, CC_RBTFile, 1, DATFILE, 0, 0, 1, 1, 0},
        {pPA, PANEL_FILE, CC_RBTFile, 0, RAM, 1, 0, 0, 1, 0},
    };
    int i = 0;
    for (const auto &s : steps) {
        SetCtrlVal(s.panel, s.control, s.on);
        s.callback(s.panel, s.control, EVENT_VAL_CHANGED, nullptr, 0, 0);
        EXPECT_EQ(target, s.target) << i;
        EXPECT_EQ(value(pPA, PANEL_RAM), s.ram) << i;
        EXPECT_EQ(value(pPA, PANEL_EEPROM), s.eeprom) << i;
        EXPECT_EQ(value(pPA, PANEL_FILE), s.file) << i;
        EXPECT_EQ(value(pTSD, TSD_RAM), s.touchRam) << i;
        EXPECT_EQ(value(pTSD, TSD_EEPROM), s.touchEeprom) << i;
        ++i;
    }
}

TEST_F(Measure, HardwareModesOneAndThreeDimTheToleranceEntries) {
    for (int mode : {0, 1, 2, 3, 4}) {
        SetCtrlVal(pPara0, PARA0_HWMODE, mode);
        CC_DROPHardwareMode(pPara0, PARA0_HWMODE, EVENT_COMMIT, nullptr, 0, 0);
        const int dimmed = mode == 1 || mode == 3;
        EXPECT_EQ(attribute(pPA, PANEL_TOL_UP, ATTR_DIMMED), dimmed) << mode;
        EXPECT_EQ(attribute(pPA, PANEL_TOL_LO, ATTR_DIMMED), dimmed) << mode;
        EXPECT_EQ(attribute(pTPara0, TPARA0_TOL_UP, ATTR_DIMMED), dimmed) << mode;
        EXPECT_EQ(attribute(pTNum, TNUM_TOLMINUS, ATTR_DIMMED), dimmed) << mode;
    }
}

TEST_F(Measure, SendToFileWritesANewFileSilentlyAndAsksBeforeOverwriting) {
    const std::string path = dir.filePath("PARA.ini").toStdString();
    const std::string missingDir = dir.filePath("no/such/dir/PARA.ini").toStdString();
    target = DATFILE;
    SetCtrlVal(pPA, PANEL_FILE, 1);
    SetPanelValues();
    const struct {
        std::vector<std::pair<int, std::string>> answers;  // file dialog, then confirmation
        int power;                                         // shown when pressing SEND
        std::string text;
        int storedPower;  // in the file afterwards; 0: no file
    } cases[] = {
        {{{0, ""}}, 500, "Parameter saving to file failed!", 0},
        {{{2, path}}, 600, "Parameter saved to file!", 600},
        {{{1, path}, {0, ""}}, 700, "Parameter not saved to file!", 600},
        {{{1, path}, {1, ""}}, 800, "Parameter saved to file!", 800},
        {{{2, missingDir}}, 900, "Parameter saving to file failed!", 800},
    };
    for (const auto &c : cases) {
        for (const auto &[result, file] : c.answers) QueuePopupAnswer(result, file);
        SetCtrlVal(pPara1, PARA1_POWER, c.power);
        clearRecords();
        press(CC_BTNSend, pPA, PANEL_SEND);
        EXPECT_EQ(PendingPopupAnswers(), 0u) << c.text;
        EXPECT_EQ(texts.back(), c.text);
        EXPECT_TRUE(orders.empty());
        ParaBlock stored{};
        if (c.storedPower) {
            ASSERT_EQ(ReadParaFromIniFile(stored, path.c_str()), 1);
            EXPECT_EQ(stored.ma.power, c.storedPower) << c.text;
        }
        ClearPopupAnswers();
    }
}

// ---- Parameters on a round trip ---------------------------------------------------------------

// The data of the frames of `order` sent (requests) or received (replies), in their order.
std::vector<uint8_t> dataOf(const std::vector<std::vector<uint8_t>> &frames, int order) {
    std::vector<uint8_t> data;
    for (const auto &frame : frames)
        if (frame[1] == order) data.insert(data.end(), frame.begin() + 8, frame.end());
    return data;
}
std::vector<uint8_t> sentBlock(int order) {
    return dataOf(requestFrames, order);
}

std::vector<uint8_t> bytesOf(const ParaBlock &block) {
    const auto *bytes = reinterpret_cast<const uint8_t *>(&block);
    return {bytes, bytes + sizeof block};
}

// A sensor set at the edges the range check accepts: the largest values or zeros, with its own
// integration time, slave baud-rate word, teach distance and reserved bytes.
ParaSensor edgeSet(bool largest, uint16_t pixels, uint16_t intTime, uint16_t baud, int32_t um,
                   uint8_t reserved) {
    ParaSensor s{};
    if (largest) s = {1000, 2, 0, 255, pixels, pixels, pixels, 4, 4, 1, 0, {}};
    s.intTime = intTime;
    s.baudrateIndex = baud;
    s.umTeachValue = um;
    std::memset(s.reserved, reserved, sizeof s.reserved);
    s.reserved[7] = static_cast<uint8_t>(~reserved);
    return s;
}

void selectTarget(int which) {
    target = which;
    SetCtrlVal(pPA, PANEL_RAM, which == RAM);
    SetCtrlVal(pPA, PANEL_EEPROM, which == EEPROM);
    SetCtrlVal(pPA, PANEL_FILE, which == DATFILE);
}

// Puts `block` into the sensor's RAM and EEPROM and shows other values on the panels.
void holdInSensor(const ParaBlock &block) {
    for (int which : {RAM, EEPROM}) {
        para = block;
        for (uint16_t set = 0; set < 3; ++set) PushSEND(static_cast<uint16_t>(which), set);
    }
    ResetParaBlock();
    SetPanelValues();
}

TEST_F(Measure, EdgeValuesGoBackToTheSensorUnchangedThroughThePanelsAndAFile) {
    connect();
    const auto n = static_cast<uint16_t>(static_cast<int16_t>(hwinfo.pixelCount));
    ASSERT_GT(static_cast<int16_t>(n), 0);
    const ParaGeneral largest{6, 1, 4, 1, 5, 2048, 1, 4, 7, 3, INT32_MAX, -2, INT32_MAX};
    const ParaGeneral zeros{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1, -1000, INT32_MIN};
    const ParaBlock blocks[] = {
        {largest, edgeSet(true, n, 1260, 4, -1, 0x5A),
         edgeSet(false, n, 0, 0xBEEF, INT32_MIN, 0xC3)},
        {zeros, edgeSet(false, n, 0, 0, 0, 0x11), edgeSet(true, n, 1260, 0xFFFF, -1000, 0xEE)},
    };
    int fileNumber = 0;
    for (const ParaBlock &block : blocks) {
        holdInSensor(block);
        for (int which : {RAM, EEPROM}) {
            selectTarget(which);
            press(CC_BTNGet, pPA, PANEL_GET);
            clearRecords();
            press(CC_BTNSend, pPA, PANEL_SEND);
            EXPECT_EQ(sentBlock(which == RAM ? ORD_SEND_RAM : ORD_SEND_EEPROM), bytesOf(block))
                << "GET and SEND, target " << which << ", eval mode " << block.ge.evalMode;
        }
        // GET, the block to a new file, the file back into the panels, SEND.
        const std::string path = dir.filePath(QString("P%1.ini").arg(++fileNumber)).toStdString();
        selectTarget(RAM);
        press(CC_BTNGet, pPA, PANEL_GET);
        selectTarget(DATFILE);
        QueuePopupAnswer(2, path);
        press(CC_BTNSend, pPA, PANEL_SEND);
        QueuePopupAnswer(1, path);
        press(CC_BTNGet, pPA, PANEL_GET);
        EXPECT_EQ(PendingPopupAnswers(), 0u);
        selectTarget(RAM);
        clearRecords();
        press(CC_BTNSend, pPA, PANEL_SEND);
        EXPECT_EQ(sentBlock(ORD_SEND_RAM), bytesOf(block))
            << "through a file, eval mode " << block.ge.evalMode;
    }
}

// The simulator as it starts: its hardware record fits its line, so its own parameter block
// passes the range check unchanged, and the graphs span the line the calibration pop-up names.
TEST_F(Measure, TheSimulatorsOwnBlockSurvivesGetAndSendAndItsLineFitsTheGraphs) {
    connect();
    EXPECT_EQ(std::string(szHwLine[0]), "LINE-SENSOR: ---  8192 subpixel");
    selectTarget(RAM);
    press(CC_BTNGet, pPA, PANEL_GET);
    const std::vector<uint8_t> held = dataOf(replyFrames, ORD_GET_RAM);
    ASSERT_EQ(held.size(), sizeof(ParaBlock));
    clearRecords();
    press(CC_BTNSend, pPA, PANEL_SEND);
    EXPECT_EQ(sentBlock(ORD_SEND_RAM), held);

    ASSERT_EQ(GetRAW(), 1);
    PlotVIDEOBarGraph();
    for (int g : {PANEL_GRAPH_MASTER, PANEL_GRAPH_SLAVE})
        EXPECT_EQ(graph(pPA, g)->xMaximum(), 8192);
    EXPECT_EQ(graph(pPA, PANEL_GRAPH_MASTER)->cursorPosition(1).x(), raw.posA);
    EXPECT_EQ(graph(pPA, PANEL_GRAPH_SLAVE)->cursorPosition(1).x(), raw.posB);
}

// A time from the sensor is shown as it is; an entry is taken in steps of 100 us on either
// surface, and the other side keeps its time.
TEST_F(Measure, IntegrationTimesShowTheSensorsValueAndTakeTheOperatorsEntry) {
    connect();
    ParaBlock block = para;
    block.ma.intTime = 0;
    block.sl.intTime = 1260;
    holdInSensor(block);
    selectTarget(RAM);
    press(CC_BTNGet, pPA, PANEL_GET);
    EXPECT_EQ(real(pPara1, PARA1_INTTIME), 0.0);
    EXPECT_EQ(real(pTPara1, TPARA1_INTTIME), 0.0);
    EXPECT_EQ(real(pPara2, PARA2_INTTIME), 1.3);
    EXPECT_EQ(real(pTPara2, TPARA2_INTTIME), 1.3);
    const struct {
        int touch, panel, control;
        double entry;
        uint16_t master, slave;
        double shown;
    } cases[] = {
        {0, pPara1, PARA1_INTTIME, 1.26, 1300, 1260, 1.3},
        {1, pTPara2, TPARA2_INTTIME, 2.04, 0, 2000, 2.0},
    };
    for (const auto &c : cases) {
        holdInSensor(block);
        press(CC_BTNGet, pPA, PANEL_GET);
        SetCtrlVal(c.panel, c.control, c.entry);
        tsd_flag = c.touch;
        GetPanelValues();
        tsd_flag = 0;
        EXPECT_EQ(para.ma.intTime, c.master) << c.entry;
        EXPECT_EQ(para.sl.intTime, c.slave) << c.entry;
        SetPanelValues();
        EXPECT_EQ(real(c.panel, c.control), c.shown) << c.entry;
    }
}

TEST_F(Measure, GetFromFileRefreshesThePanelsOnlyFromAFileThatWasRead) {
    const std::string path = dir.filePath("PARA.ini").toStdString();
    ParaBlock block = para;
    block.ma.power = 650;
    ASSERT_EQ(WriteParaToIniFile(block, path.c_str()), 1);
    target = DATFILE;
    SetPanelValues();
    SetCtrlVal(pPara1, PARA1_POWER, 700);  // edited, not yet sent
    const struct {
        int result;
        std::string file, text;
        int shown;
    } cases[] = {
        {0, "", "Parameter not read from file!", 700},
        {1, dir.filePath("missing.ini").toStdString(), "Parameter not read from file!", 700},
        {1, path, "Parameter read from file!", 650},
    };
    for (const auto &c : cases) {
        QueuePopupAnswer(c.result, c.file);
        clearRecords();
        press(CC_BTNGet, pPA, PANEL_GET);
        EXPECT_EQ(texts.back(), c.text) << c.file;
        EXPECT_EQ(value(pPara1, PARA1_POWER), c.shown) << c.file;
        EXPECT_TRUE(orders.empty());
    }
}

// Zoom on, then the pixel graph type on either surface: the flag, both toggles and the stored
// state all say off.
TEST_F(Measure, PixelGraphTypeSwitchesZoomOffEverywhereAndInTheSettingsFile) {
    const std::string path = dir.filePath("settings.ini").toStdString();
    for (int touch : {0, 1}) {
        tsd_flag = touch;
        const int panel = touch ? pTGraph : pPA;
        SetCtrlVal(panel, touch ? TGRAPH_ZOOM : PANEL_ZOOM, 1);
        CC_TOGGBTNZoom(panel, touch ? TGRAPH_ZOOM : PANEL_ZOOM, EVENT_VAL_CHANGED, nullptr, 0, 0);
        ASSERT_EQ(zoom_flag, 1);
        SetCtrlVal(panel, touch ? TGRAPH_GTYPE : PANEL_GTYPE, 0);
        CC_RINGgtype(panel, touch ? TGRAPH_GTYPE : PANEL_GTYPE, EVENT_VAL_CHANGED, nullptr, 0, 0);
        tsd_flag = 0;
        EXPECT_EQ(zoom_flag, 0) << touch;
        EXPECT_EQ(value(pPA, PANEL_ZOOM), 0) << touch;
        EXPECT_EQ(value(pTGraph, TGRAPH_ZOOM), 0) << touch;
        WriteIniFile(path.c_str());
        AppSettings stored;
        ASSERT_EQ(ReadAppSettings(path.c_str(), stored), 1);
        EXPECT_EQ(stored.zoom, std::optional<bool>(false)) << touch;
    }
}

TEST_F(Measure, AThresholdChangeRedrawsTheLineWithoutSending) {
    connect();
    for (int percent : {40, 100, 0}) {
        SetCtrlVal(pPara1, PARA1_VTHD, percent);
        CC_SLIDEVideoTHD_A(pPara1, PARA1_VTHD, EVENT_VAL_CHANGED, nullptr, 0, 0);
        for (uint16_t point : thdArrayA) ASSERT_EQ(point, percent * ADCMAX / 100) << percent;
        EXPECT_EQ(graph(pPA, PANEL_VIDEO_MASTER)->plotCount(), 2);
    }
    EXPECT_TRUE(orders.empty());
}

TEST_F(Measure, SendAndGetWhileIdleTalkToTheSensorAtOnce) {
    connect();
    SetCtrlVal(pPA, PANEL_EEPROM, 1);
    CC_RBTEeprom(pPA, PANEL_EEPROM, EVENT_VAL_CHANGED, nullptr, 0, 0);
    press(CC_BTNSend, pPA, PANEL_SEND);
    press(CC_BTNGet, pPA, PANEL_GET);
    EXPECT_EQ(orders, (std::vector<int>{ORD_SEND_EEPROM, ORD_SEND_EEPROM, ORD_SEND_EEPROM,
                                        ORD_GET_EEPROM, ORD_GET_EEPROM, ORD_GET_EEPROM}));
    EXPECT_EQ(send_flag + get_flag, 0);
}

TEST_F(Measure, HelpBoxesToggleNextToTheirControlAndHideOnAClick) {
    char text[512];
    CC_BTNStop(pPA, PANEL_STOP, EVENT_RIGHT_CLICK, nullptr, 0, 0);
    EXPECT_EQ(attribute(pPA, PANEL_HELP_BTN, ATTR_VISIBLE), 1);
    GetCtrlVal(pPA, PANEL_HELP_BTN, text);
    EXPECT_EQ(std::string(text).rfind("STOP-BUTTON:\n", 0), 0u);
    CC_BTNRun(pPA, PANEL_RUN, EVENT_RIGHT_CLICK, nullptr, 0, 0);
    EXPECT_EQ(attribute(pPA, PANEL_HELP_BTN, ATTR_VISIBLE), 0) << "a second right click hides";
    CC_TOGGBTNConnect(pPA, PANEL_CONNECT, EVENT_RIGHT_CLICK, nullptr, 0, 0);
    EXPECT_EQ(attribute(pPA, PANEL_HELP_BTN, ATTR_VISIBLE), 1);
    int top = 0, left = 0, height = 0, width = 0;
    GetCtrlBoundingRect(pPA, PANEL_CONNECT, &top, &left, &height, &width);
    EXPECT_EQ(attribute(pPA, PANEL_HELP_BTN, ATTR_LEFT), left + width + 10);
    EXPECT_EQ(attribute(pPA, PANEL_HELP_BTN, ATTR_TOP), top - 20);
    CC_HelpText1(pPA, PANEL_HELP_BTN, EVENT_LEFT_CLICK, nullptr, 0, 0);
    EXPECT_EQ(attribute(pPA, PANEL_HELP_BTN, ATTR_VISIBLE), 0);

    CC_GRAPHVideoSlave(pPA, PANEL_VIDEO_SLAVE, EVENT_RIGHT_CLICK, nullptr, 0, 0);
    EXPECT_EQ(attribute(pPA, PANEL_HELP_GRAPH, ATTR_VISIBLE), 1);
    GetCtrlVal(pPA, PANEL_HELP_GRAPH, text);
    EXPECT_EQ(std::string(text).rfind("VIDEO-GRAPH-SLAVE:\n", 0), 0u);
    CC_HelpText2(pPA, PANEL_HELP_GRAPH, EVENT_RIGHT_CLICK, nullptr, 0, 0);
    EXPECT_EQ(attribute(pPA, PANEL_HELP_GRAPH, ATTR_VISIBLE), 0);
}

// ---- One exchange at a time ------------------------------------------------------------------

TEST_F(Measure, PressesDuringAnIdleExchangeFindTheSensorControlsDimmed) {
    // Replies that take longer than a quick receive: the exchanges wait with events processed.
    connect({"--delay-ms", "40"});
    DisplayPanel(pPA);
    SetCtrlAttribute(pTSD, TSD_RESET, ATTR_DIMMED, 1);  // dimmed before: stays dimmed after
    static std::vector<int> dimmedDuring;
    dimmedDuring.clear();
    // The presses come while the first SEND exchange waits for its reply: from the event loop.
    duringExchange = [](bool request, int order, int n) {
        if (!request || order != ORD_SEND_RAM || n != 1) return;
        QTimer::singleShot(0, [] {
            ASSERT_TRUE(ExchangeActive());
            for (const MarkedCtrl &c : ktav_panels_sensorControl)
                dimmedDuring.push_back(dimmed(PanelHandle(c.resourceId), c.control));
            click(pPA, PANEL_TEACH);
            click(pPA, PANEL_RUN);
        });
    };
    press(CC_BTNSend, pPA, PANEL_SEND);
    EXPECT_EQ(dimmedDuring, std::vector<int>(ktav_panels_sensorControl.size(), 1));
    EXPECT_EQ(orders, (std::vector<int>{ORD_SEND_RAM, ORD_SEND_RAM, ORD_SEND_RAM}));
    EXPECT_EQ(teach_flag, 0) << "the TEACH press found its button dimmed";
    EXPECT_EQ(stop_flag, STOP_IDLE) << "the RUN press found its button dimmed";
    EXPECT_FALSE(anyTextHas("Timeout"));
    EXPECT_FALSE(anyTextHas("TEACH-IN activated"));
    for (const MarkedCtrl &c : ktav_panels_sensorControl)
        EXPECT_EQ(dimmed(PanelHandle(c.resourceId), c.control), c.control == TSD_RESET)
            << c.control;

    // A later RUN sends no TEACH that nobody asked for.
    clearRecords();
    duringExchange = [](bool request, int order, int n) {
        if (request && order == ORD_RAW && n == 2) stop_flag = STOP_IDLE;
    };
    press(CC_BTNRun, pPA, PANEL_RUN);
    EXPECT_EQ(orders, (std::vector<int>{ORD_RAW, ORD_RAW}));
}

TEST_F(Measure, ConnectDuringRunEndsTheLoopFirstAndReportsWhatHappened) {
    connect();
    DisplayPanel(pConn);
    SetCtrlVal(pConn, CONNECT_COMTYPE, 1);
    SetCtrlVal(pConn, CONNECT_IPADDRESS, "127.0.0.1");
    SetCtrlVal(pConn, CONNECT_PORTNUM, std::to_string(sim.tcpPort()).c_str());
    duringExchange = [](bool request, int order, int n) {
        if (request && order == ORD_RAW && n == 2) click(pConn, CONNECT_TRYCONNECT);
    };
    press(CC_BTNRun, pPA, PANEL_RUN);
    ASSERT_GE(orders.size(), 4u);
    EXPECT_EQ(std::vector<int>(orders.begin(), orders.begin() + 3),
              (std::vector<int>{ORD_RAW, ORD_RAW, ORD_ECHO}))
        << "the loop ends after its cycle, then the connect talks to the sensor";
    EXPECT_EQ(repliesOf[ORD_RAW], 2);
    EXPECT_EQ(tcp_con, 1);
    EXPECT_EQ(stop_flag, STOP_IDLE);
    EXPECT_TRUE(anyTextHas("Echo Check - Line Ok!"));
    EXPECT_FALSE(anyTextHas("Timeout"));
    EXPECT_EQ(texts.back(), szVersion) << "the identification's own result";
    EXPECT_EQ(dimmed(pPA, PANEL_RUN), 0);
}

// ---- The status log ---------------------------------------------------------------------------

TEST_F(Measure, TheLogTakesALoopsCycleTextOnceItsCountAndTheCauseOfItsEnd) {
    // The server closes the connection after the identification and a few cycles.
    connect({"--close-after", "22"});
    const QString path = dir.filePath("status.log");
    InstallLinkView(path.toUtf8().constData());
    press(CC_BTNRun, pPA, PANEL_RUN);
    CloseLinkLog();
    EXPECT_EQ(stop_flag, STOP_TIMEOUT) << "ends as on a time-out";
    const int cycles = repliesOf[ORD_RAW];
    ASSERT_GE(cycles, 2);
    EXPECT_EQ(logLines(path), (std::vector<std::string>{
                                  CYCLE_TEXT_FORWARD,
                                  "SERVER HAS CLOSED CONNECTION!",
                                  "Timeout TCP-Server-error!",
                                  "Loop ended after " + std::to_string(cycles) + " cycles",
                                  "Timeout RS232 Line!",
                              }));
}

TEST_F(Measure, ThePanelKeepsTheGenericTextAndTheLogHasTheCauseBeforeIt) {
    ScriptedPeer peer;  // answers every request with the MASTER page
    const uint8_t page[32] = {7};
    peer.answer(ORD_GET_RAM, 1, page, sizeof page);
    const QString path = dir.filePath("status.log");
    InstallLinkView(path.toUtf8().constData());
    PushGET(RAM, 0);
    CloseLinkLog();
    EXPECT_EQ(text(pPA, PANEL_STATUS), "Timeout-RS-232...");
    EXPECT_EQ(logLines(path), (std::vector<std::string>{
                                  "ATTENTION! RECEIVED FRAME DOES NOT ANSWER THE REQUEST!",
                                  "Timeout-RS-232...",
                              }));
}

TEST_F(Measure, ALogPastItsLimitStartsANewFileBesideTheOld) {
    const QString path = dir.filePath("status.log");
    InstallLinkView(path.toUtf8().constData(), 2000);
    for (int i = 0; i < 200; ++i)
        ShowText(ST_PA, ("status text number " + std::to_string(i)).c_str());
    CloseLinkLog();
    const QFileInfo current(path), old(path + ".1");
    ASSERT_TRUE(old.exists());
    EXPECT_LE(current.size(), 2100);
    EXPECT_LE(old.size(), 2100);
    EXPECT_EQ(logLines(path).back(), "status text number 199");
    EXPECT_EQ(logLines(path + ".1").back().substr(0, 19), "status text number ");
}

// ---- The whole program -----------------------------------------------------------------------

TEST(MeasureProgram, RunFromTheCommandLineIsPicturedAndClosesInOrder) {
    SimProcess sim;
    ASSERT_TRUE(sim.start());
    QTemporaryDir dir;
    AppSettings settings = sim.tcpSettings();
    settings.panelMaximised = false;
    settings.panelLeft = settings.panelTop = 2;
    settings.panelWidth = 777;
    settings.panelHeight = 534;
    ASSERT_EQ(WriteAppSettings(dir.filePath("PX-MS-Vista.ini").toUtf8().constData(), settings), 0);
    ProgramOptions options;
    options.dir = dir.path().toStdString();
    options.run = true;
    options.screenshot = dir.filePath("run.png").toStdString();
    options.screenshotDelay = 0.5;
    texts.clear();
    EXPECT_EQ(WinMain(options), 0);
    EXPECT_EQ(stop_flag, STOP_IDLE);
    EXPECT_FALSE(QImage(QString::fromStdString(options.screenshot)).isNull());
    EXPECT_STREQ(szStatus, "Data-Transfer Stopped!");
}

}  // namespace
