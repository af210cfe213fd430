// The touch surface on real widgets with the simulator as the sensor pair: the panel toggles,
// touch RUN and VIDEO with their displays and requests, numeric entry with its steppers and
// digit markers, the touch twins of the main panel's controls, the exit and the on-screen
// keyboard.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "app/bindings.h"
#include "app/identify.h"
#include "app/maincontrols.h"
#include "app/stopaction.h"
#include "ktav_panels.h"
#include "link/commands.h"
#include "link/frame.h"
#include "link/status.h"
#include "link/transport.h"
#include "measure/displays.h"
#include "measure/evaluation.h"
#include "measure/recorder.h"
#include "panel_probe.h"
#include "params/derived.h"
#include "params/panelmap.h"
#include "params/paramblock.h"
#include "params/profiles.h"
#include "params/transfer.h"
#include "platform/process.h"
#include "platform/timing.h"
#include "platform/ui/kgraph.h"
#include "platform/ui/runtime.h"
#include "platform/ui/userint.h"
#include "program_fixture.h"
#include "shared/panels.h"
#include "shared/state.h"
#include "sim_process.h"
#include "touch/keyboard.h"
#include "touch/navigation.h"
#include "touch/numentry.h"

namespace {

// Requests sent by order, the touch status texts, and the operator's hand during an exchange.
std::vector<int> orders;
std::vector<std::string> touchTexts, desktopTexts;
std::function<void(int order, int n)> duringRequest;
int requestsOf[256];

void tap(bool request, const uint8_t *bytes, int count) {
    if (!request || count < 2) return;
    const int order = bytes[1];
    orders.push_back(order);
    const int n = ++requestsOf[order];
    if (duringRequest) duringRequest(order, n);
    if (n > 500) stop_flag = STOP_IDLE;  // a loop that was not stopped
}

void recordStatus(unsigned fields, const char *text) {
    if (fields & ST_TSD) touchTexts.emplace_back(text);
    if (fields & ST_PA) desktopTexts.emplace_back(text);
}

int count(int order) {
    return static_cast<int>(std::count(orders.begin(), orders.end(), order));
}

// An operator's touch of a toggle: the press switches it, then left click and commit arrive.
void touchToggle(int toggle) {
    SetCtrlVal(pTSD, toggle, !value(pTSD, toggle));
    Control *control = FindCtrl(pTSD, toggle);
    control->callback(pTSD, toggle, EVENT_LEFT_CLICK, nullptr, 0, 0);
    control->callback(pTSD, toggle, EVENT_COMMIT, nullptr, 0, 0);
}

// An operator's press of a button: left click, then commit, through the bound callback.
void press(int panel, int control) {
    Control *c = FindCtrl(panel, control);
    c->callback(panel, control, EVENT_LEFT_CLICK, nullptr, 0, 0);
    c->callback(panel, control, EVENT_COMMIT, nullptr, 0, 0);
}

int shown(int panel) {
    int v = -1;
    GetPanelAttribute(panel, ATTR_VISIBLE, &v);
    return v;
}

constexpr int kToggles[] = {TSD_TOG_PARA0, TSD_TOG_PARA1,    TSD_TOG_PARA2,  TSD_TOG_NUM,
                            TSD_TOG_GRAPH, TSD_TOG_RECORDER, TSD_TOG_CONNECT};

std::vector<int> togglesOn() {
    std::vector<int> on;
    for (int toggle : kToggles)
        if (value(pTSD, toggle)) on.push_back(toggle);
    return on;
}

class Touch : public ProgramTest {
  protected:
    void SetUp() override {
        ResetProgramState();
        SetLinkView({recordStatus, nullptr, nullptr});
        SetFrameTap(tap);
        clearRecords();
        tsd_flag = 1;
        DisplayPanel(pTSD);
        for (int panel :
             {pTNum, pTMval, pTGraph, pTRec, pTVideo, pTPara0, pTPara1, pTPara2, pTConn})
            HidePanel(panel);
        for (int toggle : kToggles) SetCtrlVal(pTSD, toggle, 0);
        SetCtrlVal(pTRec, TREC_START, 0);
        for (auto show : {DimmTSD_MVALDigits, DimmTSD_SETPTDigits, DimmTSD_TOLPLUSDigits,
                          DimmTSD_TOLMINUSDigits})
            show(0);
    }
    void TearDown() override {
        SetFrameTap(nullptr);
        CloseTCP();
        sim.stop();
        tsd_flag = 0;
        HidePanel(pTSD);
    }

    static void clearRecords() {
        orders.clear();
        touchTexts.clear();
        desktopTexts.clear();
        duringRequest = nullptr;
        std::memset(requestsOf, 0, sizeof requestsOf);
    }

    void connect() {
        ASSERT_TRUE(sim.start());
        comtype = 1;
        std::snprintf(szIPhostName, sizeof szIPhostName, "127.0.0.1");
        tcp_portnum = sim.tcpPort();
        ASSERT_EQ(InitTCP_IP(), 1);
        ASSERT_EQ(InitDataExchange(), 1);
        clearRecords();
    }

    SimProcess sim;
};

// ---- Navigation ------------------------------------------------------------------------------

TEST_F(Touch, EachToggleShowsItsPanelsAndStaysTheOnlyOneOn) {
    connect();
    const struct {
        int toggle;
        std::vector<int *> shows;
    } views[] = {
        {TSD_TOG_PARA0, {&pTPara0}},          {TSD_TOG_PARA1, {&pTPara1}},
        {TSD_TOG_PARA2, {&pTPara2}},          {TSD_TOG_NUM, {&pTNum}},
        {TSD_TOG_GRAPH, {&pTGraph, &pTMval}}, {TSD_TOG_RECORDER, {&pTRec}},
    };
    const std::vector<int *> all = {&pTPara0, &pTPara1, &pTPara2, &pTNum,
                                    &pTGraph, &pTMval,  &pTRec,   &pTVideo};
    for (const auto &v : views) {
        for (int twice = 0; twice < 2; ++twice) {  // the second touch finds the toggle on
            touchToggle(v.toggle);
            EXPECT_EQ(togglesOn(), std::vector<int>{v.toggle}) << v.toggle << " " << twice;
            for (int *panel : all) {
                const bool expected =
                    std::find(v.shows.begin(), v.shows.end(), panel) != v.shows.end();
                EXPECT_EQ(shown(*panel), expected) << v.toggle << " panel " << *panel;
            }
        }
    }
    // CONNECT shows the connection panel over the view and stays on when touched again.
    touchToggle(TSD_TOG_CONNECT);
    EXPECT_EQ(togglesOn(), std::vector<int>{TSD_TOG_CONNECT});
    EXPECT_EQ(shown(pTConn), 1);
    EXPECT_EQ(shown(pTRec), 1) << "the connection panel hides nothing";
    EXPECT_EQ(dimmed(pTConn, TCONN_ACCEPT), 1);
    EXPECT_EQ(dimmed(pTConn, TCONN_TRYCONNECT), 0);
    touchToggle(TSD_TOG_CONNECT);
    EXPECT_EQ(value(pTSD, TSD_TOG_CONNECT), 1);
    // Another view toggle leaves the connection panel and keeps the link open.
    touchToggle(TSD_TOG_GRAPH);
    EXPECT_EQ(shown(pTConn), 0);
    EXPECT_EQ(togglesOn(), std::vector<int>{TSD_TOG_GRAPH});
    EXPECT_EQ(tcp_con, 1);
}

TEST_F(Touch, Para2AndRecorderLeaveTheVideoPanelUnderneath) {
    const struct {
        int toggle;
        int videoShown;
        bool recording;
        const char *status;
    } cases[] = {
        {TSD_TOG_PARA2, 1, false, nullptr},
        {TSD_TOG_RECORDER, 1, false, "Recorder not active!"},
        {TSD_TOG_RECORDER, 1, true, "Recorder active!"},
        {TSD_TOG_PARA1, 0, false, nullptr},
        {TSD_TOG_NUM, 0, false, nullptr},
    };
    for (const auto &c : cases) {
        DisplayPanel(pTVideo);
        tmr_flag = c.recording;
        touchTexts.clear();
        touchToggle(c.toggle);
        EXPECT_EQ(shown(pTVideo), c.videoShown) << c.toggle;
        if (c.status) {
            EXPECT_EQ(touchTexts, std::vector<std::string>{c.status});
        }
    }
}

// ---- Touch RUN and VIDEO ---------------------------------------------------------------------

TEST_F(Touch, RunWithNeitherNumNorGraphOpensNumAndFeedsTheTouchDisplays) {
    connect();
    tmr_flag = 1;  // the touch recorder's timer runs
    para.ge.umSetpoint = 12345;
    duringRequest = [](int order, int n) {
        if (order != ORD_RAW) return;
        if (n == 1) {
            EXPECT_EQ(value(pTSD, TSD_TOG_NUM), 1);
            EXPECT_EQ(shown(pTNum), 1);
            EXPECT_EQ(shown(pTMval), 0);
            EXPECT_EQ(attribute(pTSD, TSD_RECLED, ATTR_VISIBLE), 1);
            EXPECT_EQ(attribute(pTSD, TSD_RECLED, ATTR_ON_COLOR), 0xA0DC42);
            EXPECT_EQ(attribute(pTRec, TREC_RECLED, ATTR_ON_COLOR), 0xA0DC42);
            EXPECT_EQ(attribute(pTSD, TSD_RUN, ATTR_TEXT_BGCOLOR), 0xA0DC42);
            EXPECT_EQ(attribute(pTSD, TSD_EXIT, ATTR_VISIBLE), 0);
            for (int control : {TSD_RUN, TSD_VIDEO, TSD_GET})
                EXPECT_EQ(dimmed(pTSD, control), 1) << control;
        }
        if (n == 3) {
            // The numeric panel shows this record: the cycle that ends after STOP leaves it.
            EXPECT_DOUBLE_EQ(real(pTNum, TNUM_MEASVALUE), umValue / 1000.0);
            EXPECT_DOUBLE_EQ(real(pTNum, TNUM_VALUE_ANA23), raw.umAnalog23 / 1000.0);
            CC_BTNStop(pTSD, TSD_STOP, EVENT_LEFT_CLICK, nullptr, 0, 0);
        }
    };
    press(pTSD, TSD_RUN);
    EXPECT_EQ(count(ORD_RAW), 3);
    EXPECT_EQ(stop_flag, STOP_IDLE);
    EXPECT_EQ(touchTexts[0], "Transmission successful  ---> Line Ok!");
    EXPECT_EQ(touchTexts[1], "Transmission successful <---  Line Ok!");
    EXPECT_EQ(desktopTexts.back(), "Data-Transfer Stopped!") << "PushSTOP ends touch RUN";
    EXPECT_DOUBLE_EQ(real(pTNum, TNUM_SETPOINT), 12.345);
    EXPECT_EQ(attribute(pTNum, TNUM_MEASVALUE, ATTR_TEXT_BGCOLOR), 0x484848) << "idle colour";
    auto *master = static_cast<KGraph *>(FindCtrl(pTSD, TSD_GRAPH_MASTER)->widget);
    EXPECT_EQ(master->cursorPosition(1).x(), ClampPosition(raw.posA, PixelCount()));
    // The touch strip chart shifted the shared history.
    EXPECT_EQ(arrayNORM[(STRIP_SAMPLES - 1) * STRIP_TRACES + 5], raw.posA);
    auto *chart = static_cast<KGraph *>(FindCtrl(pTGraph, TGRAPH_STRIPCHART)->widget);
    EXPECT_EQ(chart->traceValues(6).back(), raw.posA);
}

TEST_F(Touch, RunKeepsRunningUnderTheViewsAndEndsAfterItsCycleForTheRecorder) {
    connect();
    duringRequest = [](int order, int n) {
        if (order != ORD_RAW) return;
        if (n == 2) touchToggle(TSD_TOG_PARA0);
        if (n == 3) {
            EXPECT_EQ(shown(pTPara0), 1);
            EXPECT_EQ(attribute(pTSD, TSD_RUN, ATTR_TEXT_BGCOLOR), 0xA0DC42);
            EXPECT_EQ(dimmed(pTSD, TSD_RUN), 1);
            touchToggle(TSD_TOG_GRAPH);
        }
        if (n == 4) {
            EXPECT_EQ(stop_flag, STOP_RUNNING) << "RUN goes on under GRAPH";
            touchToggle(TSD_TOG_RECORDER);
            EXPECT_EQ(stop_flag, STOP_IDLE);
        }
    };
    press(pTSD, TSD_RUN);
    EXPECT_EQ(count(ORD_RAW), 4) << "the cycle under way ends, no further one starts";
    EXPECT_EQ(shown(pTRec), 1);
    for (int control : {TSD_RUN, TSD_STOP, TSD_VIDEO, TSD_TEACH, TSD_RESET, TSD_EXIT})
        EXPECT_EQ(dimmed(pTSD, control), 1) << control;
    for (int control : {TSD_GET, TSD_SEND, TSD_RAM, TSD_EEPROM})
        EXPECT_EQ(dimmed(pTSD, control), 0) << control;
    EXPECT_EQ(touchTexts.back(), "RS232 data-transfer stopped! Recorder not active!");
}

// The row of a graph's picture with the most pixels of `colour`: where a level line lies.
int rowOf(int panel, int control, QRgb colour) {
    const QImage image =
        FindCtrl(panel, control)->widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int best = -1, most = 0;
    for (int y = 0; y < image.height(); ++y) {
        int n = 0;
        for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour;
        if (n > most) std::tie(best, most) = std::pair(y, n);
    }
    return best;
}

TEST_F(Touch, VideoLeavesNoToggleOnAndStopsWhenAViewIsChosen) {
    connect();
    touchToggle(TSD_TOG_PARA1);
    SetCtrlVal(pTSD, TSD_EEPROM, 1);
    target = EEPROM;
    timeout_flag = 1;  // a touch recording stopped by a time-out before
    para.ma.videoThreshold = 20;
    para.sl.videoThreshold = 80;
    FillThresholdLines();
    duringRequest = [](int order, int n) {
        if (order != ORD_VIDEO) return;
        if (n == 1) {
            EXPECT_EQ(togglesOn(), std::vector<int>{});
            EXPECT_EQ(shown(pTVideo), 1);
            EXPECT_EQ(shown(pTMval), 1);
            EXPECT_EQ(shown(pTPara1), 0);
            EXPECT_EQ(dimmed(pTSD, TSD_RAM), 1);
            EXPECT_EQ(timeout_flag, 0);
        }
        if (n == 3) {
            // Each side's profile with its own threshold line: the master's lies lower.
            EXPECT_GT(rowOf(pTVideo, TVIDEO_VIDEO_MASTER, qRgb(0, 0x80, 0)),
                      rowOf(pTVideo, TVIDEO_VIDEO_SLAVE, qRgb(0, 0x80, 0)));
            touchToggle(TSD_TOG_NUM);
        }
    };
    press(pTSD, TSD_VIDEO);
    EXPECT_EQ(count(ORD_VIDEO), 3);
    EXPECT_EQ(target, RAM);
    EXPECT_EQ(stop_flag, STOP_IDLE);
    EXPECT_EQ(video_flag, 0);
    EXPECT_TRUE(desktopTexts.empty()) << "touch VIDEO does not end with PushSTOP";
    EXPECT_EQ(value(pTSD, TSD_TOG_NUM), 1);
    EXPECT_EQ(shown(pTVideo), 0);
    auto *video = static_cast<KGraph *>(FindCtrl(pTVideo, TVIDEO_VIDEO_MASTER)->widget);
    EXPECT_EQ(video->plotCount(), 2) << "profile and threshold line";
}

TEST_F(Touch, ACalibrationWriteRequestedInATouchLoopWaitsForADesktopLoop) {
    connect();
    masl_flag = 1;
    duringRequest = [](int order, int n) {
        if (order != ORD_RAW) return;
        if (n == 1) {
            wrxf_flag = 1;
            send_flag = 1;
        }
        if (n == 3) stop_flag = STOP_IDLE;
    };
    press(pTSD, TSD_RUN);
    EXPECT_EQ(count(ORD_SEND_RAM), 3) << "SEND is served by the touch loop";
    EXPECT_EQ(count(ORD_CALIB_WRITE), 0);
    EXPECT_EQ(wrxf_flag, 1);

    tsd_flag = 0;
    clearRecords();
    duringRequest = [](int order, int n) {
        if (order == ORD_RAW && n == 2) stop_flag = STOP_IDLE;
    };
    press(pPA, PANEL_RUN);
    EXPECT_EQ(count(ORD_CALIB_WRITE), 1);
    EXPECT_EQ(wrxf_flag, 0);
}

// A failed loop tells its time-out and leaves the buttons as STOP does.
TEST_F(Touch, AFailedLoopTellsItsTimeoutAndLeavesTheButtonsAsStopDoes) {
    const struct {
        int button;
        const char *text;
    } loops[] = {{TSD_RUN, "Timeout TCP-Server-error!"}, {TSD_VIDEO, "Timeout RS232-Line!"}};
    for (const auto &loop : loops) {
        CloseTCP();
        connect();
        sim.stop();
        press(pTSD, loop.button);
        EXPECT_EQ(stop_flag, STOP_TIMEOUT);
        EXPECT_EQ(touchTexts.back(), loop.text);
        EXPECT_EQ(video_flag, 0);
        for (int control :
             {TSD_RUN, TSD_STOP, TSD_VIDEO, TSD_TEACH, TSD_RESET, TSD_GET, TSD_SEND, TSD_RAM})
            EXPECT_EQ(dimmed(pTSD, control), 0) << loop.button << " " << control;
        EXPECT_EQ(attribute(pTSD, TSD_RUN, ATTR_TEXT_BGCOLOR), 0xE0E0E0) << loop.button;
        EXPECT_EQ(attribute(pTSD, TSD_VIDEO, ATTR_TEXT_BGCOLOR), 0xE0E0E0) << loop.button;
        EXPECT_EQ(attribute(pTSD, TSD_EXIT, ATTR_VISIBLE), 1) << loop.button;
        if (loop.button == TSD_RUN) {
            EXPECT_EQ(desktopTexts.back(), "Timeout RS232 Line!");
        }
    }
}

// ---- Numeric entry ---------------------------------------------------------------------------

struct Field {
    int *panel;
    int control;
};

TEST_F(Touch, SteppersKeepTheirLimitsAndWriteEveryFieldOfTheirValue) {
    const struct {
        int marker;  // selects the step
        int display, stepper;
        double before, after;
        std::vector<Field> copies;
        bool dimmed = false;  // the display, as hardware modes 1 and 3 dim the tolerances
    } cases[] = {
        {TNUM_TOLPLUS_D1MM,
         TNUM_TOLPLUS,
         TNUM_TOLPLUS_DOWN,
         0.5,
         0.0,
         {{&pTPara0, TPARA0_TOL_UP}, {&pPA, PANEL_TOL_UP}}},
        {TNUM_TOLPLUS_D100UM,
         TNUM_TOLPLUS,
         TNUM_TOLPLUS_UP,
         0.5,
         0.6,
         {{&pTPara0, TPARA0_TOL_UP}, {&pPA, PANEL_TOL_UP}}},
        {TNUM_TOLMINUS_D10MM,
         TNUM_TOLMINUS,
         TNUM_TOLMINUS_DOWN,
         9.999,
         0.0,
         {{&pTPara0, TPARA0_TOL_LO}, {&pPA, PANEL_TOL_LO}}},
        {TNUM_TOLMINUS_D10UM,
         TNUM_TOLMINUS,
         TNUM_TOLMINUS_UP,
         0.2,
         0.21,
         {{&pTPara0, TPARA0_TOL_LO}, {&pPA, PANEL_TOL_LO}}},
        {TNUM_SETP_D1UM,
         TNUM_SETPOINT,
         TNUM_SETP_DOWN,
         0.0,
         -0.001,
         {{&pTPara0, TPARA0_SETPOINT}, {&pCalib, CALIB_SETPOINT}}},
        {TNUM_SETP_D100MM,
         TNUM_SETPOINT,
         TNUM_SETP_UP,
         1.5,
         101.5,
         {{&pTPara0, TPARA0_SETPOINT}, {&pCalib, CALIB_SETPOINT}}},
        {TNUM_TOLPLUS_D1UM,
         TNUM_TOLPLUS,
         TNUM_TOLPLUS_UP,
         1.0,
         1.0,
         {{&pTPara0, TPARA0_TOL_UP}, {&pPA, PANEL_TOL_UP}},
         true},
        {TNUM_TOLMINUS_D1MM,
         TNUM_TOLMINUS,
         TNUM_TOLMINUS_DOWN,
         2.5,
         2.5,
         {{&pTPara0, TPARA0_TOL_LO}, {&pPA, PANEL_TOL_LO}},
         true},
        // At a limit: a step down reaches it exactly, a step up leaves it.
        {TNUM_TOLPLUS_D1MM,
         TNUM_TOLPLUS,
         TNUM_TOLPLUS_DOWN,
         1.0,
         0.0,
         {{&pTPara0, TPARA0_TOL_UP}, {&pPA, PANEL_TOL_UP}}},
        {TNUM_TOLMINUS_D1UM,
         TNUM_TOLMINUS,
         TNUM_TOLMINUS_UP,
         0.0,
         0.001,
         {{&pTPara0, TPARA0_TOL_LO}, {&pPA, PANEL_TOL_LO}}},
        {TNUM_MVAL_D1MM, TNUM_MEASVALUE, TNUM_MVAL_UP, 0.0, 1.0, {}},
        {TNUM_MVAL_D10MM, TNUM_MEASVALUE, TNUM_MVAL_DOWN, 0.0, -10.0, {}},
    };
    for (const auto &c : cases) {
        Control *marker = FindCtrl(pTNum, c.marker);
        marker->callback(pTNum, c.marker, EVENT_LEFT_CLICK, nullptr, 0, 0);
        SetCtrlVal(pTNum, c.display, c.before);
        for (const Field &f : c.copies) SetCtrlVal(*f.panel, f.control, c.before);
        SetCtrlAttribute(pTNum, c.display, ATTR_DIMMED, c.dimmed);
        press(pTNum, c.stepper);
        EXPECT_NEAR(real(pTNum, c.display), c.after, 1e-9) << c.stepper;
        for (const Field &f : c.copies)
            EXPECT_NEAR(real(*f.panel, f.control), c.after, 1e-9) << c.stepper;
    }
}

TEST_F(Touch, SteppedTolerancesReachTheSensorWithTheNextSend) {
    connect();
    para.ge.hardwareMode = 0;  // the tolerances are the program's, not set at the housing
    para.ge.umUpperTolerance = 700;
    para.ge.umLowerTolerance = 300;
    SetPanelValues();
    CC_NDISPmmTolPlus(pTNum, TNUM_TOLPLUS, EVENT_LEFT_CLICK, nullptr, 0, 0);
    press(pTNum, TNUM_TOLPLUS_UP);  // 0.701
    FindCtrl(pTNum, TNUM_TOLMINUS_D100UM)
        ->callback(pTNum, TNUM_TOLMINUS_D100UM, EVENT_LEFT_CLICK, nullptr, 0, 0);
    press(pTNum, TNUM_TOLMINUS_DOWN);  // 0.2
    press(pTSD, TSD_SEND);
    ASSERT_EQ(count(ORD_SEND_RAM), 3);
    para.ge.umUpperTolerance = para.ge.umLowerTolerance = 0;
    for (uint16_t set = 0; set < 3; ++set) PushGET(RAM, set);
    EXPECT_EQ(para.ge.umUpperTolerance, 701);
    EXPECT_EQ(para.ge.umLowerTolerance, 200);
}

// A stepper ends RUN before its value changes, and steps from the value shown.
TEST_F(Touch, AStepperTouchedDuringRunEndsRunBeforeTheValueChanges) {
    connect();
    touchToggle(TSD_TOG_NUM);
    para.ge.umSetpoint = 5000;
    static double measured;
    duringRequest = [](int order, int n) {
        if (order != ORD_RAW || n != 2) return;
        measured = real(pTNum, TNUM_MEASVALUE);
        CC_NDISPmmSetpoint(pTNum, TNUM_SETPOINT, EVENT_LEFT_CLICK, nullptr, 0, 0);
        Control *up = FindCtrl(pTNum, TNUM_SETP_UP);
        up->callback(pTNum, TNUM_SETP_UP, EVENT_LEFT_CLICK, nullptr, 0, 0);
        EXPECT_EQ(stop_flag, STOP_IDLE) << "RUN ends before the value changes";
        up->callback(pTNum, TNUM_SETP_UP, EVENT_COMMIT, nullptr, 0, 0);
    };
    press(pTSD, TSD_RUN);
    EXPECT_EQ(count(ORD_RAW), 2);
    EXPECT_NEAR(real(pTNum, TNUM_SETPOINT), 5.001, 1e-9)
        << "the cycle that ends after the stop leaves the stepped value";
    EXPECT_NEAR(real(pTPara0, TPARA0_SETPOINT), 5.001, 1e-9);
    EXPECT_EQ(touchTexts.back(), "RS232 data-transfer stopped!");
    EXPECT_EQ(dimmed(pTSD, TSD_RUN), 0);
    FindCtrl(pTNum, TNUM_MVAL_D1MM)
        ->callback(pTNum, TNUM_MVAL_D1MM, EVENT_LEFT_CLICK, nullptr, 0, 0);
    for (double steps : {1.0, 2.0}) {
        press(pTNum, TNUM_MVAL_UP);
        EXPECT_NEAR(real(pTNum, TNUM_MEASVALUE), measured + steps, 1e-9) << "from the value shown";
    }
}

TEST_F(Touch, SendHidesTheMarkersAndTouchingADisplayShowsItsOwnWithTheFinestStep) {
    const int setpointMarkers[] = {TNUM_SETP_D100MM, TNUM_SETP_D10MM, TNUM_SETP_D1MM,
                                   TNUM_SETP_D100UM, TNUM_SETP_D10UM, TNUM_SETP_D1UM};
    CC_BTNSend(pTSD, TSD_SEND, EVENT_LEFT_CLICK, nullptr, 0, 0);
    for (int marker : setpointMarkers)
        EXPECT_EQ(attribute(pTNum, marker, ATTR_VISIBLE), 0) << marker;
    for (int control : {TNUM_MVAL_UP, TNUM_MVAL_MM, TNUM_TOLPLUS_D1MM, TNUM_TOLMINUS_D1UM})
        EXPECT_EQ(attribute(pTNum, control, ATTR_VISIBLE), 0) << control;
    for (int stepper : {TNUM_SETP_UP, TNUM_TOLPLUS_DOWN, TNUM_TOLMINUS_UP})
        EXPECT_EQ(dimmed(pTNum, stepper), 1) << stepper;

    mmDelta = 10.0;
    CC_NDISPmmSetpoint(pTNum, TNUM_SETPOINT, EVENT_LEFT_CLICK, nullptr, 0, 0);
    EXPECT_EQ(mmDelta, 0.001);
    for (int marker : setpointMarkers)
        EXPECT_EQ(attribute(pTNum, marker, ATTR_VISIBLE), 1) << marker;
    EXPECT_EQ(dimmed(pTNum, TNUM_SETP_UP), 0);
    EXPECT_EQ(attribute(pTNum, TNUM_TOLPLUS_D1MM, ATTR_VISIBLE), 0) << "only its own value";
    EXPECT_EQ(attribute(pTNum, TNUM_MVAL_UP, ATTR_VISIBLE), 0) << "the measured value's stay";
    CC_TEXTmeasvalue(pTNum, TNUM_MEASVALUE, EVENT_LEFT_CLICK, nullptr, 0, 0);
    EXPECT_EQ(attribute(pTNum, TNUM_MVAL_UP, ATTR_VISIBLE), 0);
}

// ---- Touch twins of the main panel's controls -------------------------------------------------

TEST_F(Touch, TwinsReadTheTouchControlAndShowTheSameOnBothSurfaces) {
    const struct {
        int panel, control, value;
        int desktopPanel, desktopControl;
    } cases[] = {
        {pTPara1, TPARA1_VTHD, 40, pPara1, PARA1_VTHD},
        {pTPara2, TPARA2_VTHD, 70, pPara2, PARA2_VTHD},
        {pTPara0, TPARA0_EVALMODE, 3, pPara0, PARA0_EVALMODE},
        {pTPara0, TPARA0_HWMODE, 1, pPara0, PARA0_HWMODE},
        {pTPara0, TPARA0_TRIGMODE, 2, pPara0, PARA0_TRIGMODE},
        {pTPara0, TPARA0_POLARITY, 1, pPara0, PARA0_POLARITY},
        {pTGraph, TGRAPH_GTYPE, 1, pPA, PANEL_GTYPE},
        {pTGraph, TGRAPH_ZOOM, 1, pPA, PANEL_ZOOM},
    };
    for (const auto &c : cases) {
        SetCtrlVal(c.panel, c.control, c.value);
        Control *control = FindCtrl(c.panel, c.control);
        ASSERT_NE(control->callback, nullptr) << c.control;
        control->callback(c.panel, c.control, EVENT_VAL_CHANGED, nullptr, 0, 0);
        control->callback(c.panel, c.control, EVENT_COMMIT, nullptr, 0, 0);
        EXPECT_EQ(value(c.desktopPanel, c.desktopControl), c.value) << c.control;
    }
    EXPECT_EQ(thdArrayA[0], 40 * ADCMAX / 100);
    EXPECT_EQ(thdArrayB[MAXPOINT - 1], 70 * ADCMAX / 100);
    EXPECT_EQ(text(pPA, PANEL_LBL_TRIGMODE), "TRG: IN0 LH");
    EXPECT_EQ(dimmed(pTNum, TNUM_TOLPLUS), 1) << "hardware mode 1";
    EXPECT_EQ(zoom_flag, 1);
}

// ---- Exit and on-screen keyboard ---------------------------------------------------------------

TEST_F(Touch, ExitReturnsToTheDesktopWithNumReadyForTheNextEntry) {
    touchToggle(TSD_TOG_GRAPH);
    SetCtrlVal(pPA, PANEL_TOUCH, 1);
    stop_flag = STOP_RUNNING;
    press(pTSD, TSD_EXIT);
    EXPECT_EQ(tsd_flag, 0);
    EXPECT_EQ(stop_flag, STOP_IDLE);
    EXPECT_EQ(value(pPA, PANEL_TOUCH), 0);
    EXPECT_EQ(togglesOn(), std::vector<int>{TSD_TOG_NUM});
    for (int panel : {pTGraph, pTNum, pTSD}) EXPECT_EQ(shown(panel), 0) << panel;
}

// A keyboard program that writes its start and its end into the file named by its argument.
QString keyboardScript(const QTemporaryDir &dir) {
    const QString path = dir.filePath("keyboard.sh");
    QFile script(path);
    EXPECT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(
        "echo started >> \"$1\"\n"
        "trap 'echo ended >> \"$1\"; exit 0' TERM\n"
        "while :; do sleep 0.05; done\n");
    return path;
}

std::string readLog(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

bool waitFor(const std::function<bool()> &condition) {
    for (const double end = Timer() + 10.0; Timer() < end; WaitForSystemEvents(0.02))
        if (condition()) return true;
    return false;
}

TEST_F(Touch, KeyboardStartsAndEndsByItsProcessAndOutlivesTheExit) {
    QTemporaryDir dir;
    const QString log = dir.filePath("keyboard.log");
    qputenv("KTAV_KEYBOARD", ("sh " + keyboardScript(dir) + " " + log).toUtf8());
    auto toggle = [](int on) {
        SetCtrlVal(pTSD, TSD_TOG_KEYBOARD, on);
        CC_TTOGG_Keyboard(pTSD, TSD_TOG_KEYBOARD, EVENT_VAL_CHANGED, nullptr, 0, 0);
    };
    toggle(1);
    ASSERT_NE(pKeyboard, 0);
    EXPECT_TRUE(waitFor([&] { return readLog(log) == "started\n"; }));
    toggle(0);
    EXPECT_EQ(readLog(log), "started\nended\n");
    EXPECT_EQ(pKeyboard, 0);

    // Exiting touch mode leaves it running with the toggle off.
    toggle(1);
    const int running = pKeyboard;
    press(pTSD, TSD_EXIT);
    EXPECT_EQ(value(pTSD, TSD_TOG_KEYBOARD), 0);
    EXPECT_EQ(ExecutableHasTerminated(running), 0);
    EXPECT_TRUE(waitFor([&] { return readLog(log) == "started\nended\nstarted\n"; }));
    // Back on the touch surface, the toggle takes the running keyboard over.
    tsd_flag = 1;
    toggle(1);
    EXPECT_EQ(pKeyboard, running);
    toggle(0);
    EXPECT_EQ(readLog(log), "started\nended\nstarted\nended\n");

    // A keyboard that cannot start, or ends by itself, switches the toggle off and says why.
    const struct {
        const char *command;
        const char *says;
    } ends[] = {
        {"/nonexistent/on-screen-keyboard",
         "On-screen keyboard not started: "
         "execvp: No such file or directory"},
        {"sh -c \"echo 'dbus.exceptions.DBusException: NoServer' >&2; exit 1\"",
         "On-screen keyboard ended: needs a D-Bus session"},
        {"sh -c \"echo warning >&2; echo 'no layout: de' >&2; exit 3\"",
         "On-screen keyboard ended: no layout: de"},
        {"sh -c \"echo warning >&2\"", "On-screen keyboard ended!"},  // its own close button
    };
    for (const auto &end : ends) {
        qputenv("KTAV_KEYBOARD", end.command);
        touchTexts.clear();
        toggle(1);
        EXPECT_TRUE(waitFor([] { return value(pTSD, TSD_TOG_KEYBOARD) == 0; })) << end.command;
        EXPECT_EQ(pKeyboard, 0);
        EXPECT_EQ(touchTexts, std::vector<std::string>{end.says}) << end.command;
    }
    qunsetenv("KTAV_KEYBOARD");
}

}  // namespace
