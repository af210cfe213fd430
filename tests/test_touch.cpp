// The touch surface with the simulator as the sensor pair: the view toggles, touch RUN and VIDEO,
// numeric entry, the touch twins of the main panel's controls, the exit and the keyboard.
#include <QImage>
#include <tuple>

#include "core/link/commands.h"
#include "core/link/transport.h"
#include "core/measure/evaluation.h"
#include "core/params/profiles.h"
#include "core/params/transfer.h"
#include "core/system/process.h"
#include "gui/app/identityview.h"
#include "gui/measure/displays.h"
#include "gui/params/panelmap.h"
#include "gui/params/videocurves.h"
#include "gui/runtime/kgraph.h"
#include "gui/touch/keyboard.h"
#include "gui/touch/numentry.h"
#include "ktav_panels.h"
#include "support.h"

namespace {

constexpr int kGreen = 0xA0DC42, kIdle = 0xE0E0E0;
constexpr int kToggles[] = {TSD_TOG_PARA0, TSD_TOG_PARA1,    TSD_TOG_PARA2,  TSD_TOG_NUM,
                            TSD_TOG_GRAPH, TSD_TOG_RECORDER, TSD_TOG_CONNECT};

std::vector<int> togglesOn() {
    std::vector<int> on;
    for (int toggle : kToggles)
        if (value(pTSD, toggle)) on.push_back(toggle);
    return on;
}

// The views' panels that show, in the order of the touch surface's toggles.
std::vector<int> shownPanels() {
    std::vector<int> on;
    for (int panel : {pTPara0, pTPara1, pTPara2, pTNum, pTGraph, pTMval, pTRec, pTVideo, pTConn})
        if (shown(panel)) on.push_back(panel);
    return on;
}

// Calls `act(n)` as the n-th request of `order` goes out.
void duringRequest(int order, std::function<void(int n)> act) {
    wire.during = [order, act](bool request, int o, int n) {
        if (request && o == order) act(n);
    };
}

class Touch : public ProgramTest {
  protected:
    void SetUp() override {
        ResetProgramState();
        SetLinkView({recordStatus});
        SetFrameTap(tapWire);
        wire.clear();
        status.clear();
        tsd_flag = 1;
        DisplayPanel(pTSD);
        for (int panel : shownPanels()) HidePanel(panel);
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
    void connect() {
        ASSERT_TRUE(sim.start());
        ASSERT_TRUE(sim.openTcp());
        ASSERT_EQ(InitDataExchange(), 1);
        wire.clear();
        status.clear();
    }
    static void touchToggle(int toggle) { ::touchToggle(pTSD, toggle); }
    static std::vector<std::string> touchTexts() { return status.texts(ST_TSD); }
    // The touch that selects a display or a digit: a left click, no commit.
    static void leftClick(int panel, int control) { deliver(panel, control, EVENT_LEFT_CLICK); }

    SimProcess sim;
};

// Each view toggle shows its panels and stays the only one on, touched once or twice; PARA2 and
// RECORDER leave the video panel underneath, the others hide it, CONNECT hides nothing.
TEST_F(Touch, EachToggleShowsItsPanelsAndStaysTheOnlyOneOn) {
    connect();
    const struct {
        int toggle;
        std::vector<int> shows;
    } views[] = {
        {TSD_TOG_PARA0, {pTPara0}},
        {TSD_TOG_PARA1, {pTPara1}},
        {TSD_TOG_PARA2, {pTPara2, pTVideo}},
        {TSD_TOG_NUM, {pTNum}},
        {TSD_TOG_GRAPH, {pTGraph, pTMval}},
        {TSD_TOG_RECORDER, {pTRec, pTVideo}},
        {TSD_TOG_CONNECT, {pTRec, pTVideo, pTConn}},
    };
    SetCtrlAttribute(pPA, PANEL_SEND, ATTR_DIMMED, 1);  // dimmed before: stays dimmed after
    for (const auto &v : views) {
        DisplayPanel(pTVideo);
        for (int twice = 0; twice < 2; ++twice) {  // the second touch finds the toggle on
            touchToggle(v.toggle);
            EXPECT_EQ(togglesOn(), std::vector<int>{v.toggle}) << v.toggle << " " << twice;
            EXPECT_EQ(shownPanels(), v.shows) << v.toggle << " " << twice;
        }
    }
    EXPECT_EQ(touchTexts().back(), "Recorder not active!") << "the recorder view tells its state";
    EXPECT_EQ(dimmed(pTConn, TCONN_ACCEPT) + dimmed(pPA, PANEL_SEND), 2);
    EXPECT_EQ(dimmed(pTConn, TCONN_TRYCONNECT), 0);
    // Another view toggle leaves the connection panel and keeps the link open.
    touchToggle(TSD_TOG_GRAPH);
    EXPECT_EQ(shown(pTConn), 0);
    EXPECT_EQ(togglesOn(), std::vector<int>{TSD_TOG_GRAPH});
    EXPECT_EQ(tcp_con, 1);
    tmr_flag = 1;
    touchToggle(TSD_TOG_RECORDER);
    EXPECT_EQ(touchTexts().back(), "Recorder active!");
}

// RUN with neither NUM nor GRAPH on; it keeps running under the other views.
TEST_F(Touch, RunOpensNumFeedsTheViewsAndEndsAfterItsCycleForTheRecorder) {
    connect();
    para.ge.umSetpoint = 12345;
    duringRequest(ORD_RAW, [](int n) {
        if (n == 1) {
            EXPECT_EQ(togglesOn(), std::vector<int>{TSD_TOG_NUM});
            EXPECT_EQ(shownPanels(), std::vector<int>{pTNum});
            EXPECT_EQ(attribute(pTSD, TSD_RUN, ATTR_TEXT_BGCOLOR), kGreen);
            EXPECT_EQ(attribute(pTSD, TSD_EXIT, ATTR_VISIBLE), 0);
        }
        if (n == 2) {
            EXPECT_DOUBLE_EQ(real(pTNum, TNUM_MEASVALUE), umValue / 1000.0);
            EXPECT_DOUBLE_EQ(real(pTNum, TNUM_SETPOINT), 12.345);
            touchToggle(TSD_TOG_PARA0);
        }
        if (n == 3) {
            EXPECT_EQ(shown(pTPara0), 1);
            for (int control : {TSD_RUN, TSD_VIDEO, TSD_GET})
                EXPECT_EQ(dimmed(pTSD, control), 1) << control;
            touchToggle(TSD_TOG_GRAPH);
        }
        if (n == 4) {
            EXPECT_EQ(stop_flag, STOP_RUNNING) << "RUN goes on under GRAPH";
            touchToggle(TSD_TOG_RECORDER);
            EXPECT_EQ(stop_flag, STOP_IDLE);
        }
    });
    press(pTSD, TSD_RUN);
    EXPECT_EQ(wire.sent(ORD_RAW), 4) << "the cycle under way ends, no further one starts";
    EXPECT_EQ(touchTexts()[0], "Transmission successful  ---> Line Ok!");
    EXPECT_EQ(touchTexts().back(), "RS232 data-transfer stopped! Recorder not active!");
    EXPECT_EQ(status.texts(ST_PA).back(), "Data-Transfer Stopped!") << "PushSTOP ends touch RUN";
    EXPECT_EQ(shown(pTRec), 1);
    for (int control : {TSD_RUN, TSD_STOP, TSD_VIDEO, TSD_TEACH, TSD_RESET})
        EXPECT_EQ(dimmed(pTSD, control), 1) << control;
    for (int control : {TSD_GET, TSD_SEND, TSD_RAM, TSD_EEPROM, TSD_EXIT})
        EXPECT_EQ(dimmed(pTSD, control), 0) << control << ": the recorder is idle";
    auto *master = static_cast<KGraph *>(FindCtrl(pTSD, TSD_GRAPH_MASTER)->widget);
    EXPECT_EQ(master->cursorPosition(1).x(), ClampPosition(raw.posA, PixelCount()));
    auto *chart = static_cast<KGraph *>(FindCtrl(pTGraph, TGRAPH_STRIPCHART)->widget);
    EXPECT_EQ(chart->traceValues(6).back(), raw.posA) << "the touch strip chart follows";
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
    duringRequest(ORD_VIDEO, [](int n) {
        if (n == 1) {
            EXPECT_EQ(togglesOn(), std::vector<int>{});
            EXPECT_EQ(shownPanels(), (std::vector<int>{pTMval, pTVideo}));
            EXPECT_EQ(dimmed(pTSD, TSD_RAM), 1);
            EXPECT_EQ(timeout_flag, 0);
        }
        if (n == 3) {
            // Each side's profile with its own threshold line: the master's lies lower.
            EXPECT_GT(rowOf(pTVideo, TVIDEO_VIDEO_MASTER, qRgb(0, 0x80, 0)),
                      rowOf(pTVideo, TVIDEO_VIDEO_SLAVE, qRgb(0, 0x80, 0)));
            // and its own profile: drawing each side's half of the reply again changes nothing.
            const auto picture = [](int graph) {
                return FindCtrl(pTVideo, graph)->widget->grab().toImage();
            };
            const QImage master = picture(TVIDEO_VIDEO_MASTER), slave = picture(TVIDEO_VIDEO_SLAVE);
            ASSERT_NE(std::memcmp(adbuf, adbuf + MAXPOINT, sizeof adbuf / 2), 0);
            PlotVIDEOCurveA(adbuf, thdArrayA, xArray8);
            PlotVIDEOCurveB(adbuf + MAXPOINT, thdArrayB, xArray8);
            EXPECT_TRUE(picture(TVIDEO_VIDEO_MASTER) == master &&
                        picture(TVIDEO_VIDEO_SLAVE) == slave);
            touchToggle(TSD_TOG_NUM);
        }
    });
    press(pTSD, TSD_VIDEO);
    EXPECT_EQ(wire.sent(ORD_VIDEO), 3);
    EXPECT_EQ(target, RAM);
    EXPECT_EQ(stop_flag, STOP_IDLE);
    EXPECT_EQ(video_flag, 0);
    EXPECT_TRUE(status.texts(ST_PA).empty()) << "touch VIDEO does not end with PushSTOP";
    EXPECT_EQ(value(pTSD, TSD_TOG_NUM), 1);
    EXPECT_EQ(shown(pTVideo), 0);
    auto *video = static_cast<KGraph *>(FindCtrl(pTVideo, TVIDEO_VIDEO_MASTER)->widget);
    EXPECT_EQ(video->plotCount(), 2) << "profile and threshold line";
}

// The touch loops serve SEND but not a calibration header write: WRITE pressed meanwhile is
// refused, saying why, and no later loop writes that header.
TEST_F(Touch, ACalibrationWriteInATouchLoopIsRefusedNotLeftForALaterLoop) {
    connect();
    duringRequest(ORD_RAW, [](int n) {
        if (n == 1) {
            press(pTSD, TSD_SEND);
            SetCtrlVal(pCalib, CALIB_WRHEADER, 1);
            press(pCalib, CALIB_WRITE);
        }
        if (n == 3) leftClick(pTSD, TSD_STOP);
    });
    press(pTSD, TSD_RUN);
    EXPECT_EQ(wire.sent(ORD_RAW), 3) << "STOP ends RUN after its cycle";
    EXPECT_EQ(wire.sent(ORD_SEND_RAM), 3) << "SEND is served by the touch loop";
    EXPECT_EQ(attribute(pTNum, TNUM_MEASVALUE, ATTR_TEXT_BGCOLOR), 0x484848) << "idle colour";
    EXPECT_TRUE(status.has("Touch RUN/VIDEO running: STOP it first, then WRITE!", ST_TSD));
    tsd_flag = 0;
    duringRequest(ORD_RAW, [](int n) {
        if (n == 2) stop_flag = STOP_IDLE;
    });
    press(pPA, PANEL_RUN);
    EXPECT_EQ(wire.sent(ORD_CALIB_WRITE), 0);
    EXPECT_EQ(wrxf_flag, 0);
}

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
        EXPECT_EQ(touchTexts().back(), loop.text);
        EXPECT_EQ(video_flag, 0);
        for (int control :
             {TSD_RUN, TSD_STOP, TSD_VIDEO, TSD_TEACH, TSD_RESET, TSD_GET, TSD_SEND, TSD_RAM})
            EXPECT_EQ(dimmed(pTSD, control), 0) << loop.button << " " << control;
        EXPECT_EQ(attribute(pTSD, loop.button, ATTR_TEXT_BGCOLOR), kIdle) << loop.button;
        EXPECT_EQ(attribute(pTSD, TSD_EXIT, ATTR_VISIBLE), 1) << loop.button;
        EXPECT_EQ(status.has("Timeout RS232 Line!", ST_PA), loop.button == TSD_RUN);
    }
}

// A value of the numeric panel and the fields elsewhere that show it too.
struct Entry {
    int display;
    std::vector<std::pair<int *, int>> copies;
};
const Entry kSetpoint{TNUM_SETPOINT, {{&pTPara0, TPARA0_SETPOINT}, {&pCalib, CALIB_SETPOINT}}};
const Entry kTolPlus{TNUM_TOLPLUS, {{&pTPara0, TPARA0_TOL_UP}, {&pPA, PANEL_TOL_UP}}};
const Entry kTolMinus{TNUM_TOLMINUS, {{&pTPara0, TPARA0_TOL_LO}, {&pPA, PANEL_TOL_LO}}};
const Entry kMeasured{TNUM_MEASVALUE, {}};

TEST_F(Touch, SteppersKeepTheirLimitsAndWriteEveryFieldOfTheirValue) {
    const struct {
        int marker;  // selects the step
        const Entry &entry;
        int stepper;
        double before, after;
        bool dimmed = false;  // the display, as hardware modes 1 and 3 dim the tolerances
    } cases[] = {
        {TNUM_TOLPLUS_D1MM, kTolPlus, TNUM_TOLPLUS_DOWN, 0.5, 0.0},
        {TNUM_TOLPLUS_D100UM, kTolPlus, TNUM_TOLPLUS_UP, 0.5, 0.6},
        {TNUM_TOLMINUS_D10MM, kTolMinus, TNUM_TOLMINUS_DOWN, 9.999, 0.0},
        {TNUM_TOLMINUS_D10UM, kTolMinus, TNUM_TOLMINUS_UP, 0.2, 0.21},
        {TNUM_SETP_D1UM, kSetpoint, TNUM_SETP_DOWN, 0.0, -0.001},
        {TNUM_SETP_D100MM, kSetpoint, TNUM_SETP_UP, 1.5, 101.5},
        {TNUM_TOLPLUS_D1UM, kTolPlus, TNUM_TOLPLUS_UP, 1.0, 1.0, true},
        {TNUM_TOLMINUS_D1MM, kTolMinus, TNUM_TOLMINUS_DOWN, 2.5, 2.5, true},
        // At a limit: a step down reaches it exactly, a step up leaves it.
        {TNUM_TOLPLUS_D1MM, kTolPlus, TNUM_TOLPLUS_DOWN, 1.0, 0.0},
        {TNUM_TOLMINUS_D1UM, kTolMinus, TNUM_TOLMINUS_UP, 0.0, 0.001},
        {TNUM_MVAL_D1MM, kMeasured, TNUM_MVAL_UP, 0.0, 1.0},
        {TNUM_MVAL_D10MM, kMeasured, TNUM_MVAL_DOWN, 0.0, -10.0},
    };
    SetCtrlAttribute(pTNum, TNUM_SETPOINT, ATTR_VISIBLE, 1);  // set-point mode
    for (const auto &c : cases) {
        leftClick(pTNum, c.marker);
        SetCtrlVal(pTNum, c.entry.display, c.before);
        for (const auto &[panel, control] : c.entry.copies) SetCtrlVal(*panel, control, c.before);
        SetCtrlAttribute(pTNum, c.entry.display, ATTR_DIMMED, c.dimmed);
        press(pTNum, c.stepper);
        EXPECT_NEAR(real(pTNum, c.entry.display), c.after, 1e-9) << c.stepper;
        for (const auto &[panel, control] : c.entry.copies)
            EXPECT_NEAR(real(*panel, control), c.after, 1e-9) << c.stepper;
    }
    // With the distance shown in its place, the set-point is not stepped.
    SetCtrlAttribute(pTNum, TNUM_SETPOINT, ATTR_VISIBLE, 0);
    press(pTNum, TNUM_SETP_UP);
    EXPECT_NEAR(real(pTNum, TNUM_SETPOINT), 101.5, 1e-9);
}

TEST_F(Touch, SteppedValuesReachTheSensorWithTheNextSendAndEndRunFirst) {
    connect();
    para.ge.hardwareMode = 0;  // the tolerances are the program's, not set at the housing
    para.ge.umUpperTolerance = 700;
    para.ge.umLowerTolerance = 300;
    para.ge.measurementMode = 1;  // the set-point shown, for its steppers
    SetPanelValues();
    mmDelta = 10.0;
    leftClick(pTNum, TNUM_TOLPLUS);  // selects the finest step
    press(pTNum, TNUM_TOLPLUS_UP);   // 0.701
    leftClick(pTNum, TNUM_TOLMINUS_D100UM);
    press(pTNum, TNUM_TOLMINUS_DOWN);  // 0.2
    press(pTSD, TSD_SEND);
    ASSERT_EQ(wire.sent(ORD_SEND_RAM), 3);
    para.ge.umUpperTolerance = para.ge.umLowerTolerance = 0;
    for (uint16_t set = 0; set < 3; ++set) PushGET(RAM, set);
    EXPECT_EQ(para.ge.umUpperTolerance, 701);
    EXPECT_EQ(para.ge.umLowerTolerance, 200);
    // A stepper ends RUN before its value changes, and steps from the value shown.
    touchToggle(TSD_TOG_NUM);
    para.ge.umSetpoint = 5000;
    static double measured;
    duringRequest(ORD_RAW, [](int n) {
        if (n != 2) return;
        measured = real(pTNum, TNUM_MEASVALUE);
        leftClick(pTNum, TNUM_SETP_D100UM);
        EXPECT_EQ(stop_flag, STOP_RUNNING) << "a digit marker never ends RUN";
        leftClick(pTNum, TNUM_SETPOINT);
        leftClick(pTNum, TNUM_SETP_UP);
        EXPECT_EQ(stop_flag, STOP_IDLE) << "RUN ends before the value changes";
        deliver(pTNum, TNUM_SETP_UP, EVENT_COMMIT);
    });
    press(pTSD, TSD_RUN);
    EXPECT_EQ(wire.sent(ORD_RAW), 2);
    EXPECT_NEAR(real(pTNum, TNUM_SETPOINT), 5.001, 1e-9)
        << "the cycle that ends after the stop leaves the stepped value";
    EXPECT_NEAR(real(pTPara0, TPARA0_SETPOINT), 5.001, 1e-9);
    EXPECT_EQ(touchTexts().back(), "RS232 data-transfer stopped!");
    EXPECT_EQ(dimmed(pTSD, TSD_RUN), 0);
    leftClick(pTNum, TNUM_MVAL_D1MM);
    for (double steps : {1.0, 2.0}) {
        press(pTNum, TNUM_MVAL_UP);
        EXPECT_NEAR(real(pTNum, TNUM_MEASVALUE), measured + steps, 1e-9) << "from the value shown";
    }
}

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
        ASSERT_NE(FindCtrl(c.panel, c.control)->callback, nullptr) << c.control;
        enter(c.panel, c.control, c.value, EVENT_VAL_CHANGED);
        deliver(c.panel, c.control, EVENT_COMMIT);
        EXPECT_EQ(value(c.desktopPanel, c.desktopControl), c.value) << c.control;
    }
    EXPECT_EQ(thdArrayA[0], 40 * ADCMAX / 100);
    EXPECT_EQ(thdArrayB[MAXPOINT - 1], 70 * ADCMAX / 100);
    EXPECT_EQ(text(pPA, PANEL_LBL_TRIGMODE), "TRG: IN0 LH");
    EXPECT_EQ(dimmed(pTNum, TNUM_TOLPLUS), 1) << "hardware mode 1";
    EXPECT_EQ(zoom_flag, 1);
}

TEST_F(Touch, KeyboardStartsAndEndsByItsProcessAndOutlivesTheExit) {
    // A keyboard program that writes its start and its end into the log.
    QTemporaryDir dir;
    const QString log = dir.filePath("keyboard.log");
    qputenv("KTAV_KEYBOARD", ("sh -c \"echo started >> " + log + "; trap 'echo ended >> " + log +
                              "; exit 0' TERM; while :; do sleep 0.05; done\"")
                                 .toUtf8());
    auto toggle = [](int on) {
        SetCtrlVal(pTSD, TSD_TOG_KEYBOARD, on);
        CC_TTOGG_Keyboard(pTSD, TSD_TOG_KEYBOARD, EVENT_VAL_CHANGED, nullptr, 0, 0);
    };
    toggle(1);
    ASSERT_NE(pKeyboard, 0);
    EXPECT_TRUE(waitFor([&] { return fileBytes(log) == "started\n"; }));
    toggle(0);
    EXPECT_EQ(fileBytes(log), "started\nended\n");
    EXPECT_EQ(pKeyboard, 0);
    // The exit returns to the desktop with NUM ready and leaves the keyboard running.
    toggle(1);
    const int running = pKeyboard;
    touchToggle(TSD_TOG_GRAPH);
    SetCtrlVal(pPA, PANEL_TOUCH, 1);
    stop_flag = STOP_RUNNING;
    press(pTSD, TSD_EXIT);
    EXPECT_EQ(tsd_flag, 0);
    EXPECT_EQ(stop_flag, STOP_IDLE);
    EXPECT_EQ(value(pPA, PANEL_TOUCH), 0);
    EXPECT_EQ(togglesOn(), std::vector<int>{TSD_TOG_NUM});
    for (int panel : {pTGraph, pTNum, pTSD}) EXPECT_EQ(shown(panel), 0) << panel;
    EXPECT_EQ(value(pTSD, TSD_TOG_KEYBOARD), 0);
    EXPECT_EQ(ExecutableHasTerminated(running), 0);
    EXPECT_TRUE(waitFor([&] { return fileBytes(log) == "started\nended\nstarted\n"; }));
    // Back on the touch surface, the toggle takes the running keyboard over.
    tsd_flag = 1;
    toggle(1);
    EXPECT_EQ(pKeyboard, running);
    toggle(0);
    EXPECT_EQ(fileBytes(log), "started\nended\nstarted\nended\n");
    // A keyboard that cannot start, or ends by itself, switches the toggle off and says why.
    const struct {
        const char *command, *says;
    } ends[] = {
        {"/nonexistent/on-screen-keyboard",
         "On-screen keyboard not started: execvp: No such file or directory"},
        {"sh -c \"echo 'dbus.exceptions.DBusException: NoServer' >&2; exit 1\"",
         "On-screen keyboard ended: needs a D-Bus session"},
        {"sh -c \"echo warning >&2; echo 'no layout: de' >&2; exit 3\"",
         "On-screen keyboard ended: no layout: de"},
        {"sh -c \"echo warning >&2\"", "On-screen keyboard ended!"},  // its own close button
    };
    for (const auto &end : ends) {
        qputenv("KTAV_KEYBOARD", end.command);
        status.clear();
        toggle(1);
        EXPECT_TRUE(waitFor([] { return value(pTSD, TSD_TOG_KEYBOARD) == 0; })) << end.command;
        EXPECT_EQ(pKeyboard, 0);
        EXPECT_EQ(touchTexts(), std::vector<std::string>{end.says}) << end.command;
    }
    qunsetenv("KTAV_KEYBOARD");
}

}  // namespace
