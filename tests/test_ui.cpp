// The user-interface run-time on real widgets: two test panels (tests/ui), a top-level panel
// with one control of every kind and a child panel with graphs and a timer.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFrame>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "panel_probe.h"
#include "platform/ui/displaypaint.h"
#include "platform/ui/indicators.h"
#include "platform/ui/kgraph.h"
#include "platform/ui/pacer.h"
#include "platform/ui/popupscript.h"
#include "platform/ui/runtime.h"
#include "platform/ui/screen.h"
#include "platform/ui/userint.h"
#include "test_panels.h"

namespace {

struct Seen {
    int panel, control, event, data1;
};
std::vector<Seen> seen;

int Record(int panel, int control, int event, void *, int eventData1, int) {
    seen.push_back({panel, control, event, eventData1});
    return 0;
}

// The event codes one control (0: the panel) received, in order.
std::vector<int> EventsOf(int control) {
    std::vector<int> codes;
    for (const Seen &s : seen)
        if (s.control == control) codes.push_back(s.event);
    return codes;
}

QWidget *Widget(int panel, int control) {
    return control == 0 ? FindPanel(panel)->widget : FindCtrl(panel, control)->widget;
}

KGraph *Graph(int panel, int control) {
    return static_cast<KGraph *>(Widget(panel, control));
}

// Every control and the panel itself report to Record.
void RecordAll(int panel) {
    std::vector<CallbackBinding> table{{0, Record}};
    for (const auto &[id, c] : FindPanel(panel)->controls) table.push_back({id, Record});
    ASSERT_EQ(BindCallbacks(panel, table), 0);
}

class UiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        controls = LoadPanel(0, test_panels_resource, CONTROLS);
        ASSERT_GT(controls, 0);
        graphs = LoadPanel(controls, test_panels_resource, GRAPHS);
        ASSERT_GT(graphs, 0);
        RecordAll(controls);
        RecordAll(graphs);
        DisplayPanel(controls);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Widget(controls, 0)));
        seen.clear();
    }

    void TearDown() override {
        DiscardPanel(controls);
        ClearPopupAnswers();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    int controls = 0, graphs = 0;
};

void BuildEmpty(QWidget *w) {
    w->setObjectName("EMPTY");
}

void BuildWithLabel(QWidget *w) {
    (new QLabel(w))->setObjectName("RUN");
}

const PanelDef kBrokenPanels[] = {{1, "EMPTY", BuildEmpty}, {2, "LABELLED", BuildWithLabel}};
const CtrlDef kBrokenControls[] = {{1, 1, "MISSING", CtrlKind::PushButton},
                                   {2, 2, "RUN", CtrlKind::PushButton}};
const PanelSet kBroken = {"broken.uir", kBrokenPanels, kBrokenControls};
[[maybe_unused]] const bool brokenRegistered = RegisterPanelSet(&kBroken);

}  // namespace

TEST(UiPanels, PanelsThatCannotBeLoadedGiveNegativeHandles) {
    const struct {
        const char *what;
        int parent;
        const char *file;
        int id;
        int result;
    } cases[] = {
        {"unknown resource file", 0, "other.uir", CONTROLS, UIE_LOAD_FAILED},
        {"no file name", 0, nullptr, CONTROLS, UIE_LOAD_FAILED},
        {"unknown panel", 0, test_panels_resource, 99, UIE_LOAD_FAILED},
        {"unknown parent", 4711, test_panels_resource, CONTROLS, UIE_BAD_PANEL},
        {"control missing from its panel", 0, "broken.uir", 1, UIE_LOAD_FAILED},
        {"control of another class", 0, "broken.uir", 2, UIE_LOAD_FAILED},
    };
    for (const auto &c : cases) EXPECT_EQ(LoadPanel(c.parent, c.file, c.id), c.result) << c.what;
}

TEST(UiPanels, LoadAndDiscardWithChildren) {
    // The resource is found by file name, whatever directory or letter case it is given with.
    const int top = LoadPanel(0, "/opt/k-tav/TEST_PANELS.UIR", CONTROLS);
    ASSERT_GT(top, 0);
    const int child = LoadPanel(top, test_panels_resource, GRAPHS);
    const int again = LoadPanel(0, test_panels_resource, CONTROLS);
    ASSERT_GT(child, 0);
    ASSERT_GT(again, 0);
    EXPECT_NE(top, again);

    EXPECT_EQ(DiscardPanel(top), 0);
    EXPECT_EQ(DisplayPanel(top), UIE_BAD_PANEL);
    EXPECT_EQ(DisplayPanel(child), UIE_BAD_PANEL);  // went with its parent
    EXPECT_EQ(SetCtrlVal(child, GRAPHS_TICKER, 1), UIE_BAD_PANEL);
    EXPECT_EQ(DiscardPanel(top), UIE_BAD_PANEL);
    EXPECT_EQ(SetCtrlVal(again, CONTROLS_COUNT, 3), 0);
    EXPECT_EQ(DiscardPanel(again), 0);
}

#if __has_include("ktav_panels.h")
#include "ktav_panels.h"

// Every panel of the program loads with its parent as the start-up loads it.
TEST(UiPanels, ProgramPanelsLoad) {
    const int pa = LoadPanel(0, ktav_panels_resource, PANEL);
    ASSERT_GT(pa, 0);
    for (int id : {PARA0, PARA1, PARA2, CALIB, REC, CONNECT})
        EXPECT_GT(LoadPanel(pa, ktav_panels_resource, id), 0) << id;
    const int tsd = LoadPanel(pa, ktav_panels_resource, TSD);
    ASSERT_GT(tsd, 0);
    for (int id : {TNUM, TMVAL, TGRAPH, TREC, TVIDEO, TPARA0, TPARA1, TPARA2, TCONN})
        EXPECT_GT(LoadPanel(tsd, ktav_panels_resource, id), 0) << id;
    EXPECT_EQ(DiscardPanel(pa), 0);
}
#endif

TEST_F(UiTest, PanelPlacementAndAttributes) {
    EXPECT_EQ(SetPanelPos(graphs, 91, 5), 0);
    EXPECT_EQ(SetPanelSize(graphs, 120, 200), 0);
    EXPECT_EQ(SetPanelAttribute(controls, ATTR_TITLE, "K-TAV test"), 0);
    EXPECT_EQ(Widget(controls, 0)->windowTitle(), "K-TAV test");
    EXPECT_EQ(SetPanelAttribute(controls, ATTR_WIDTH, 410), 0);

    const struct {
        int panel;
        int attribute;
        int expected;
    } cases[] = {
        {graphs, ATTR_TOP, 91},      {graphs, ATTR_LEFT, 5},       {graphs, ATTR_HEIGHT, 120},
        {graphs, ATTR_WIDTH, 200},   {graphs, ATTR_VISIBLE, 0},    {controls, ATTR_VISIBLE, 1},
        {controls, ATTR_WIDTH, 410}, {controls, ATTR_HEIGHT, 300},
    };
    for (const auto &c : cases) {
        int value = -1;
        EXPECT_EQ(GetPanelAttribute(c.panel, c.attribute, &value), 0);
        EXPECT_EQ(value, c.expected) << c.attribute;
    }

    DisplayPanel(graphs);
    int visible = 0;
    GetPanelAttribute(graphs, ATTR_VISIBLE, &visible);
    EXPECT_EQ(visible, 1);
    HidePanel(graphs);
    GetPanelAttribute(graphs, ATTR_VISIBLE, &visible);
    EXPECT_EQ(visible, 0);

    int zoom = -1;
    EXPECT_EQ(SetPanelAttribute(controls, ATTR_WINDOW_ZOOM, VAL_MAXIMIZE), 0);
    GetPanelAttribute(controls, ATTR_WINDOW_ZOOM, &zoom);
    EXPECT_EQ(zoom, VAL_MAXIMIZE);
    EXPECT_EQ(SetPanelAttribute(controls, ATTR_WINDOW_ZOOM, VAL_NO_ZOOM), 0);
    GetPanelAttribute(controls, ATTR_WINDOW_ZOOM, &zoom);
    EXPECT_EQ(zoom, VAL_NO_ZOOM);
    EXPECT_EQ(SetPanelAttribute(graphs, ATTR_WINDOW_ZOOM, VAL_MAXIMIZE), UIE_BAD_ATTRIBUTE);
    EXPECT_TRUE(EventsOf(0).empty());  // the program's own resizes are no resize events
}

// A panel whose file asks for a window of its own: placed on the screen, zoomed to full screen,
// closed by the operator like a main panel, and discarded with its parent.
TEST_F(UiTest, PanelWithAWindowOfItsOwn) {
    const int surface = LoadPanel(controls, test_panels_resource, SURFACE);
    ASSERT_GT(surface, 0);
    RecordAll(surface);
    QWidget *w = Widget(surface, 0);
    EXPECT_TRUE(w->isWindow());
    EXPECT_FALSE(w->isVisible());
    DisplayPanel(surface);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));

    int zoom = -1;
    EXPECT_EQ(SetPanelAttribute(surface, ATTR_WINDOW_ZOOM, VAL_FULL_SCREEN), 0);
    GetPanelAttribute(surface, ATTR_WINDOW_ZOOM, &zoom);
    EXPECT_EQ(zoom, VAL_FULL_SCREEN);
    EXPECT_EQ(SetPanelAttribute(surface, ATTR_WINDOW_ZOOM, 9), UIE_BAD_VALUE);

    seen.clear();
    w->close();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].panel, surface);
    EXPECT_EQ(seen[0].event, EVENT_CLOSE);

    DiscardPanel(controls);
    EXPECT_EQ(DisplayPanel(surface), UIE_BAD_PANEL);
    controls = LoadPanel(0, test_panels_resource, CONTROLS);  // for TearDown
}

TEST_F(UiTest, EveryKindOfControlKeepsItsValue) {
    const struct {
        int control;
        double set;
        double expected;
    } numbers[] = {
        {CONTROLS_TOGGLE, 1, 1},  {CONTROLS_RAM, 1, 1},         {CONTROLS_RAM, 0, 0},
        {CONTROLS_SWITCH, 1, 1},  {CONTROLS_RING, 2, 2},        {CONTROLS_COUNT, 42, 42},
        {CONTROLS_COUNT, 7.9, 7}, {CONTROLS_LEVEL, 3.25, 3.25}, {CONTROLS_THRESHOLD, 70, 70},
        {CONTROLS_LAMP, 1, 1},
    };
    for (const auto &c : numbers) {
        double value = -1;
        EXPECT_EQ(SetCtrlVal(controls, c.control, c.set), 0) << c.control;
        EXPECT_EQ(GetCtrlVal(controls, c.control, &value), 0) << c.control;
        EXPECT_EQ(value, c.expected) << c.control;
    }

    // Integer readings truncate toward zero, whatever the width of the variable.
    SetCtrlVal(controls, CONTROLS_LEVEL, 2.75);
    int whole = 0;
    short narrow = 0;
    unsigned short port = 0;
    EXPECT_EQ(GetCtrlVal(controls, CONTROLS_LEVEL, &whole), 0);
    EXPECT_EQ(whole, 2);
    SetCtrlVal(controls, CONTROLS_COUNT, 9);
    EXPECT_EQ(GetCtrlVal(controls, CONTROLS_COUNT, &narrow), 0);
    EXPECT_EQ(GetCtrlVal(controls, CONTROLS_COUNT, &port), 0);
    EXPECT_EQ(narrow, 9);
    EXPECT_EQ(port, 9);

    const struct {
        int control;
        const char *set;
        const char *expected;
    } texts[] = {
        {CONTROLS_HOST, "10.0.0.7", "10.0.0.7"},
        {CONTROLS_CAPTION, "POL: DIRECT", "POL: DIRECT"},
        {CONTROLS_ADDRESS, "192.168.1.5", "192.168.1.5"},
        {CONTROLS_MESSAGES, "line 1\n", "line 1\n"},
        {CONTROLS_MESSAGES, "line 2\n", "line 1\nline 2\n"},  // a text box appends
    };
    for (const auto &c : texts) {
        char text[64] = "";
        EXPECT_EQ(SetCtrlVal(controls, c.control, c.set), 0) << c.set;
        EXPECT_EQ(GetCtrlVal(controls, c.control, text), 0) << c.set;
        EXPECT_STREQ(text, c.expected);
    }

    // A reply longer than the caller's buffer is cut and terminated.
    char shortBuffer[4];
    std::memset(shortBuffer, 'x', sizeof shortBuffer);
    EXPECT_EQ(GetCtrlVal(controls, CONTROLS_HOST, shortBuffer), 0);
    EXPECT_STREQ(shortBuffer, "10.");

    const struct {
        int control;
        int value;
        int result;
    } refused[] = {
        {CONTROLS_GO, 1, UIE_NOT_SUPPORTED},  // a command button has no value
        {CONTROLS_RING, 7, UIE_BAD_VALUE},    // no item with that value
        {CONTROLS_CAPTION, 1, UIE_NOT_SUPPORTED},
        {999, 1, UIE_BAD_CONTROL},
    };
    for (const auto &c : refused) EXPECT_EQ(SetCtrlVal(controls, c.control, c.value), c.result);
    EXPECT_EQ(SetCtrlVal(controls, CONTROLS_COUNT, "12"), UIE_NOT_SUPPORTED);
    EXPECT_EQ(SetCtrlVal(4711, CONTROLS_COUNT, 1), UIE_BAD_PANEL);
    EXPECT_TRUE(seen.empty());  // values the program sets are no value-changed events
}

TEST_F(UiTest, ControlAttributes) {
    const struct {
        int control;
        int attribute;
        int value;
    } numbers[] = {
        {CONTROLS_GO, ATTR_DIMMED, 1},
        {CONTROLS_HOST, ATTR_VISIBLE, 0},
        {CONTROLS_HOST, ATTR_TEXT_COLOR, 0xFF0000},
        {CONTROLS_LEVEL, ATTR_TEXT_BGCOLOR, 0x008000},
        {CONTROLS_GO, ATTR_TEXT_BGCOLOR, 0xE0E0E0},
        {CONTROLS_CAPTION, ATTR_TEXT_BGCOLOR, 0x484848},
        {CONTROLS_LEVEL, ATTR_PRECISION, 1},
        {CONTROLS_COUNT, ATTR_MIN_VALUE, 5},
        {CONTROLS_COUNT, ATTR_MAX_VALUE, 50},
        {CONTROLS_THRESHOLD, ATTR_MAX_VALUE, 255},
        {CONTROLS_HOST, ATTR_CTRL_MODE, VAL_INDICATOR},
        {CONTROLS_GO, ATTR_TEXT_POINT_SIZE, 14},
        {CONTROLS_LAMP, ATTR_ON_COLOR, 0xA0DC42},
        {CONTROLS_LAMP, ATTR_OFF_COLOR, 0xF0F0F0},
    };
    for (const auto &c : numbers) {
        int value = -1;
        EXPECT_EQ(SetCtrlAttribute(controls, c.control, c.attribute, c.value), 0) << c.attribute;
        EXPECT_EQ(GetCtrlAttribute(controls, c.control, c.attribute, &value), 0) << c.attribute;
        EXPECT_EQ(value, c.value) << c.attribute;
    }
    EXPECT_FALSE(Widget(controls, CONTROLS_GO)->isEnabled());
    EXPECT_TRUE(static_cast<QLineEdit *>(Widget(controls, CONTROLS_HOST))->isReadOnly());

    // Limits hold for the values set afterwards; real limits stay real.
    SetCtrlVal(controls, CONTROLS_COUNT, 100);
    int count = 0;
    GetCtrlVal(controls, CONTROLS_COUNT, &count);
    EXPECT_EQ(count, 50);
    double step = 0;
    EXPECT_EQ(SetCtrlAttribute(controls, CONTROLS_LEVEL, ATTR_INCR_VALUE, 0.1), 0);
    EXPECT_EQ(GetCtrlAttribute(controls, CONTROLS_LEVEL, ATTR_INCR_VALUE, &step), 0);
    EXPECT_DOUBLE_EQ(step, 0.1);

    const struct {
        int control;
        int attribute;
        const char *value;
    } texts[] = {
        {CONTROLS_GO, ATTR_LABEL_TEXT, "START"},
        {CONTROLS_COUNT, ATTR_LABEL_TEXT, "Samples"},  // through its buddy label
        {CONTROLS_LAMP, ATTR_LABEL_TEXT, "BTN"},
        {CONTROLS_GO, ATTR_TOOLTIP_TEXT, "Start RS-232 meas.-value-transfer..."},
    };
    for (const auto &c : texts) {
        char text[64] = "";
        EXPECT_EQ(SetCtrlAttribute(controls, c.control, c.attribute, c.value), 0) << c.value;
        EXPECT_EQ(GetCtrlAttribute(controls, c.control, c.attribute, text, sizeof text), 0);
        EXPECT_STREQ(text, c.value);
    }

    const struct {
        int control;
        int attribute;
        int result;
    } refused[] = {
        {CONTROLS_HOST, ATTR_LABEL_TEXT, UIE_BAD_VALUE},  // a text attribute given a number
        {CONTROLS_COUNT, ATTR_PRECISION, UIE_BAD_ATTRIBUTE},
        {CONTROLS_HOST, ATTR_MAX_VALUE, UIE_BAD_ATTRIBUTE},
        {CONTROLS_GO, ATTR_NUM_TRACES, UIE_BAD_ATTRIBUTE},
        {CONTROLS_GO, 999, UIE_BAD_ATTRIBUTE},
    };
    for (const auto &c : refused)
        EXPECT_EQ(SetCtrlAttribute(controls, c.control, c.attribute, 1), c.result) << c.attribute;
    EXPECT_EQ(SetCtrlAttribute(controls, CONTROLS_HOST, ATTR_LABEL_TEXT, "no buddy"),
              UIE_BAD_ATTRIBUTE);

    // A control inside a frame is placed in the panel's coordinates.
    int top, left, height, width;
    EXPECT_EQ(GetCtrlBoundingRect(controls, CONTROLS_NESTED, &top, &left, &height, &width), 0);
    EXPECT_EQ(std::vector<int>({top, left, height, width}), std::vector<int>({160, 290, 30, 80}));
    EXPECT_TRUE(seen.empty());
}

TEST_F(UiTest, MouseEventsArriveInOrder) {
    QWidget *panel = Widget(controls, 0);
    const struct {
        const char *what;
        int control;
        Qt::MouseButton button;
        bool twice;
        std::vector<int> events;
    } cases[] = {
        {"command button", CONTROLS_GO, Qt::LeftButton, false, {EVENT_LEFT_CLICK, EVENT_COMMIT}},
        {"toggle button",
         CONTROLS_TOGGLE,
         Qt::LeftButton,
         false,
         {EVENT_LEFT_CLICK, EVENT_VAL_CHANGED, EVENT_COMMIT}},
        {"binary switch",
         CONTROLS_SWITCH,
         Qt::LeftButton,
         false,
         {EVENT_LEFT_CLICK, EVENT_VAL_CHANGED, EVENT_COMMIT}},
        {"button in a frame",
         CONTROLS_NESTED,
         Qt::LeftButton,
         false,
         {EVENT_LEFT_CLICK, EVENT_COMMIT}},
        {"right click", CONTROLS_GO, Qt::RightButton, false, {EVENT_RIGHT_CLICK}},
        {"right double click",
         CONTROLS_GO,
         Qt::RightButton,
         true,
         {EVENT_RIGHT_CLICK, EVENT_RIGHT_DOUBLE_CLICK}},
        {"right click on a text", CONTROLS_CAPTION, Qt::RightButton, false, {EVENT_RIGHT_CLICK}},
        {"right click on an entry", CONTROLS_HOST, Qt::RightButton, false, {EVENT_RIGHT_CLICK}},
        {"right double click on the panel",
         0,
         Qt::RightButton,
         true,
         {EVENT_RIGHT_CLICK, EVENT_RIGHT_DOUBLE_CLICK}},
    };
    for (const auto &c : cases) {
        seen.clear();
        QWidget *target = c.control ? Widget(controls, c.control) : panel;
        const QPoint at = c.control ? target->rect().center() : QPoint(390, 5);
        QTest::mouseClick(target, c.button, {}, at);
        if (c.twice) QTest::mouseDClick(target, c.button, {}, at);
        EXPECT_EQ(EventsOf(c.control), c.events) << c.what;
        EXPECT_EQ(seen.size(), c.events.size()) << c.what << ": reported once, to its owner";
    }

    // A dimmed control takes no input: no click reaches its callback.
    seen.clear();
    SetCtrlAttribute(controls, CONTROLS_GO, ATTR_DIMMED, 1);
    QTest::mouseClick(Widget(controls, CONTROLS_GO), Qt::LeftButton);
    QTest::mouseClick(Widget(controls, CONTROLS_GO), Qt::RightButton);
    EXPECT_TRUE(seen.empty());
}

TEST_F(UiTest, ValueChangedOnlyForTheOperatorsChanges) {
    auto *count = static_cast<QSpinBox *>(Widget(controls, CONTROLS_COUNT));
    const std::vector<int> changedAndCommit = {EVENT_VAL_CHANGED, EVENT_COMMIT};

    SetCtrlVal(controls, CONTROLS_COUNT, 5);
    count->activateWindow();
    count->setFocus();  // the operator tabs into the entry
    ASSERT_TRUE(QTest::qWaitFor([&] { return count->hasFocus(); }, 5000));
    count->selectAll();
    QTest::keyClicks(count, "17");
    const auto valueEvents = [] {  // the entry's events other than its key presses
        std::vector<int> codes = EventsOf(CONTROLS_COUNT);
        std::erase(codes, EVENT_KEYPRESS);
        return codes;
    };
    EXPECT_TRUE(valueEvents().empty());  // committed by Enter, not per key
    QTest::keyClick(count, Qt::Key_Return);
    EXPECT_EQ(valueEvents(), changedAndCommit);
    int value = 0;
    GetCtrlVal(controls, CONTROLS_COUNT, &value);
    EXPECT_EQ(value, 17);

    QTest::keyClick(Widget(controls, CONTROLS_RING), Qt::Key_Down);
    EXPECT_EQ(EventsOf(CONTROLS_RING), changedAndCommit);
    QTest::keyClick(Widget(controls, CONTROLS_THRESHOLD), Qt::Key_Right);
    EXPECT_EQ(EventsOf(CONTROLS_THRESHOLD), changedAndCommit);

    QWidget *host = Widget(controls, CONTROLS_HOST);
    QTest::keyClicks(host, "ab");
    QTest::keyClick(host, Qt::Key_Return);
    QTest::keyClick(host, Qt::Key_Return);  // nothing edited since the last commit
    EXPECT_EQ(EventsOf(CONTROLS_HOST),
              std::vector<int>({EVENT_VAL_CHANGED, EVENT_VAL_CHANGED, EVENT_COMMIT}));

    seen.clear();
    SetCtrlVal(controls, CONTROLS_HOST, "x");
    SetCtrlVal(controls, CONTROLS_RING, 0);
    SetCtrlVal(controls, CONTROLS_THRESHOLD, 3);
    SetCtrlVal(controls, CONTROLS_COUNT, 8);
    SetCtrlVal(controls, CONTROLS_SWITCH, 1);
    SetCtrlVal(controls, CONTROLS_MESSAGES, "text");
    SetCtrlAttribute(controls, CONTROLS_COUNT, ATTR_MAX_VALUE, 2);  // moves the value
    EXPECT_TRUE(seen.empty());
}

// The wheel over a drop-down, spin box or slider that is not being edited changes nothing (a
// parameter the next SEND would write); the one with the focus steps.
TEST_F(UiTest, TheWheelStepsOnlyTheControlBeingEdited) {
    SetCtrlVal(controls, CONTROLS_RING, 1);
    SetCtrlVal(controls, CONTROLS_LEVEL, 50.0);
    SetCtrlVal(controls, CONTROLS_THRESHOLD, 50);
    Widget(controls, 0)->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Widget(controls, 0)));
    for (int control : {CONTROLS_RING, CONTROLS_COUNT, CONTROLS_LEVEL, CONTROLS_THRESHOLD}) {
        QWidget *w = Widget(controls, control);
        EXPECT_NE(w->focusPolicy(), Qt::WheelFocus) << "a wheel turned over it takes no focus";
        const double before = real(controls, control);
        for (bool focused : {false, true}) {
            if (focused) w->setFocus();
            seen.clear();
            QWheelEvent turn(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                             Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(w, &turn);
            EXPECT_EQ(real(controls, control) != before, focused) << control;
            EXPECT_EQ(EventsOf(control).empty(), !focused) << control;
        }
        w->clearFocus();
    }
}

TEST_F(UiTest, KeyCloseAndResizeEvents) {
    QWidget *panel = Widget(controls, 0);
    panel->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel));
    SetActiveCtrl(controls, CONTROLS_HOST);
    ASSERT_EQ(QApplication::focusWidget(), Widget(controls, CONTROLS_HOST));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2);
    ASSERT_EQ(EventsOf(CONTROLS_HOST), std::vector<int>({EVENT_KEYPRESS}));
    EXPECT_EQ(seen.back().data1, Qt::Key_F2);

    // Closing the window leaves it to the panel callback; the panel stays.
    seen.clear();
    panel->close();
    EXPECT_EQ(EventsOf(0), std::vector<int>({EVENT_CLOSE}));
    EXPECT_TRUE(panel->isVisible());

    seen.clear();
    panel->resize(500, 400);  // as the operator drags the frame
    EXPECT_EQ(EventsOf(0), std::vector<int>({EVENT_PANEL_SIZE}));
}

TEST_F(UiTest, CallbacksMayQuitAndDiscard) {
    // A commit that ends the event loop, as closing the main panel does.
    static const CallbackBinding quitting[] = {
        {CONTROLS_GO,
         [](int, int, int event, void *, int, int) {
             if (event == EVENT_COMMIT) QuitUserInterface(3);
             return 0;
         }},
    };
    BindCallbacks(controls, quitting);
    QTimer::singleShot(
        0, [this] { QTest::mouseClick(Widget(controls, CONTROLS_GO), Qt::LeftButton); });
    EXPECT_EQ(RunUserInterface(), 3);

    QuitUserInterface(5);  // before the loop runs: it returns at once
    EXPECT_EQ(RunUserInterface(), 5);

    // A callback that discards its own panel in the middle of the click.
    static int victim;
    victim = LoadPanel(0, test_panels_resource, CONTROLS);
    static const CallbackBinding discarding[] = {
        {CONTROLS_GO,
         [](int panel, int, int event, void *, int, int) {
             if (event == EVENT_LEFT_CLICK) DiscardPanel(panel);
             return 0;
         }},
    };
    BindCallbacks(victim, discarding);
    DisplayPanel(victim);
    QTest::mouseClick(Widget(victim, CONTROLS_GO), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(DisplayPanel(victim), UIE_BAD_PANEL);
}

TEST_F(UiTest, PopupsTakeScriptedAnswers) {
    QTemporaryDir dir;
    const std::string existing = dir.filePath("K-TAV-PARA.ini").toStdString();
    QFile(QString::fromStdString(existing)).open(QIODevice::WriteOnly);
    const std::string fresh = dir.filePath("RECORD.DAT").toStdString();

    QueuePopupAnswer(1);
    QueuePopupAnswer(0);
    QueuePopupAnswer(1);
    QueuePopupAnswer(1, existing);
    QueuePopupAnswer(2, fresh);
    QueuePopupAnswer(0);
    QueuePopupAnswer(1, std::string(300, 'x'));
    QueuePopupAnswer(1, existing);
    QueuePopupAnswer(2, fresh);

    EXPECT_EQ(ConfirmPopup("ATTENTION !", "File already exist - overwrite ?"), 1);
    EXPECT_EQ(LastPopupText(), "ATTENTION !: File already exist - overwrite ?");
    EXPECT_EQ(ConfirmPopup("ATTENTION !", "again ?"), 0);
    EXPECT_EQ(MessagePopup("Info", "Firmware not compatible"), 0);
    EXPECT_EQ(LastPopupText(), "Info: Firmware not compatible");

    char path[260] = "stale";
    // Only a save dialog takes a new name; the load dialog refuses it and nothing is chosen.
    const struct {
        int button, result;
        std::string path;
    } files[] = {{VAL_SAVE_BUTTON, 1, existing}, {VAL_SAVE_BUTTON, 2, fresh},
                 {VAL_SAVE_BUTTON, 0, ""},       {VAL_SAVE_BUTTON, UIE_BAD_VALUE, ""},
                 {VAL_LOAD_BUTTON, 1, existing}, {VAL_LOAD_BUTTON, 0, ""}};
    for (const auto &f : files) {
        EXPECT_EQ(
            FileSelectPopup("", "RECORD.DAT", "*.DAT", "Select file", f.button, 0, 1, 1, 1, path),
            f.result);
        EXPECT_EQ(path, f.path);  // nothing chosen, or a path too long: an empty path
    }
    EXPECT_EQ(PendingPopupAnswers(), 0u);

    // Unscripted on the offscreen platform: answered as cancelled instead of waiting forever.
    EXPECT_EQ(ConfirmPopup("ATTENTION !", "nobody here"), 0);
}

TEST_F(UiTest, ListOperations) {
    const int ring = CONTROLS_RING;
    EXPECT_EQ(ClearListCtrl(controls, ring), 0);
    EXPECT_EQ(InsertListItem(controls, ring, -1, "RS-232", 10), 0);
    EXPECT_EQ(InsertListItem(controls, ring, -1, "TCP/IP", 20), 0);
    EXPECT_EQ(InsertListItem(controls, ring, 0, "NONE", 30), 0);
    EXPECT_EQ(ReplaceListItem(controls, ring, 1, "RS232", 40), 0);

    int count = 0, index = 0, value = 0;
    char label[16];
    EXPECT_EQ(GetNumListItems(controls, ring, &count), 0);
    EXPECT_EQ(count, 3);
    const struct {
        int index;
        const char *label;
        int value;
    } items[] = {{0, "NONE", 30}, {1, "RS232", 40}, {2, "TCP/IP", 20}};
    for (const auto &item : items) {
        EXPECT_EQ(GetLabelFromIndex(controls, ring, item.index, label, sizeof label), 0);
        EXPECT_STREQ(label, item.label);
        EXPECT_EQ(GetValueFromIndex(controls, ring, item.index, &value), 0);
        EXPECT_EQ(value, item.value);
        EXPECT_EQ(GetIndexFromValue(controls, ring, &index, item.value), 0);
        EXPECT_EQ(index, item.index);
        EXPECT_EQ(GetIndexFromLabel(controls, ring, &index, item.label), 0);
        EXPECT_EQ(index, item.index);
    }
    EXPECT_EQ(GetIndexFromValue(controls, ring, &index, 99), 0);
    EXPECT_EQ(index, -1);

    EXPECT_EQ(SetCtrlVal(controls, ring, 20), 0);  // a ring is set and read by item value
    EXPECT_EQ(GetCtrlVal(controls, ring, &value), 0);
    EXPECT_EQ(value, 20);
    EXPECT_EQ(DeleteListItem(controls, ring, 0, 1), 0);
    EXPECT_EQ(GetLabelFromIndex(controls, ring, 0, label, sizeof label), 0);
    EXPECT_STREQ(label, "RS232");

    EXPECT_EQ(InsertListItem(controls, ring, 5, "far", 1), UIE_BAD_INDEX);
    EXPECT_EQ(ReplaceListItem(controls, ring, 2, "gone", 1), UIE_BAD_INDEX);
    EXPECT_EQ(GetValueFromIndex(controls, ring, -1, &value), UIE_BAD_INDEX);
    EXPECT_EQ(InsertListItem(controls, CONTROLS_HOST, 0, "x", 1), UIE_NOT_SUPPORTED);

    // The recent-address list of the combo box: items and the edited text apart.
    const int address = CONTROLS_ADDRESS;
    InsertListItem(controls, address, -1, "192.168.0.10", 0);
    InsertListItem(controls, address, 0, "127.0.0.1", 0);
    SetCtrlVal(controls, address, "10.1.1.1");
    EXPECT_EQ(GetNumListItems(controls, address, &count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(DeleteListItem(controls, address, 0, -1), 0);
    EXPECT_EQ(GetNumListItems(controls, address, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(seen.empty());
}

TEST_F(UiTest, TextBoxLines) {
    const int box = CONTROLS_MESSAGES;
    char text[128];
    EXPECT_EQ(ResetTextBox(controls, box, "RECORDER ACTIVE\nAPPEND DATA ..."), 0);
    EXPECT_EQ(ReplaceTextBoxLine(controls, box, 1, "DATA VALID"), 0);
    GetCtrlVal(controls, box, text);
    EXPECT_STREQ(text, "RECORDER ACTIVE\nDATA VALID");
    // A line beyond the end is written after empty lines, not lost.
    EXPECT_EQ(ReplaceTextBoxLine(controls, box, 4, "START-TIME: 10:00:00"), 0);
    GetCtrlVal(controls, box, text);
    EXPECT_STREQ(text, "RECORDER ACTIVE\nDATA VALID\n\n\nSTART-TIME: 10:00:00");
    EXPECT_EQ(ReplaceTextBoxLine(controls, box, -1, "x"), UIE_BAD_INDEX);
    EXPECT_EQ(ResetTextBox(controls, CONTROLS_HOST, ""), UIE_NOT_SUPPORTED);
    EXPECT_TRUE(seen.empty());
}

TEST_F(UiTest, GraphPlotsAxesAndCursors) {
    const int graph = GRAPHS_POSITION;
    KGraph *g = Graph(graphs, graph);
    double x[128];
    unsigned short profile[128];
    double line[128];
    for (int i = 0; i < 128; ++i) {
        x[i] = i * 8.0;
        profile[i] = static_cast<unsigned short>(i * 2);
        line[i] = 128.0;
    }
    // The panel file sets the first ranges and the axis name.
    EXPECT_EQ(g->axisRange(KGraph::XAxis), std::make_pair(0.0, 2048.0));
    EXPECT_EQ(g->axisRange(KGraph::LeftYAxis), std::make_pair(0.0, 1.0));
    EXPECT_EQ(g->xName(), "MASTER [pixel]");
    EXPECT_EQ(Graph(graphs, GRAPHS_CHART)->pointsPerScreen(), 50);

    EXPECT_EQ(SetAxisScalingMode(graphs, graph, VAL_XAXIS, VAL_MANUAL, 0.0, 1024.0), 0);
    EXPECT_EQ(SetAxisScalingMode(graphs, graph, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 256.0), 0);
    EXPECT_EQ(SetAxisScalingMode(graphs, graph, VAL_RIGHT_YAXIS, VAL_MANUAL, 0.0, 256.0), 0);
    EXPECT_EQ(g->axisRange(KGraph::XAxis), std::make_pair(0.0, 1024.0));
    EXPECT_EQ(SetAxisScalingMode(graphs, graph, VAL_XAXIS, VAL_MANUAL, 5.0, 5.0), UIE_BAD_VALUE);
    EXPECT_EQ(SetAxisScalingMode(graphs, graph, 3, VAL_MANUAL, 0.0, 1.0), UIE_BAD_VALUE);

    const int curve =
        PlotXY(graphs, graph, x, profile, 128, VAL_CONNECTED_POINTS, VAL_SIMPLE_DOT, 0xFF0000);
    const int threshold =
        PlotXY(graphs, graph, x, line, 128, VAL_THIN_LINE, VAL_NO_POINT, 0x008000);
    const int window = PlotRectangle(graphs, graph, 100.0, 0.0, 200.0, 0.35, 0x00FF00, 0x00FF00);
    EXPECT_GT(curve, 0);
    EXPECT_GT(threshold, curve);
    EXPECT_GT(window, threshold);
    EXPECT_EQ(g->plotCount(), 3);
    EXPECT_EQ(DeleteGraphPlot(graphs, graph, threshold, VAL_IMMEDIATE_DRAW), 0);
    EXPECT_EQ(g->plotCount(), 2);
    EXPECT_EQ(g->pointCount(curve), 128);  // the plots that stay keep their points
    EXPECT_EQ(DeleteGraphPlot(graphs, graph, threshold, VAL_IMMEDIATE_DRAW), UIE_BAD_PLOT);

    EXPECT_EQ(SetGraphCursor(graphs, graph, 1, 512.0, 0.75), 0);
    EXPECT_EQ(SetGraphCursor(graphs, graph, 2, 300.0, 0.25), 0);
    EXPECT_EQ(SetCursorAttribute(graphs, graph, 2, ATTR_CURSOR_POINT_STYLE, VAL_NO_POINT), 0);
    EXPECT_EQ(g->cursorPosition(1), QPointF(512.0, 0.75));
    EXPECT_EQ(g->cursorPosition(2), QPointF(300.0, 0.25));
    EXPECT_EQ(g->cursorPointStyle(2), VAL_NO_POINT);
    EXPECT_EQ(SetGraphCursor(graphs, graph, 3, 0.0, 0.0), UIE_BAD_INDEX);
    EXPECT_EQ(SetCursorAttribute(graphs, graph, 1, ATTR_TRACE_COLOR, 0), UIE_BAD_ATTRIBUTE);

    char name[40];
    EXPECT_EQ(SetCtrlAttribute(graphs, graph, ATTR_YNAME, "Meas.-Value / [mm]"), 0);
    EXPECT_EQ(GetCtrlAttribute(graphs, graph, ATTR_YNAME, name, sizeof name), 0);
    EXPECT_STREQ(name, "Meas.-Value / [mm]");
    EXPECT_EQ(SetCtrlAttribute(graphs, graph, ATTR_YPRECISION, 3), 0);
    EXPECT_EQ(g->yPrecision(), 3);

    DisplayPanel(graphs);
    EXPECT_FALSE(g->grab().isNull());  // paints plots, cursors and axes
    EXPECT_EQ(DeleteGraphPlot(graphs, graph, VAL_ALL_PLOTS, VAL_DELAYED_DRAW), 0);
    EXPECT_EQ(g->plotCount(), 0);

    EXPECT_EQ(PlotStripChart(graphs, graph, line, 7), UIE_NOT_SUPPORTED);
    EXPECT_EQ(PlotXY(graphs, GRAPHS_CHART, x, line, 128, VAL_THIN_LINE, VAL_NO_POINT, 0),
              UIE_NOT_SUPPORTED);
    EXPECT_EQ(PlotXY(controls, CONTROLS_GO, x, line, 128, VAL_THIN_LINE, VAL_NO_POINT, 0),
              UIE_NOT_SUPPORTED);
}

// The plot area's background, grid, labels and names are kept as a picture between paints;
// each change of what they show must reach the next paint.
TEST_F(UiTest, GraphPictureFollowsItsAxesNamesAndState) {
    const int graph = GRAPHS_POSITION;
    KGraph *g = Graph(graphs, graph);
    DisplayPanel(graphs);
    const struct {
        const char *what;
        std::function<void()> change;
    } changes[] = {
        {"x range", [&] { SetAxisScalingMode(graphs, graph, VAL_XAXIS, VAL_MANUAL, 0.0, 500.0); }},
        {"y range",
         [&] { SetAxisScalingMode(graphs, graph, VAL_LEFT_YAXIS, VAL_MANUAL, -7.0, 77.0); }},
        {"right y axis",
         [&] { SetAxisScalingMode(graphs, graph, VAL_RIGHT_YAXIS, VAL_MANUAL, 0.0, 255.0); }},
        {"x name", [&] { SetCtrlAttribute(graphs, graph, ATTR_XNAME, "SLAVE [pixel]"); }},
        {"y name", [&] { SetCtrlAttribute(graphs, graph, ATTR_YNAME, "mm"); }},
        {"y decimals", [&] { SetCtrlAttribute(graphs, graph, ATTR_YPRECISION, 3); }},
        {"dimmed", [&] { SetCtrlAttribute(graphs, graph, ATTR_DIMMED, 1); }},
    };
    for (const auto &c : changes) {
        const QImage before = g->grab().toImage();
        c.change();
        EXPECT_NE(g->grab().toImage(), before) << c.what;
    }
}

// The value a display shows: the one it draws itself, else its widget's.
double shownBy(const QAbstractSpinBox *box) {
    if (const double *drawn = DrawnNumber(box)) return *drawn;
    return box->text().toDouble();
}

QString shownBy(const QLineEdit *edit) {
    if (const QString *drawn = DrawnText(edit)) return *drawn;
    return edit->text();
}

// Counts the paints of widgets, a spin box's together with its line edit's.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(std::initializer_list<QWidget *> widgets) {
        for (QWidget *w : widgets) {
            w->installEventFilter(this);
            for (QLineEdit *edit : w->findChildren<QLineEdit *>()) {
                edit->installEventFilter(this);
                owners[edit] = w;
            }
        }
    }
    int of(QObject *widget) const { return counts.value(widget); }

  protected:
    bool eventFilter(QObject *object, QEvent *event) override {
        if (event->type() == QEvent::Paint) ++counts[owners.value(object, object)];
        return false;
    }

  private:
    QHash<QObject *, int> counts;
    QHash<QObject *, QObject *> owners;
};

// The graph paints its whole rectangle itself: around the plot area it shows the background
// of what lies behind it, and follows it when that changes.
TEST_F(UiTest, GraphSurroundingsShowTheBackgroundBehindIt) {
    DisplayPanel(graphs);
    QWidget *panel = Widget(graphs, 0);
    KGraph *g = Graph(graphs, GRAPHS_POSITION);
    const QPoint corner = g->geometry().topLeft(), free(379, 255);  // no graph covers `free`
    auto colourAt = [&](QPoint at) { return QColor(panel->grab().toImage().pixel(at)); };
    EXPECT_EQ(colourAt(corner), colourAt(free));

    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, QColor(0x336699));
    panel->setPalette(palette);
    EXPECT_EQ(colourAt(corner), QColor(0x336699));
    EXPECT_EQ(colourAt(free), QColor(0x336699));

    SetCtrlAttribute(graphs, GRAPHS_POSITION, ATTR_TEXT_BGCOLOR, 0x996633);
    EXPECT_EQ(colourAt(corner), QColor(0x996633));
    EXPECT_EQ(colourAt(free), QColor(0x336699));
}

// The graph repaints only its plot area while the picture around it stands: what the screen
// shows after a run of changes, each painted in turn, is the graph drawn whole.
TEST_F(UiTest, GraphOnTheScreenIsTheGraphDrawnWhole) {
    DisplayPanel(graphs);
    SetCtrlAttribute(graphs, GRAPHS_CHART, ATTR_NUM_TRACES, 2);
    SetAxisScalingMode(graphs, GRAPHS_CHART, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 10.0);
    const struct {
        int graph;
        std::function<void(int)> change;
    } cases[] = {
        {GRAPHS_POSITION,
         [&](int i) {
             if (i == 3)
                 SetAxisScalingMode(graphs, GRAPHS_POSITION, VAL_XAXIS, VAL_MANUAL, 0, 1024);
             DeleteGraphPlot(graphs, GRAPHS_POSITION, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
             PlotRectangle(graphs, GRAPHS_POSITION, 100.0 + 150 * i, 0.25, 160.0 + 150 * i, 1.0,
                           0xFF0000, 0xFF0000);
             SetGraphCursor(graphs, GRAPHS_POSITION, 1, 130.0 + 150 * i, 0.75);
         }},
        {GRAPHS_CHART,
         [&](int i) {
             for (int k = 0; k < 7; ++k) {
                 const double sample[2] = {double((i * 7 + k) % 11), 9.0 - (i + k) % 5};
                 PlotStripChart(graphs, GRAPHS_CHART, sample, 2);
             }
         }},
    };
    for (const auto &c : cases) {
        KGraph *g = Graph(graphs, c.graph);
        const PaintCounter paints{g};
        for (int i = 0; i < 12; ++i) {
            c.change(i);
            const int before = paints.of(g);
            ASSERT_TRUE(QTest::qWaitFor([&] { return paints.of(g) > before; }, 5000)) << i;
        }
        // Something that covered a piece of the plot area goes away.
        QLabel cover(g->parentWidget());
        cover.setAutoFillBackground(true);
        cover.setPalette(QPalette(QColor(0xFF00FF)));
        cover.setGeometry(QRect(g->geometry().center() - QPoint(20, 10), QSize(40, 20)));
        const PaintCounter coverPaints{&cover};
        cover.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return coverPaints.of(&cover) > 0; }, 5000));
        const int covered = paints.of(g);
        cover.hide();
        ASSERT_TRUE(QTest::qWaitFor([&] { return paints.of(g) > covered; }, 5000));
        QWidget *window = g->window();
        const QImage screen = window->screen()->grabWindow(window->winId()).toImage();
        const QRect at(g->mapTo(window, QPoint(0, 0)), g->size());
        EXPECT_EQ(screen.copy(at).convertToFormat(QImage::Format_RGB32),
                  g->grab().toImage().convertToFormat(QImage::Format_RGB32))
            << c.graph;
    }
}

// A frame is not drawn for a change inside it that does not reach its border; its border stays
// on the screen as the frame drawn whole shows it.
TEST_F(UiTest, FrameAroundAChangingControlStaysDrawn) {
    QWidget *nested = Widget(controls, CONTROLS_NESTED);
    QWidget *frame = nested->parentWidget();
    const PaintCounter paints{nested};
    for (int i = 0; i < 4; ++i) {
        SetCtrlAttribute(controls, CONTROLS_NESTED, ATTR_LABEL_TEXT, i % 2 ? "nested" : "inner");
        const int before = paints.of(nested);
        ASSERT_TRUE(QTest::qWaitFor([&] { return paints.of(nested) > before; }, 5000)) << i;
    }
    QWidget *window = frame->window();
    const QImage screen = window->screen()
                              ->grabWindow(window->winId())
                              .toImage()
                              .copy(QRect(frame->mapTo(window, QPoint(0, 0)), frame->size()));
    QFrame whole;  // the same frame, drawn whole
    whole.setFrameShape(QFrame::StyledPanel);
    whole.setPalette(frame->palette());
    whole.resize(frame->size());
    const QImage drawn = whole.grab().toImage();
    const QRect inner = static_cast<QFrame *>(frame)->contentsRect();
    int differing = 0;
    for (int y = 0; y < frame->height(); ++y)
        for (int x = 0; x < frame->width(); ++x)
            if (!inner.contains(x, y) && screen.pixel(x, y) != drawn.pixel(x, y)) ++differing;
    EXPECT_EQ(differing, 0);
}


// Read-only displays take a value at their window's next repaint; the program reads back the
// last value at once, and the picture of the panel shows it. An entry the operator may edit
// takes it at once.
TEST_F(UiTest, DisplaysShowTheLastValueSetByTheirRepaint) {
    SetCtrlAttribute(controls, CONTROLS_COUNT, ATTR_CTRL_MODE, VAL_INDICATOR);
    SetCtrlAttribute(controls, CONTROLS_LEVEL, ATTR_CTRL_MODE, VAL_INDICATOR);
    SetCtrlAttribute(controls, CONTROLS_HOST, ATTR_CTRL_MODE, VAL_INDICATOR);
    auto *count = static_cast<QSpinBox *>(Widget(controls, CONTROLS_COUNT));
    auto *level = static_cast<QDoubleSpinBox *>(Widget(controls, CONTROLS_LEVEL));
    auto *host = static_cast<QLineEdit *>(Widget(controls, CONTROLS_HOST));
    for (int cycle = 1; cycle <= 5; ++cycle) {  // a loop's cycles, faster than the repaints
        SetCtrlVal(controls, CONTROLS_COUNT, cycle);
        SetCtrlVal(controls, CONTROLS_LEVEL, cycle + 0.254);
        SetCtrlVal(controls, CONTROLS_HOST, ("10.0.0." + std::to_string(cycle)).c_str());
    }
    EXPECT_EQ(value(controls, CONTROLS_COUNT), 5);
    const QString shown = QString::number(5.254, 'f', level->decimals());
    EXPECT_DOUBLE_EQ(real(controls, CONTROLS_LEVEL), shown.toDouble());  // as the display keeps it
    EXPECT_EQ(text(controls, CONTROLS_HOST), "10.0.0.5");
    SetCtrlVal(controls, CONTROLS_COUNT, count->maximum() + 10.0);  // kept within the range
    EXPECT_EQ(value(controls, CONTROLS_COUNT), count->maximum());
    SetCtrlVal(controls, CONTROLS_COUNT, 5);

    ASSERT_TRUE(QTest::qWaitFor([&] { return !PendingNumber(count) && !PendingText(host); }, 5000));
    EXPECT_EQ(shownBy(count), 5);
    EXPECT_EQ(shownBy(level), shown.toDouble());
    EXPECT_EQ(shownBy(host), "10.0.0.5");
    SettleDisplay(level);  // the spin box takes the value the display draws
    EXPECT_EQ(level->text(), shown);

    SetCtrlVal(controls, CONTROLS_COUNT, 6);
    QTemporaryDir dir;
    ASSERT_EQ(SavePanelImage(controls, dir.filePath("p.png").toUtf8().constData()), 0);
    EXPECT_EQ(shownBy(count), 6) << "the picture shows the last value";
    // The operator focusing the display finds the value in its widget, to select and copy.
    ASSERT_NE(DrawnNumber(count), nullptr);
    count->activateWindow();
    count->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return count->hasFocus(); }, 5000));
    EXPECT_EQ(DrawnNumber(count), nullptr);
    EXPECT_EQ(count->value(), 6);

    // An entry the operator may edit shows the value at once, and the operator's step starts
    // from it.
    count->clearFocus();
    SetCtrlAttribute(controls, CONTROLS_COUNT, ATTR_CTRL_MODE, VAL_HOT);
    SetCtrlVal(controls, CONTROLS_COUNT, 7);
    EXPECT_EQ(shownBy(count), 7);
    EXPECT_EQ(value(controls, CONTROLS_COUNT), 7);
    count->setFocus();  // the operator steps the entry being edited
    seen.clear();
    QWheelEvent step(QPointF(5, 5), count->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                     Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(count, &step);
    EXPECT_EQ(count->value(), 8);
    EXPECT_EQ(value(controls, CONTROLS_COUNT), 8);
    EXPECT_EQ(EventsOf(CONTROLS_COUNT), std::vector<int>({EVENT_VAL_CHANGED, EVENT_COMMIT}));
}

// A loop sets displays whose value did not change on every cycle (set-point, tolerances); they
// are not repainted, while a changed display on the same panel is.
TEST_F(UiTest, DisplaysGivenTheValueTheyShowAreNotRepainted) {
    for (int control : {CONTROLS_COUNT, CONTROLS_LEVEL, CONTROLS_HOST})
        SetCtrlAttribute(controls, control, ATTR_CTRL_MODE, VAL_INDICATOR);
    auto *count = static_cast<QSpinBox *>(Widget(controls, CONTROLS_COUNT));
    auto *level = static_cast<QDoubleSpinBox *>(Widget(controls, CONTROLS_LEVEL));
    auto *host = static_cast<QLineEdit *>(Widget(controls, CONTROLS_HOST));
    SetCtrlVal(controls, CONTROLS_COUNT, 5);
    SetCtrlVal(controls, CONTROLS_LEVEL, 1.5);
    SetCtrlVal(controls, CONTROLS_HOST, "10.0.0.5");
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownBy(host) == "10.0.0.5"; }, 5000));

    const PaintCounter paints{count, level, host};
    SetCtrlVal(controls, CONTROLS_COUNT, 5);
    SetCtrlVal(controls, CONTROLS_COUNT, 5.7);  // shown whole: 5
    SetCtrlVal(controls, CONTROLS_HOST, "10.0.0.5");
    SetCtrlVal(controls, CONTROLS_LEVEL, 2.5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return paints.of(level) > 0; }, 5000));
    EXPECT_EQ(paints.of(count), 0);
    EXPECT_EQ(paints.of(host), 0);

    // A value that rounds to the one shown is no change either; one that rounds to the next
    // decimal is.
    const int levelPaints = paints.of(level);
    SetCtrlVal(controls, CONTROLS_LEVEL, 2.5004);
    SetCtrlVal(controls, CONTROLS_HOST, "10.0.0.6");
    ASSERT_TRUE(QTest::qWaitFor([&] { return paints.of(host) > 0; }, 5000));
    EXPECT_EQ(paints.of(level), levelPaints);
    SetCtrlVal(controls, CONTROLS_LEVEL, 2.5006);
    ASSERT_TRUE(QTest::qWaitFor([&] { return paints.of(level) > levelPaints; }, 5000));
    EXPECT_EQ(shownBy(level), 2.501);

    // A value written and written back before the repaint is no change: the display keeps it
    // without a repaint.
    SetCtrlVal(controls, CONTROLS_COUNT, 6);
    SetCtrlVal(controls, CONTROLS_COUNT, 5);
    EXPECT_EQ(value(controls, CONTROLS_COUNT), 5);
    SetCtrlVal(controls, CONTROLS_HOST, "10.0.0.7");
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownBy(host) == "10.0.0.7"; }, 5000));
    EXPECT_EQ(paints.of(count), 0);
    EXPECT_EQ(shownBy(count), 5);

    // A value on its own asks for the repaint that shows it.
    SetCtrlVal(controls, CONTROLS_COUNT, 8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return paints.of(count) > 0; }, 5000));
    EXPECT_EQ(shownBy(count), 8);
}

// Lets every repaint through while it lives, so that a repaint() reaches the screen at once.
struct UnpacedRepaints {
    UnpacedRepaints() { PaceRepaints(1000000); }
    ~UnpacedRepaints() { PaceRepaints(kRepaintsPerSecond); }
};

// The window's repaint as the event loop does it: the displays take their waiting values, and
// only what changed is painted.
void repaintWindow(QWidget *w) {
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(w->window(), &request);
}

// The application's font, at a point size (0: its own) and weight of a case.
QFont fontOf(int pointSize, bool bold) {
    QFont font = QApplication::font();
    if (pointSize) font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

// What the window shows of a widget: the repaints so far, as the operator sees them.
QImage onScreen(const QWidget *w) {
    const QWidget *window = w->window();
    return window->screen()
        ->grabWindow(window->winId())
        .toImage()
        .copy(QRect(w->mapTo(window, QPoint(0, 0)), w->size()));
}

// A numeric display draws its value itself, pixel for pixel as its spin box draws the value once
// it holds it: in the panels' fonts, with either alignment, a suffix, and a text wider than the
// field. Each value is painted over the one before, as in a measuring loop.
TEST_F(UiTest, NumericDisplaysDrawTheirValueAsTheirSpinBoxDoes) {
    const UnpacedRepaints unpaced;
    SetCtrlAttribute(controls, CONTROLS_LEVEL, ATTR_CTRL_MODE, VAL_INDICATOR);
    auto *level = static_cast<QDoubleSpinBox *>(Widget(controls, CONTROLS_LEVEL));
    level->setRange(-1e9, 1e9);
    struct Case {
        int pointSize;  // 0: the panel's own
        bool bold;
        Qt::Alignment alignment;
        const char *suffix;
        int decimals;
        double value, kept;
    };
    const Case cases[] = {
        {0, false, Qt::AlignRight, "", 3, -1.2344, -1.234},
        {0, false, Qt::AlignLeft, " %", 1, 17.71, 17.7},
        {0, false, Qt::AlignHCenter, " mm", 4, -0.00471, -0.0047},
        {22, true, Qt::AlignRight, "", 3, 1111.5, 1111.5},
        {22, true, Qt::AlignHCenter, "", 2, 70.75, 70.75},
        {30, false, Qt::AlignLeft, " s", 0, 4.4, 4},
        {0, false, Qt::AlignRight, "", 2, 123456789.987, 123456789.99},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kept);
        level->setFont(fontOf(c.pointSize, c.bold));
        level->setAlignment(c.alignment | Qt::AlignVCenter);
        level->setSuffix(c.suffix);
        level->setDecimals(c.decimals);
        // The value painted over another, by the display alone, as a measuring loop does.
        for (double value : {c.value * 3 + 8, c.value}) {
            SetCtrlVal(controls, CONTROLS_LEVEL, value);
            repaintWindow(level);
        }
        ASSERT_NE(DrawnNumber(level), nullptr);
        EXPECT_EQ(*DrawnNumber(level), c.kept);
        const QImage drawn = onScreen(level);
        SettleDisplay(level);
        EXPECT_EQ(DrawnNumber(level), nullptr);
        EXPECT_EQ(level->value(), c.kept);
        level->repaint();
        EXPECT_TRUE(onScreen(level) == drawn);
    }
}

// A display whose control takes another font after its value (a panel scaled to its screen)
// shows the value in that font, pixel for pixel as its control does.
TEST_F(UiTest, DisplaysFollowTheFontOfTheirControl) {
    const UnpacedRepaints unpaced;
    QWidget *level = Widget(controls, CONTROLS_LEVEL), *host = Widget(controls, CONTROLS_HOST);
    for (int control : {CONTROLS_LEVEL, CONTROLS_HOST})
        SetCtrlAttribute(controls, control, ATTR_CTRL_MODE, VAL_INDICATOR);
    SetCtrlVal(controls, CONTROLS_LEVEL, 60.0);
    SetCtrlVal(controls, CONTROLS_HOST, "10.0.0.5");
    repaintWindow(level);
    ASSERT_NE(DrawnNumber(level), nullptr);
    ASSERT_NE(DrawnText(host), nullptr);
    ASSERT_EQ(ScalePanelContents(controls, 1.3), 0);
    for (QWidget *w : {level, host}) {
        repaintWindow(w);
        const QImage shown = onScreen(w);
        SettleDisplay(w);
        w->repaint();
        EXPECT_TRUE(onScreen(w) == shown) << w->objectName().toStdString();
    }
}

// A text display draws the texts it shows in turn itself, pixel for pixel as its line edit
// draws them; a text wider than the field is left to the line edit, which scrolls it.
TEST_F(UiTest, TextDisplaysDrawTheirTextAsTheirLineEditDoes) {
    const UnpacedRepaints unpaced;
    SetCtrlAttribute(controls, CONTROLS_HOST, ATTR_CTRL_MODE, VAL_INDICATOR);
    auto *host = static_cast<QLineEdit *>(Widget(controls, CONTROLS_HOST));
    const std::string wide(200, 'W');
    struct Case {
        int pointSize;  // 0: the panel's own
        bool bold;
        Qt::Alignment alignment;
        std::string before, text;  // the text painted over the one before
        bool drawn;
    };
    const Case cases[] = {
        {0, false, Qt::AlignLeft, "0.0.0.0", "---> Line Ok!", true},
        {0, false, Qt::AlignLeft, "0.0.0.0", "<---  Line Ok!", true},
        {0, true, Qt::AlignRight, "0.0.0.0", "Tr AV Wa.", true},
        {16, false, Qt::AlignHCenter, "0.0.0.0", "To Ty", true},
        {0, false, Qt::AlignLeft, "0.0.0.0", wide, false},
        // A status text in turn with one as wide: only the characters between their common
        // start and end are painted anew.
        {0, false, Qt::AlignLeft, "Ok  ---> Line", "Ok <---  Line", true},
        {0, true, Qt::AlignRight, "1 <---  2", "1  ---> 2", true},
        {16, false, Qt::AlignHCenter, "AV ---> W", "AV <--- W", true},
        {16, true, Qt::AlignLeft, "Wx--->yW", "Wx<---yW", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        host->setFont(fontOf(c.pointSize, c.bold));
        host->setAlignment(c.alignment | Qt::AlignVCenter);
        for (const char *text : {c.before.c_str(), c.text.c_str()}) {
            SetCtrlVal(controls, CONTROLS_HOST, text);
            repaintWindow(host);
        }
        EXPECT_EQ(DrawnText(host) != nullptr, c.drawn);
        EXPECT_EQ(shownBy(host).toStdString(), c.text);
        const QImage drawn = onScreen(host);
        SettleDisplay(host);
        EXPECT_EQ(DrawnText(host), nullptr);
        EXPECT_EQ(host->text().toStdString(), c.text);
        host->repaint();
        EXPECT_TRUE(onScreen(host) == drawn);
    }
}

TEST_F(UiTest, StripChartKeepsWhatItWasGiven) {
    const int chart = GRAPHS_CHART;
    KGraph *g = Graph(graphs, chart);
    // The measured-value chart: 7 traces, 100 samples interleaved, 101 points per screen.
    EXPECT_EQ(SetCtrlAttribute(graphs, chart, ATTR_NUM_TRACES, 7), 0);
    EXPECT_EQ(SetCtrlAttribute(graphs, chart, ATTR_POINTS_PER_SCREEN, 101), 0);
    EXPECT_EQ(SetCtrlAttribute(graphs, chart, ATTR_SCROLL_MODE, VAL_CONTINUOUS), 0);
    std::vector<double> history(700);
    for (int i = 0; i < 700; ++i) history[i] = i;
    EXPECT_EQ(PlotStripChart(graphs, chart, history.data(), 700), 0);

    for (int trace = 1; trace <= 7; ++trace) {
        const std::vector<double> values = g->traceValues(trace);
        ASSERT_EQ(values.size(), 100u);
        EXPECT_EQ(values.front(), trace - 1);
        EXPECT_EQ(values.back(), 693 + trace - 1);
    }

    // Setting the same set-up again keeps the chart; the next history scrolls in.
    SetCtrlAttribute(graphs, chart, ATTR_NUM_TRACES, 7);
    SetCtrlAttribute(graphs, chart, ATTR_POINTS_PER_SCREEN, 101);
    PlotStripChart(graphs, chart, history.data(), 700);
    std::vector<double> trace1 = g->traceValues(1);
    ASSERT_EQ(trace1.size(), 101u);
    EXPECT_EQ(trace1[0], 693);  // the newest sample of the first call
    EXPECT_EQ(trace1[1], 0);

    // A partial sample waits for the rest of its traces.
    PlotStripChart(graphs, chart, history.data(), 3);
    EXPECT_EQ(g->traceValues(1).back(), 693);
    PlotStripChart(graphs, chart, history.data() + 3, 4);
    EXPECT_EQ(g->traceValues(1).back(), 0);
    EXPECT_EQ(g->traceValues(7).back(), 6);

    EXPECT_EQ(SetTraceAttribute(graphs, chart, 6, ATTR_TRACE_VISIBLE, 0), 0);
    EXPECT_EQ(SetTraceAttribute(graphs, chart, 7, ATTR_TRACE_COLOR, 0x0000FF), 0);
    EXPECT_FALSE(g->isTraceVisible(6));
    EXPECT_EQ(g->traceColor(7), QColor(0x0000FF));
    EXPECT_EQ(SetTraceAttribute(graphs, chart, 17, ATTR_TRACE_VISIBLE, 0), UIE_BAD_INDEX);
    DisplayPanel(graphs);
    EXPECT_FALSE(g->grab().isNull());

    // A new trace count starts over; so does deleting the plots.
    SetCtrlAttribute(graphs, chart, ATTR_NUM_TRACES, 4);
    EXPECT_TRUE(g->traceValues(1).empty());
    PlotStripChart(graphs, chart, history.data(), 8);
    EXPECT_EQ(g->traceValues(4), std::vector<double>({3, 7}));
    EXPECT_EQ(DeleteGraphPlot(graphs, chart, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW), 0);
    EXPECT_TRUE(g->traceValues(4).empty());
    EXPECT_EQ(SetCtrlAttribute(graphs, chart, ATTR_NUM_TRACES, 17), UIE_BAD_VALUE);
    EXPECT_EQ(SetCtrlAttribute(graphs, chart, ATTR_SCROLL_MODE, 0), UIE_BAD_VALUE);
}

// A flat trace on the chart's edges is drawn; one wholly beyond them leaves the picture as it
// is without that trace.
TEST_F(UiTest, StripChartTracesOnItsEdgesShowAndTracesBeyondThemLeaveNoMark) {
    const int chart = GRAPHS_CHART;
    KGraph *g = Graph(graphs, chart);
    DisplayPanel(graphs);
    SetCtrlAttribute(graphs, chart, ATTR_NUM_TRACES, 2);
    SetAxisScalingMode(graphs, chart, VAL_LEFT_YAXIS, VAL_MANUAL, 50.0, 60.0);
    const struct {
        double level;
        bool shows;
    } cases[] = {{55.0, true},  {60.0, true},   {50.2, true},
                 {60.3, false}, {700.0, false}, {-3.0, false}};
    for (const auto &c : cases) {
        DeleteGraphPlot(graphs, chart, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
        for (int i = 0; i < 60; ++i) {
            const double sample[2] = {52.0 + (i % 7), c.level};
            PlotStripChart(graphs, chart, sample, 2);
        }
        SetTraceAttribute(graphs, chart, 2, ATTR_TRACE_VISIBLE, 1);
        const QImage with = g->grab().toImage();
        SetTraceAttribute(graphs, chart, 2, ATTR_TRACE_VISIBLE, 0);
        EXPECT_EQ(with != g->grab().toImage(), c.shows) << c.level;
    }
}

// A flat trace is drawn as the same pixels as one that wavers by less than a pixel.
TEST_F(UiTest, StripChartFlatTraceLooksAsItsPieces) {
    const int chart = GRAPHS_CHART;
    KGraph *g = Graph(graphs, chart);
    DisplayPanel(graphs);
    SetAxisScalingMode(graphs, chart, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 10.0);
    for (double level : {2.0, 3.3, 7.77}) {
        QImage pictures[2];
        for (int wavers = 0; wavers < 2; ++wavers) {
            DeleteGraphPlot(graphs, chart, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
            for (int i = 0; i < 80; ++i) {
                const double value = level + (wavers && i % 2 ? 1e-9 : 0.0);
                PlotStripChart(graphs, chart, &value, 1);
            }
            pictures[wavers] = g->grab().toImage();
        }
        EXPECT_EQ(pictures[0], pictures[1]) << level;
    }
}

TEST_F(UiTest, TimerControlTicksThroughItsCallback) {
    const int timer = GRAPHS_TICKER;
    EXPECT_EQ(SetCtrlAttribute(graphs, timer, ATTR_INTERVAL, 0.01), 0);
    EXPECT_EQ(SetCtrlAttribute(graphs, timer, ATTR_ENABLED, 1), 0);
    EXPECT_TRUE(QTest::qWaitFor([] { return EventsOf(GRAPHS_TICKER).size() >= 2; }, 10000));
    EXPECT_EQ(seen.front().panel, graphs);
    EXPECT_EQ(seen.front().event, EVENT_TIMER_TICK);

    EXPECT_EQ(SetCtrlAttribute(graphs, timer, ATTR_ENABLED, 0), 0);
    int enabled = 1;
    double interval = 0;
    GetCtrlAttribute(graphs, timer, ATTR_ENABLED, &enabled);
    GetCtrlAttribute(graphs, timer, ATTR_INTERVAL, &interval);
    EXPECT_EQ(enabled, 0);
    EXPECT_DOUBLE_EQ(interval, 0.01);
    EXPECT_EQ(SetCtrlAttribute(graphs, timer, ATTR_INTERVAL, 0.0), UIE_BAD_VALUE);
    EXPECT_EQ(SetCtrlAttribute(graphs, timer, ATTR_VISIBLE, 1), UIE_BAD_ATTRIBUTE);
}
