// Live measurement on real widgets with the simulator as the sensor pair: the RUN and VIDEO loops
// with their deferred requests, the displays, the parameter targets and the status log.
#include <QFileInfo>
#include <QTimer>
#include <array>
#include <tuple>

#include "core/link/commands.h"
#include "core/link/transport.h"
#include "core/measure/evaluation.h"
#include "core/params/derived.h"
#include "core/params/paramfile.h"
#include "core/params/profiles.h"
#include "core/params/transfer.h"
#include "core/state/programdir.h"
#include "gui/app/appini.h"
#include "gui/app/exchangeguard.h"
#include "gui/app/identityview.h"
#include "gui/app/linkview.h"
#include "gui/app/stopaction.h"
#include "gui/measure/displays.h"
#include "gui/params/panelmap.h"
#include "gui/runtime/kgraph.h"
#include "gui/runtime/popupscript.h"
#include "gui/touch/touchdisplays.h"
#include "ktav_panels.h"
#include "scripted_peer.h"
#include "support.h"

namespace {

// Stops a loop as its request of `order` number `n` goes out.
void stopAt(int order, int n) {
    wire.during = [order, n](bool request, int o, int count) {
        if (request && o == order && count == n) stop_flag = STOP_IDLE;
    };
}

class Measure : public ProgramTest {
  protected:
    void SetUp() override {
        ResetProgramState();
        SetLinkView({.status = recordStatus, .exchange = GuardExchange});
        SetFrameTap(tapWire);
        ClearPopupAnswers();
        clearLogs();
        ASSERT_TRUE(dir.isValid());
        std::snprintf(proj_dir, sizeof proj_dir, "%s", dir.path().toUtf8().constData());
    }
    void TearDown() override {
        SetFrameTap(nullptr);
        CloseTCP();
        sim.stop();
    }
    static KGraph *graph(int p, int c) { return static_cast<KGraph *>(FindCtrl(p, c)->widget); }
    static std::string lastText() { return status.texts().empty() ? "" : status.texts().back(); }
    static void clearLogs() {
        wire.clear();
        status.clear();
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
        clearLogs();
    }
    // What `act` leaves in the log file: its texts, without their time stamps.
    std::vector<std::string> logged(void (*act)()) {
        const QString path = dir.filePath("status.log");
        QFile::remove(path);
        InstallLinkView(path.toUtf8().constData());
        act();
        CloseLinkLog();
        std::vector<std::string> texts;
        for (const QByteArray &line : fileLines(path)) {
            const int at = line.indexOf("  ");
            texts.push_back(line.mid(at < 0 ? 0 : at + 2).trimmed().toStdString());
        }
        return texts;
    }
    SimProcess sim;
    QTemporaryDir dir;
};

TEST_F(Measure, RunAlternatesItsTextAndStopsAfterTheCycleOfStop) {
    connect();
    SetCtrlAttribute(pPA, PANEL_RESET, ATTR_DIMMED, 1);  // dimmed before: stays dimmed after
    wire.during = [](bool request, int order, int n) {
        if (request && order == ORD_RAW && n == 3)
            CC_BTNStop(pPA, PANEL_STOP, EVENT_LEFT_CLICK, nullptr, 0, 0);
    };
    press(pPA, PANEL_RUN);
    EXPECT_EQ(wire.orders(), (std::vector<int>{ORD_RAW, ORD_RAW, ORD_RAW}));
    EXPECT_EQ(status.texts(),
              (std::vector<std::string>{CYCLE_TEXT_FORWARD, CYCLE_TEXT_BACKWARD, CYCLE_TEXT_FORWARD,
                                        "Data-Transfer Stopped!"}));
    // The displays show the last record, on graphs as wide as the simulator's line.
    EXPECT_EQ(value(pPA, PANEL_POS_MASTER), wire.records().back().posA);
    EXPECT_EQ(value(pPA, PANEL_POS_SLAVE), wire.records().back().posB);
    for (int g : {PANEL_GRAPH_MASTER, PANEL_GRAPH_SLAVE})
        EXPECT_EQ(graph(pPA, g)->xMaximum(), 8192);
    for (int control : {PANEL_RUN, PANEL_VIDEO, PANEL_GET, PANEL_SEND, PANEL_TEACH})
        EXPECT_EQ(dimmed(pPA, control), 0) << control;
    EXPECT_EQ(dimmed(pRec, REC_START) + dimmed(pPA, PANEL_RESET), 2) << "REC_START: by STOP";
    EXPECT_EQ(attribute(pPA, PANEL_STRIPCHART, ATTR_VISIBLE), 1);
    EXPECT_EQ(attribute(pPA, PANEL_VIDEO_MASTER, ATTR_VISIBLE), 0);
    CC_BTNStop(pPA, PANEL_STOP, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(dimmed(pRec, REC_START), 0);
}

// A TEACH, a GET or a set-point sent while idle: the strip chart's band (set-point and limits)
// shows the new values over its whole history at once, and the axis stays as RUN drew it, unless
// the set-point moved the measuring range.
TEST_F(Measure, StripChartBandFollowsTeachAndSetpointAndItsAxisStays) {
    connect();
    stopAt(ORD_RAW, 5);
    press(pPA, PANEL_RUN);
    const KGraph *chart = graph(pPA, PANEL_STRIPCHART);
    const auto axis = std::pair(chart->yMinimum(), chart->yMaximum());
    const auto band = [chart](int trace) {  // the oldest and newest sample of the history
        const std::vector<double> values = chart->traceValues(trace);
        return std::pair(*(values.end() - STRIP_SAMPLES), values.back());
    };
    for (int button : {PANEL_TEACH, PANEL_GET}) {
        press(pPA, button);
        EXPECT_EQ(std::tuple(umTeach, umupTHD > umTeach), std::tuple(teach.umA, true));
        for (auto [trace, um] : {std::pair{1, umTeach}, {4, umupTHD}, {5, umloTHD}})
            EXPECT_EQ(band(trace), std::pair(um / 1000.0, um / 1000.0)) << button << trace;
        EXPECT_EQ(std::pair(chart->yMinimum(), chart->yMaximum()), axis) << button;
    }
    SetCtrlVal(pCalib, CALIB_MMODE, 1);  // set-point mode, with a set-point of 52.345 mm
    SetCtrlVal(pCalib, CALIB_SETPOINT, 52.345);
    press(pPA, PANEL_SEND);
    EXPECT_EQ(band(1), std::pair(52.345, 52.345));
    EXPECT_EQ(band(4).first, umupTHD / 1000.0);
    EXPECT_EQ(std::pair(chart->yMinimum(), chart->yMaximum()),
              std::pair(double(YAXISMIN), double(YAXISMAX)));
}

// The connect then shows the identification's result. The simulator's replies come at once,
// with no event-loop pass in the exchange: the loop itself must serve the STOP press.
TEST_F(Measure, AnExitRequestAStopOrAConnectEndsRunAfterItsCycle) {
    connect();
    DisplayPanel(pConn);
    SetCtrlVal(pConn, CONNECT_COMTYPE, 1);
    SetCtrlVal(pConn, CONNECT_IPADDRESS, "127.0.0.1");
    SetCtrlVal(pConn, CONNECT_PORTNUM, std::to_string(sim.tcpPort()).c_str());
    // The exit request comes with the second record, the others as the second RAW goes out.
    static bool onRequest;
    static void (*end)();
    const auto stopFromTheEventLoop = [] { QTimer::singleShot(0, [] { click(pPA, PANEL_STOP); }); };
    const std::tuple<bool, void (*)(), std::vector<int>, std::string> ends[] = {
        {false, [] { exit_flag = 1; }, {ORD_RAW, ORD_RAW}, "Data-Transfer Stopped!"},
        {true, stopFromTheEventLoop, {ORD_RAW, ORD_RAW}, "Data-Transfer Stopped!"},
        {true, [] { click(pConn, CONNECT_TRYCONNECT); }, {ORD_RAW, ORD_RAW, ORD_ECHO}, szVersion}};
    for (const auto &[request, action, orders, text] : ends) {
        clearLogs();
        exit_flag = 0;
        onRequest = request;
        end = action;
        wire.during = [](bool request, int order, int n) {
            if (request == onRequest && order == ORD_RAW && n == 2) end();
        };
        wire.runawayLimit = 200;
        press(pPA, PANEL_RUN);
        std::vector<int> sent = wire.orders();
        sent.resize(std::min(sent.size(), orders.size()));  // the connect goes on talking
        EXPECT_EQ(sent, orders);
        EXPECT_EQ(wire.repliesOf[ORD_RAW], 2);
        EXPECT_EQ(std::make_tuple(tcp_con, stop_flag, dimmed(pPA, PANEL_RUN)),
                  std::make_tuple(1, int(STOP_IDLE), 0));
        EXPECT_FALSE(status.has("Timeout"));
        EXPECT_EQ(lastText(), text);
    }
}

// A GET pressed after the cycle has served its requests stops RUN, and is served before the loop
// lets the link go: no request waits for a later loop.
TEST_F(Measure, RequestsDuringRunAreServedAfterTheCycleInTheirOrder) {
    connect();
    wire.during = [](bool request, int order, int n) {
        if (request && order == ORD_RAW && n == 2)
            for (int button : {PANEL_SEND, PANEL_RESET, PANEL_TEACH}) press(pPA, button);
        if (request && order == ORD_RESET) press(pPA, PANEL_GET);
    };
    press(pPA, PANEL_RUN);
    EXPECT_EQ(wire.orders(),
              (std::vector<int>{ORD_RAW, ORD_RAW, ORD_SEND_RAM, ORD_SEND_RAM, ORD_SEND_RAM,
                                ORD_TEACH, ORD_RESET, ORD_GET_RAM, ORD_GET_RAM, ORD_GET_RAM}));
    EXPECT_EQ(send_flag + teach_flag + reset_flag + get_flag, 0);
}

// Displays showing a record older than a lost link are dimmed, without tolerance colour, lamps
// off; a surface's next record makes its own displays current again.
void expectNotCurrent(bool desktop, bool touch) {
    const std::tuple<int, int, bool> displays[] = {
        {pPA, PANEL_MEASVALUE, desktop},    {pPA, PANEL_POS_VALUE, desktop},
        {pPA, PANEL_VALUE_ANA1, desktop},   {pPA, PANEL_GRAPH_SLAVE, desktop},
        {pTMval, TMVAL_MEASVALUE, touch},   {pTNum, TNUM_VALUE_ANA23, touch},
        {pTNum, TNUM_MEASVALUE, touch},     {pTSD, TSD_GRAPH_MASTER, touch},
        {pTGraph, TGRAPH_LED_INTOL, touch}, {pTGraph, TGRAPH_LED_ABOVE, touch},
        {pTNum, TNUM_LED_BELOW, touch}};
    for (const auto &[panel, control, notCurrent] : displays) {
        EXPECT_EQ(dimmed(panel, control), notCurrent) << control;
        const int background = attribute(panel, control, ATTR_TEXT_BGCOLOR);
        EXPECT_FALSE(notCurrent && (background == 0xFF0000 || background == 0x008000)) << control;
    }
    for (const auto &[panel, lamp] : {std::pair(pTGraph, TGRAPH_LED_INTOL),
                                      {pTGraph, TGRAPH_LED_ABOVE},
                                      {pTGraph, TGRAPH_LED_BELOW},
                                      {pTNum, TNUM_LED_INTOL},
                                      {pTNum, TNUM_LED_ABOVE},
                                      {pTNum, TNUM_LED_BELOW}})
        EXPECT_TRUE(!touch || value(panel, lamp) == 0) << lamp;
}

// A request the loop could not serve before its time-out is told as not carried out; one after
// the time-out is carried out at once. Neither is left for a later loop.
TEST_F(Measure, ATimeoutLeavesTheDisplaysNotCurrentAndARequestAfterItIsTriedAtOnce) {
    connect();
    stopAt(ORD_RAW, 2);
    press(pPA, PANEL_RUN);
    PlotTSD_VIDEOBarGraph();  // the touch surface shows the same record
    expectNotCurrent(false, false);
    sim.stop();
    clearLogs();
    SetCtrlVal(pPA, PANEL_MEASVALUE, 12.345);
    const std::vector<double> history(std::begin(arrayNORM), std::end(arrayNORM));
    wire.during = [](bool request, int order, int) {
        if (request && order == ORD_RAW) press(pPA, PANEL_TEACH), press(pPA, PANEL_RESET);
    };
    press(pPA, PANEL_RUN);
    wire.during = nullptr;
    EXPECT_EQ(stop_flag, STOP_TIMEOUT);
    EXPECT_EQ(
        status.texts(),
        (std::vector<std::string>{
            "TEACH-IN activated ...", "RESET of analog/digital outputs activated ...",
            "Timeout TCP-Server-error!", "Timeout RS232 Line!", "TEACH RESET not carried out!"}));
    EXPECT_EQ(teach_flag + reset_flag, 0) << "left for no later loop";
    EXPECT_DOUBLE_EQ(real(pPA, PANEL_MEASVALUE), 12.345);
    EXPECT_EQ(history, std::vector<double>(std::begin(arrayNORM), std::end(arrayNORM)));
    expectNotCurrent(true, true);
    press(pPA, PANEL_TEACH);
    EXPECT_EQ(teach_flag, 0);
    EXPECT_EQ(wire.orders(), (std::vector<int>{ORD_RAW, ORD_TEACH}));
    connect();
    stopAt(ORD_RAW, 2);
    teach_flag = 1;
    press(pPA, PANEL_RUN);
    EXPECT_EQ(wire.orders(), (std::vector<int>{ORD_RAW, ORD_TEACH, ORD_RAW}));
    EXPECT_EQ(teach_flag, 0);
    expectNotCurrent(false, true);
    // Idle, TEACH teaches at once and leaves nothing for the next loop.
    press(pPA, PANEL_TEACH);
    EXPECT_EQ(wire.orders().back(), ORD_TEACH);
    EXPECT_EQ(teach_flag, 0);
}

// VIDEO forces the RAM target and draws both profiles; an exit request does not end it, its
// next exchange is the closing program's to abandon.
TEST_F(Measure, VideoForcesRamDrawsBothProfilesAndGoesOnAfterAnExitRequest) {
    connect();
    click(pPA, PANEL_EEPROM);
    wire.during = [](bool request, int order, int n) {
        if (!request && order == ORD_VIDEO && n == 1) exit_flag = 1;
    };
    press(pPA, PANEL_VIDEO);
    EXPECT_EQ(wire.orders(), (std::vector<int>{ORD_RAW, ORD_VIDEO, ORD_RAW}));
    EXPECT_EQ(lastText(), "Data-Transfer Stopped!") << "closing is no time-out";
    EXPECT_EQ(target, RAM);
    EXPECT_EQ(std::pair(value(pPA, PANEL_RAM), value(pTSD, TSD_EEPROM)), std::pair(1, 0));
    EXPECT_EQ(attribute(pPA, PANEL_VIDEO_MASTER, ATTR_VISIBLE), 1);
    EXPECT_EQ(attribute(pPA, PANEL_STRIPCHART, ATTR_VISIBLE), 0);
    EXPECT_EQ(dimmed(pRec, REC_START), 1);
    for (int control : {PANEL_VIDEO_MASTER, PANEL_VIDEO_SLAVE}) {
        EXPECT_EQ(graph(pPA, control)->plotCount(), 2);
        EXPECT_EQ(graph(pPA, control)->axisRange(KGraph::LeftYAxis),
                  std::make_pair(0.0, double(ADCMAX)));
    }
}

class Displays : public Measure {
  protected:
    void SetUp() override {
        Measure::SetUp();
        std::memset(&raw, 0, sizeof raw);
        hwinfo.subpixels = 1024;   // the displays' pixel count
        hwinfo.pixelCount = 8192;  // the range check's, not theirs
        para.ge.hardwareMode = 0;
        umRange = umRangeA = umRangeB = 10000;
    }

    using Windows = std::vector<std::pair<double, double>>;
    // The green tolerance windows (left and right ends) on a position graph.
    static Windows windowsOn(int graphControl) {
        Windows windows;
        for (const auto &[area, fill] : graph(pPA, graphControl)->rectangles())
            if (fill == QColor(0x00, 0xFF, 0x00)) windows.emplace_back(area.left(), area.right());
        return windows;
    }
};

// Both surfaces show the value in its tolerance colour, the limits belonging to the band, with
// the touch lamps; each sensor's pop-ups show its own power or time by its own power mode.
TEST_F(Displays, ValuesLampsAndPowersOfBothSurfaces) {
    umloTHD = 54000;
    umupTHD = 56000;
    HWTYPE = 20;
    raw.powerA = 111;
    raw.powerB = 222;
    raw.milliA = 12600;
    raw.milliB = 20400;
    // A value, its colour, the lamps in tolerance, above and below; the power modes, and the
    // MASTER's and SLAVE's power (0: left as it was) and time (5.0: left at the lowest) shown.
    const std::tuple<int32_t, int, std::array<int, 3>, uint16_t, uint16_t, std::array<double, 4>>
        cases[] = {{56000, 0x008000, {1, 0, 0}, 1, 2, {111, 0, 5.0, 20.4}},
                   {56001, 0xFF0000, {0, 1, 0}, 2, 1, {0, 222, 12.6, 5.0}},
                   {54000, 0x008000, {1, 0, 0}, 1, 2, {111, 0, 5.0, 20.4}},
                   {53999, 0xFF0000, {0, 0, 1}, 2, 1, {0, 222, 12.6, 5.0}}};
    // The touch numeric panel (NUM on, a loop running) and the graph panel have their lamps.
    const std::tuple<int, int, std::array<int, 3>> lamps[] = {
        {1, pTNum, {TNUM_LED_INTOL, TNUM_LED_ABOVE, TNUM_LED_BELOW}},
        {0, pTGraph, {TGRAPH_LED_INTOL, TGRAPH_LED_ABOVE, TGRAPH_LED_BELOW}}};
    // The MASTER's and the SLAVE's power and time fields, on each surface.
    const std::pair<int, int> fields[] = {{pPara1, PARA1_POWER},     {pPara2, PARA2_POWER},
                                          {pPara1, PARA1_INTTIME},   {pPara2, PARA2_INTTIME},
                                          {pTPara1, TPARA1_POWER},   {pTPara2, TPARA2_POWER},
                                          {pTPara1, TPARA1_INTTIME}, {pTPara2, TPARA2_INTTIME}};
    for (const auto &[um, colour, lit, masterMode, slaveMode, powers] : cases) {
        raw.umValue = um;
        para.ma.powerMode = masterMode;
        para.sl.powerMode = slaveMode;
        for (int i = 0; i < 8; ++i)
            SetCtrlVal(fields[i].first, fields[i].second, i % 4 < 2 ? 0.0 : 5.0);
        PlotVIDEOBarGraph();
        EXPECT_EQ(attribute(pPA, PANEL_MEASVALUE, ATTR_TEXT_BGCOLOR), colour) << um;
        for (const auto &[num, panel, controls] : lamps) {
            SetCtrlVal(pTSD, TSD_TOG_NUM, num);
            stop_flag = STOP_RUNNING;
            PlotTSD_VIDEOBarGraph();
            stop_flag = STOP_IDLE;
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(value(panel, controls[i]), lit[i]) << um << " num " << num << " " << i;
        }
        EXPECT_EQ(attribute(pTNum, TNUM_MEASVALUE, ATTR_TEXT_BGCOLOR), colour) << um;
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(real(fields[i].first, fields[i].second), powers[i % 4]) << um << " " << i;
        ShowRecordNotCurrent();  // the link lost in this state: green or red, a lamp lit
        expectNotCurrent(true, true);
    }
}

// Records no sensor should send are drawn safely, their positions and windows on the line; a
// zero or negative range leaves the windows empty.
TEST_F(Displays, WildRecordsStayOnTheLine) {
    // Evaluation and hardware mode, range, windows beside the master's object, position, cursor.
    const std::tuple<uint16_t, uint16_t, int32_t, int, uint16_t, uint16_t> settings[] = {
        {1, 0, 10000, 1, 1025, 1024},     {1, 0, 0, 0, 0, 1},
        {3, 0, 0, 0, 65535, 1024},        {2, 2, -5, 0, 1, 1},
        {4, 1, 0, 1, 1024, 1024},         {6, 0, 10000, 0, 0, 1},
        {0, 0, INT32_MAX, 0, 65535, 1024}};
    for (const auto &[evalMode, hardwareMode, range, windowCount, position, cursor] : settings) {
        para.ge.evalMode = evalMode;
        para.ge.hardwareMode = hardwareMode;
        para.ge.umUpperTolerance = INT32_MIN;
        para.ge.umLowerTolerance = -1;
        para.ma.teachValue = 65535;
        umRange = umRangeA = umRangeB = range;
        std::memset(&raw, 0xFF, sizeof raw);
        raw.posA = position;
        raw.startA = 900;
        raw.endA = 10;
        raw.umValue = INT32_MIN;
        umTeach = INT32_MAX;
        umupTHD = INT32_MIN;
        umloTHD = INT32_MAX;
        PlotVIDEOBarGraph();
        PlotRAWGraph();
        EXPECT_EQ(peakwA, 1);
        EXPECT_EQ(curposA, cursor) << position;
        EXPECT_EQ(graph(pPA, PANEL_GRAPH_MASTER)->plotCount(), 1 + windowCount) << evalMode;
    }
    const std::tuple<int64_t, int64_t, double, double> windows[] = {
        {-5, 100, 1, 100}, {0, 1023, 0, 1023}, {10, 1024, 10, 1024}, {10, 1025, 10, 1024}};
    for (const auto &[left, right, clampedLeft, clampedRight] : windows) {
        const Window w = ClampWindow(left, right, 1024);
        EXPECT_EQ(std::pair(w.left, w.right), std::pair(clampedLeft, clampedRight)) << right;
    }
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
    // Evaluation mode, set-point mode (turns the window round), the master's and the slave's
    // windows; in mode 2 each window follows its object.
    const std::tuple<uint16_t, uint16_t, Windows, Windows> cases[] = {
        {0, 0, {}, {{675, 802}}},           {0, 1, {}, {{598, 725}}},
        {1, 0, {{275, 402}}, {}},           {1, 1, {{198, 325}}, {}},
        {2, 0, {{223, 350}}, {{563, 690}}}, {6, 0, {}, {}},
        {3, 0, {{1, 204}}, {{1, 12}}},      {4, 0, {{1, 204}}, {{1, 12}}},
        {5, 1, {{1, 204}}, {{1, 12}}}};
    for (const auto &[mode, setPoint, master, slave] : cases) {
        para.ge.evalMode = mode;
        para.ge.measurementMode = setPoint;
        PlotVIDEOBarGraph();
        EXPECT_EQ(windowsOn(PANEL_GRAPH_MASTER), master) << mode << " " << setPoint;
        EXPECT_EQ(windowsOn(PANEL_GRAPH_SLAVE), slave) << mode << " " << setPoint;
    }
    // A GET or TEACH served between RUN cycles draws the grey area over the position graphs; the
    // next cycle draws the objects, windows and cursors again, though nothing moved.
    SetPanelValues();
    SetGraphCursor(pPA, PANEL_GRAPH_MASTER, 1, 0, 0);
    PlotVIDEOBarGraph();
    EXPECT_EQ(windowsOn(PANEL_GRAPH_MASTER), (Windows{{1, 204}}));
    EXPECT_EQ(graph(pPA, PANEL_GRAPH_MASTER)->cursorPosition(1), QPointF(320, 0.75));
    EXPECT_EQ(graph(pPA, PANEL_GRAPH_SLAVE)->cursorPosition(1), QPointF(660, 0.75));
}

// The strip chart keeps the last hundred samples of each position trace; its analog trace
// follows the analog output mode.
TEST_F(Displays, StripChartKeepsTheLastSamplesAndTracesTheAnalogOutput) {
    for (int i = 1; i <= 150; ++i) {
        raw.posA = static_cast<uint16_t>(i);
        raw.posB = static_cast<uint16_t>(1000 + i);
        PlotRAWGraph();
    }
    const double *newest = arrayNORM + (STRIP_SAMPLES - 1) * STRIP_TRACES;
    EXPECT_EQ(std::make_tuple(arrayNORM[5], arrayNORM[6], newest[5], newest[6]),
              std::make_tuple(51.0, 1051.0, 150.0, 1150.0));
    EXPECT_EQ(graph(pPA, PANEL_STRIPCHART)->traceValues(6).back(), 150.0);
    // The analog trace by the analog output mode: the measured value, analog 1 or analog 2/3,
    // whose value at the top of the axis is traced as 1; the big display shows mode 1's analog 1,
    // mode 2's analog 2/3, every other mode's the measured value.
    raw.umValue = 3000;
    raw.umAnalog1 = 5000;
    const int32_t top = YAXISMAX - 1;
    const std::tuple<uint16_t, int32_t, int32_t, int32_t> cases[] = {
        {0, 7000, 3000, 3000}, {1, 7000, 5000, 5000}, {2, 7000, 7000, 7000}, {2, top, 1, top},
        {3, top, 1, 3000},     {3, -1, -1, 3000},     {4, 7000, 3000, 3000}};
    for (const auto &[mode, analog23, traced, shownUm] : cases) {
        std::tie(raw.umAnalog23, para.ge.analogOutMode) = std::tuple(analog23, mode);
        EXPECT_EQ(AnalogTraceValue(raw, mode), traced) << mode;
        PlotVIDEOBarGraph();
        EXPECT_EQ(real(pPA, PANEL_MEASVALUE), shownUm / 1000.0) << mode;
    }
}

TEST_F(Measure, TargetSelectorsKeepExactlyOneTarget) {
    // The selector changed and its new state, then the target and what the desktop's RAM,
    // EEPROM and FILE and the touch surface's RAM and EEPROM show.
    const std::tuple<int, int, int, int, std::array<int, 5>> steps[] = {
        {pPA, PANEL_EEPROM, 1, EEPROM, {0, 1, 0, 0, 1}},
        {pPA, PANEL_EEPROM, 0, RAM, {1, 0, 0, 1, 0}},
        {pPA, PANEL_RAM, 0, RAM, {1, 0, 0, 1, 0}},  // RAM cannot be switched off
        {pTSD, TSD_EEPROM, 1, EEPROM, {0, 1, 0, 0, 1}},
        {pPA, PANEL_FILE, 1, DATFILE, {0, 0, 1, 0, 1}},  // the touch surface keeps its choice
        {pTSD, TSD_RAM, 1, RAM, {1, 0, 0, 1, 0}}};
    int step = 0;
    for (const auto &[panel, control, on, selected, shownStates] : steps) {
        enter(panel, control, on, EVENT_VAL_CHANGED);
        EXPECT_EQ(target, selected) << step;
        EXPECT_EQ(
            (std::array{value(pPA, PANEL_RAM), value(pPA, PANEL_EEPROM), value(pPA, PANEL_FILE),
                        value(pTSD, TSD_RAM), value(pTSD, TSD_EEPROM)}),
            shownStates)
            << step++;
    }
}

// With the file as the target, SEND writes a new file at once and asks before overwriting one;
// GET refreshes the panels only from a file it read. Neither talks to the sensor.
TEST_F(Measure, TheFileTargetAsksBeforeOverwritingAndRefreshesOnlyFromAFileRead) {
    const std::string path = dir.filePath("PARA.ini").toStdString();
    const std::string missing = dir.filePath("missing.ini").toStdString();
    const std::string noDir = dir.filePath("no/such/dir/PARA.ini").toStdString();
    target = DATFILE;
    SetCtrlVal(pPA, PANEL_FILE, 1);
    SetPanelValues();
    // The button, the answers to the file dialog and the confirmation, the MASTER's power entered
    // on the panel, the text shown, the power in the file afterwards (0: no file) and shown.
    const std::tuple<int, std::vector<std::pair<int, std::string>>, int, std::string, int, int>
        steps[] = {
            {PANEL_SEND, {{0, ""}}, 500, "Parameter saving to file failed!", 0, 500},
            {PANEL_SEND, {{2, path}}, 600, "Parameter saved to file!", 600, 600},
            {PANEL_SEND, {{1, path}, {0, ""}}, 700, "Parameter not saved to file!", 600, 700},
            {PANEL_SEND, {{1, path}, {1, ""}}, 800, "Parameter saved to file!", 800, 800},
            {PANEL_SEND, {{2, noDir}}, 900, "Parameter saving to file failed!", 800, 900},
            {PANEL_GET, {{0, ""}}, 700, "Parameter not read from file!", 800, 700},
            {PANEL_GET, {{1, missing}}, 700, "Parameter not read from file!", 800, 700},
            {PANEL_GET, {{1, path}}, 700, "Parameter read from file!", 800, 800}};
    for (const auto &[button, answers, entered, said, kept, shownPower] : steps) {
        for (const auto &[result, file] : answers) QueuePopupAnswer(result, file);
        SetCtrlVal(pPara1, PARA1_POWER, entered);
        clearLogs();
        press(pPA, button);
        EXPECT_EQ(PendingPopupAnswers(), 0u) << said;
        EXPECT_EQ(lastText(), said);
        EXPECT_TRUE(wire.requests.empty());
        EXPECT_EQ(value(pPara1, PARA1_POWER), shownPower) << said;
        ParaBlock stored{};
        EXPECT_EQ(ReadParaFromIniFile(stored, path.c_str()) == 1, kept != 0);
        EXPECT_EQ(stored.ma.power, kept) << said;
        ClearPopupAnswers();
    }
}

// An idle SEND keeps the bytes no panel shows; presses during it find the sensor controls dimmed.
TEST_F(Measure, AnIdleSendCarriesEveryByteAndItsPressesFindTheSensorControlsDimmed) {
    connect({"--delay-ms", "40"});  // slow replies: the exchanges wait with events processed
    DisplayPanel(pPA);
    SetCtrlAttribute(pTSD, TSD_RESET, ATTR_DIMMED, 1);  // dimmed before: stays dimmed after
    const Bytes carried{1, 2, 3, 4, 5, 6, 7, 0xF8};     // the SLAVE's bytes that no panel shows
    std::memcpy(para.sl.reserved, carried.data(), carried.size());
    static std::vector<int> dimmedDuring;
    dimmedDuring.clear();
    // The presses come while the first SEND exchange waits for its reply: from the event loop.
    wire.during = [](bool request, int order, int n) {
        if (!request || order != ORD_SEND_RAM || n != 1) return;
        QTimer::singleShot(0, [] {
            ASSERT_TRUE(ExchangeActive());
            for (const MarkedCtrl &c : ktav_panels_sensorControl)
                dimmedDuring.push_back(dimmed(PanelHandle(c.resourceId), c.control));
            click(pPA, PANEL_TEACH);
            click(pPA, PANEL_RUN);
        });
    };
    press(pPA, PANEL_SEND);
    EXPECT_EQ(dimmedDuring, std::vector<int>(ktav_panels_sensorControl.size(), 1));
    EXPECT_EQ(wire.orders(), (std::vector<int>{ORD_SEND_RAM, ORD_SEND_RAM, ORD_SEND_RAM}));
    const Bytes slaveSet = wire.dataOf(ORD_SEND_RAM);
    EXPECT_EQ(Bytes(slaveSet.end() - carried.size(), slaveSet.end()), carried);
    EXPECT_EQ(teach_flag, 0) << "the TEACH press found its button dimmed";
    EXPECT_EQ(stop_flag, STOP_IDLE) << "the RUN press found its button dimmed";
    EXPECT_FALSE(status.has("Timeout") || status.has("TEACH-IN activated"));
    for (const MarkedCtrl &c : ktav_panels_sensorControl)
        EXPECT_EQ(dimmed(PanelHandle(c.resourceId), c.control), c.control == TSD_RESET)
            << c.control;
}

// Panel rules that need no loop: hardware modes 1 and 3 dim the tolerance entries, the pixel graph
// type switches the zoom off on both surfaces and in the settings file, and a threshold change
// redraws its line without sending.
TEST_F(Measure, HardwareModesPixelGraphsAndThresholdsOnThePanels) {
    connect();
    for (int mode : {0, 1, 2, 3, 4}) {
        enter(pPara0, PARA0_HWMODE, mode, EVENT_COMMIT);
        const int dim = mode == 1 || mode == 3;
        EXPECT_EQ((std::vector{dimmed(pPA, PANEL_TOL_UP), dimmed(pPA, PANEL_TOL_LO),
                               dimmed(pTPara0, TPARA0_TOL_UP), dimmed(pTNum, TNUM_TOLMINUS)}),
                  std::vector<int>(4, dim))
            << mode;
    }
    const std::string ini = dir.filePath("settings.ini").toStdString();
    for (const auto &[touch, panel, zoom, type] :
         {std::tuple(0, pPA, PANEL_ZOOM, PANEL_GTYPE), {1, pTGraph, TGRAPH_ZOOM, TGRAPH_GTYPE}}) {
        tsd_flag = touch;
        enter(panel, zoom, 1, EVENT_VAL_CHANGED);
        ASSERT_EQ(zoom_flag, 1);
        enter(panel, type, 0, EVENT_VAL_CHANGED);
        tsd_flag = 0;
        EXPECT_EQ(std::tuple(zoom_flag, value(pPA, PANEL_ZOOM), value(pTGraph, TGRAPH_ZOOM)),
                  std::tuple(0, 0, 0))
            << touch;
        WriteIniFile(ini.c_str());
        AppSettings stored;
        ASSERT_EQ(ReadAppSettings(ini.c_str(), stored), 1);
        EXPECT_EQ(stored.zoom, std::optional<bool>(false)) << touch;
    }
    for (int percent : {40, 100, 0}) {
        enter(pPara1, PARA1_VTHD, percent, EVENT_VAL_CHANGED);
        for (uint16_t point : thdArrayA) ASSERT_EQ(point, percent * ADCMAX / 100) << percent;
        EXPECT_EQ(graph(pPA, PANEL_VIDEO_MASTER)->plotCount(), 2);
    }
    EXPECT_TRUE(wire.requests.empty());
}

// The log has what the panel leaves out: a loop's cycle text once, its count and the cause of
// its end; a failed exchange's cause before the generic text that the panel keeps.
TEST_F(Measure, TheLogHasTheCausesThatThePanelLeavesOut) {
    connect({"--close-after", "22"});  // closed after the identification and a few cycles
    const std::vector<std::string> loop = logged([] { press(pPA, PANEL_RUN); });
    EXPECT_EQ(stop_flag, STOP_TIMEOUT) << "ends as on a time-out";
    const int cycles = wire.repliesOf[ORD_RAW];
    ASSERT_GE(cycles, 2);
    EXPECT_EQ(
        loop,
        (std::vector<std::string>{
            CYCLE_TEXT_FORWARD, "SERVER HAS CLOSED CONNECTION!", "Timeout TCP-Server-error!",
            "Loop ended after " + std::to_string(cycles) + " cycles", "Timeout RS232 Line!"}));
    ScriptedPeer peer;  // answers every request with the MASTER page
    const uint8_t page[32] = {7};
    peer.answer(ORD_GET_RAM, 1, page, sizeof page);
    EXPECT_EQ(logged([] { PushGET(RAM, 0); }),
              (std::vector<std::string>{"ATTENTION! RECEIVED FRAME DOES NOT ANSWER THE REQUEST!",
                                        "Timeout-RS-232..."}));
    EXPECT_EQ(text(pPA, PANEL_STATUS), "Timeout-RS-232...");
    // Past its limit the log starts a new file beside the old one.
    const QString path = dir.filePath("status.log");
    InstallLinkView(path.toUtf8().constData(), 2000);
    for (int i = 0; i < 200; ++i) ShowText(ST_PA, ("status text " + std::to_string(i)).c_str());
    CloseLinkLog();
    ASSERT_TRUE(QFile::exists(path + ".1"));
    EXPECT_LE(std::max(QFileInfo(path).size(), QFileInfo(path + ".1").size()), 2100);
    EXPECT_TRUE(fileLines(path).back().endsWith("status text 199"));
    EXPECT_TRUE(fileLines(path + ".1").back().contains("status text "));
}

}  // namespace
