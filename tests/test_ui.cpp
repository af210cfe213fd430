// The user-interface run-time on real widgets: two test panels (tests/ui), a top-level panel
// with one control of every kind and a child panel with graphs and a timer.
#include <QApplication>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QWheelEvent>

#include "gui/runtime/displaypaint.h"
#include "gui/runtime/kgraph.h"
#include "gui/runtime/pacer.h"
#include "gui/runtime/popupscript.h"
#include "gui/runtime/screen.h"
#include "support.h"
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

// Every control and the panel itself report to Record.
void RecordAll(int panel) {
    std::vector<CallbackBinding> table{{0, Record}};
    for (const auto &[id, c] : FindPanel(panel)->controls) table.push_back({id, Record});
    ASSERT_EQ(BindCallbacks(panel, table), 0);
}

const double x[5] = {0, 200, 400, 600, 800}, y[5] = {0.1, 0.3, 0.5, 0.7, 0.9};  // a curve

// What the window shows of a widget: the repaints so far, as the operator sees them.
QImage onScreen(const QWidget *w) {
    const QWidget *window = w->window();
    const QImage shot = window->screen()->grabWindow(window->winId()).toImage();
    return shot.copy(QRect(w->mapTo(window, QPoint(0, 0)), w->size()))
        .convertToFormat(QImage::Format_RGB32);
}

// Notes that a widget was painted.
struct PaintWatch : QObject {
    bool painted = false;
    explicit PaintWatch(QWidget *w) { w->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override {
        painted = painted || event->type() == QEvent::Paint;
        return false;
    }
};

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

}  // namespace

// The resource is found by file name, whatever its directory or letter case; a failed load gives
// a negative handle. Closing a window is the panel callback's, only the operator's resize is an
// event; a panel with a window of its own zooms to full screen and goes with its parent.
TEST_F(UiTest, PanelsAndTheirWindows) {
    const int top = LoadPanel(0, "/opt/k-tav/TEST_PANELS.UIR", CONTROLS);
    ASSERT_GT(top, 0);
    EXPECT_EQ(DiscardPanel(top), 0);
    EXPECT_EQ(DiscardPanel(top), UIE_BAD_PANEL);
    const std::tuple<int, const char *, int, int> cases[] = {
        {0, "other.uir", CONTROLS, UIE_LOAD_FAILED},
        {0, nullptr, CONTROLS, UIE_LOAD_FAILED},
        {0, test_panels_resource, 99, UIE_LOAD_FAILED},
        {4711, test_panels_resource, CONTROLS, UIE_BAD_PANEL}};  // no such parent
    for (const auto &[parent, file, id, result] : cases)
        EXPECT_EQ(LoadPanel(parent, file, id), result) << id;
    QWidget *panel = Widget(controls, 0);
    panel->close();
    EXPECT_TRUE(panel->isVisible());
    SetPanelSize(controls, 320, 410);
    panel->resize(500, 400);  // as the operator drags the frame
    EXPECT_EQ(EventsOf(0), std::vector<int>({EVENT_CLOSE, EVENT_PANEL_SIZE}));
    const int surface = LoadPanel(controls, test_panels_resource, SURFACE);
    DisplayPanel(surface);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Widget(surface, 0)));
    EXPECT_EQ(SetPanelAttribute(surface, ATTR_WINDOW_ZOOM, VAL_FULL_SCREEN), 0);
    EXPECT_EQ(SetPanelAttribute(graphs, ATTR_WINDOW_ZOOM, VAL_MAXIMIZE), UIE_BAD_ATTRIBUTE);
    DiscardPanel(controls);
    EXPECT_EQ(DisplayPanel(surface), UIE_BAD_PANEL);
    controls = LoadPanel(0, test_panels_resource, CONTROLS);  // for TearDown
}

// What the layer itself does to values: whole numbers truncated, text boxes that collect and
// pad, texts cut to the caller's buffer, a ring value without an item, buddy labels.
TEST_F(UiTest, ValuesTheLayerCoercesOrRefuses) {
    SetCtrlVal(controls, CONTROLS_COUNT, 7.9);
    SetCtrlVal(controls, CONTROLS_LEVEL, 2.75);  // integer readings truncate
    EXPECT_EQ(std::pair(value(controls, CONTROLS_COUNT), value(controls, CONTROLS_LEVEL)),
              std::pair(7, 2));
    const int box = CONTROLS_MESSAGES;
    SetCtrlVal(controls, box, "line 1\n");
    SetCtrlVal(controls, box, "line 2\n");  // a text box appends
    EXPECT_EQ(text(controls, box), "line 1\nline 2\n");
    ResetTextBox(controls, box, "RECORDER ACTIVE\nAPPEND DATA ...");
    ReplaceTextBoxLine(controls, box, 1, "DATA VALID");
    ReplaceTextBoxLine(controls, box, 4, "START");  // after empty lines, not lost
    EXPECT_EQ(text(controls, box), "RECORDER ACTIVE\nDATA VALID\n\n\nSTART");
    EXPECT_EQ(ReplaceTextBoxLine(controls, box, -1, "x"), UIE_BAD_INDEX);
    // A text longer than the caller's buffer is cut, never within a character, and terminated.
    const std::tuple<const char *, std::size_t, const char *> cuts[] = {
        {"10.0.0.7", 4, "10."}, {"1\xC2\xB5m", 3, "1"}, {"1\xC2\xB5m", 4, "1\xC2\xB5"}};
    for (const auto &[set, size, expected] : cuts) {
        char buffer[8];
        std::memset(buffer, 'x', sizeof buffer);
        SetCtrlVal(controls, CONTROLS_HOST, set);
        EXPECT_EQ(GetCtrlVal(controls, CONTROLS_HOST, buffer, size), 0);
        EXPECT_STREQ(buffer, expected) << size;
    }
    // A ring value without an item selects none, so that no stale item reads as the value.
    EXPECT_EQ(SetCtrlVal(controls, CONTROLS_RING, 7), UIE_BAD_VALUE);
    int ring = -1;
    EXPECT_EQ(GetCtrlVal(controls, CONTROLS_RING, &ring), UIE_BAD_INDEX);
    // A control without a caption of its own is named by its buddy label.
    EXPECT_EQ(SetCtrlAttribute(controls, CONTROLS_COUNT, ATTR_LABEL_TEXT, "Samples"), 0);
    char label[16] = "";
    GetCtrlAttribute(controls, CONTROLS_COUNT, ATTR_LABEL_TEXT, label, sizeof label);
    EXPECT_STREQ(label, "Samples");
    EXPECT_EQ(SetCtrlAttribute(controls, CONTROLS_HOST, ATTR_LABEL_TEXT, "x"), UIE_BAD_ATTRIBUTE);
    // A control inside a frame is placed in the panel's coordinates.
    int top, left, height, width;
    EXPECT_EQ(GetCtrlBoundingRect(controls, CONTROLS_NESTED, &top, &left, &height, &width), 0);
    EXPECT_EQ(std::vector<int>({top, left, height, width}), std::vector<int>({160, 290, 30, 80}));
}

TEST_F(UiTest, MouseEventsArriveInOrder) {
    const int clicked = EVENT_LEFT_CLICK, changed = EVENT_VAL_CHANGED, commit = EVENT_COMMIT;
    const int right = EVENT_RIGHT_CLICK, rightTwice = EVENT_RIGHT_DOUBLE_CLICK;
    const Qt::MouseButton L = Qt::LeftButton, R = Qt::RightButton;
    // The control (0: the panel), the button, whether it is clicked twice; the events.
    const std::tuple<int, Qt::MouseButton, bool, std::vector<int>> cases[] = {
        {CONTROLS_GO, L, false, {clicked, commit}},
        {CONTROLS_TOGGLE, L, false, {clicked, changed, commit}},
        {CONTROLS_SWITCH, L, false, {clicked, changed, commit}},
        {CONTROLS_NESTED, L, false, {clicked, commit}},  // a button in a frame
        {CONTROLS_GO, R, false, {right}},
        {CONTROLS_GO, R, true, {right, rightTwice}},
        {CONTROLS_HOST, R, false, {right}},  // no context menu
        {0, R, true, {right, rightTwice}}};
    for (const auto &[control, button, twice, events] : cases) {
        seen.clear();
        QWidget *target = Widget(controls, control);
        const QPoint at = control ? target->rect().center() : QPoint(390, 5);
        QTest::mouseClick(target, button, {}, at);
        if (twice) QTest::mouseDClick(target, button, {}, at);
        EXPECT_EQ(EventsOf(control), events) << control;
        EXPECT_EQ(seen.size(), events.size()) << control << ": reported once, to its owner";
    }
    // A dimmed control takes no input: no click reaches its callback.
    seen.clear();
    SetCtrlAttribute(controls, CONTROLS_GO, ATTR_DIMMED, 1);
    click(controls, CONTROLS_GO);
    click(controls, CONTROLS_GO, R);
    EXPECT_TRUE(seen.empty());
}

// Entries commit on Enter after an edit; a key is reported once, with its code; the wheel steps
// only the control being edited, never one it passes over. The program's values are no events.
TEST_F(UiTest, ValueChangedOnlyForTheOperatorsChanges) {
    const std::vector<int> changedAndCommit = {EVENT_VAL_CHANGED, EVENT_COMMIT};
    QWidget *count = Widget(controls, CONTROLS_COUNT), *host = Widget(controls, CONTROLS_HOST);
    Widget(controls, 0)->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Widget(controls, 0)));
    count->setFocus();  // the operator tabs into the entry
    static_cast<QSpinBox *>(count)->selectAll();
    QTest::keyClicks(count, "17");
    const auto valueEvents = [] {  // the entry's events other than its key presses
        std::vector<int> codes = EventsOf(CONTROLS_COUNT);
        std::erase(codes, EVENT_KEYPRESS);
        return codes;
    };
    EXPECT_TRUE(valueEvents().empty());
    QTest::keyClick(count, Qt::Key_Return);
    EXPECT_EQ(valueEvents(), changedAndCommit);
    EXPECT_EQ(value(controls, CONTROLS_COUNT), 17);
    QTest::keyClick(Widget(controls, CONTROLS_RING), Qt::Key_Down);
    EXPECT_EQ(EventsOf(CONTROLS_RING), changedAndCommit);
    QTest::keyClick(Widget(controls, CONTROLS_THRESHOLD), Qt::Key_Right);
    EXPECT_EQ(EventsOf(CONTROLS_THRESHOLD), changedAndCommit);
    QTest::keyClicks(host, "ab");
    QTest::keyClick(host, Qt::Key_Return);
    QTest::keyClick(host, Qt::Key_Return);  // nothing edited since the last commit
    EXPECT_EQ(EventsOf(CONTROLS_HOST),
              std::vector<int>({EVENT_VAL_CHANGED, EVENT_VAL_CHANGED, EVENT_COMMIT}));
    host->setFocus();
    seen.clear();
    QTest::keyClick(host, Qt::Key_F2);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(std::make_pair(seen[0].event, seen[0].data1),
              std::make_pair(EVENT_KEYPRESS, int(Qt::Key_F2)));
    for (int control : {CONTROLS_RING, CONTROLS_COUNT, CONTROLS_LEVEL, CONTROLS_THRESHOLD}) {
        QWidget *w = Widget(controls, control);
        w->clearFocus();
        SetCtrlVal(controls, control, 1);
        for (bool focused : {false, true}) {  // the operator turns the wheel one step over it
            if (focused) w->setFocus();
            seen.clear();
            QWheelEvent turn(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                             Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(w, &turn);
            EXPECT_EQ(real(controls, control) != 1, focused) << control;
            EXPECT_EQ(EventsOf(control).empty(), !focused) << control;
        }
        EXPECT_NE(w->focusPolicy(), Qt::WheelFocus) << "a wheel turned over it takes no focus";
    }
    // The entry drew the value set while it still held the one typed: the step starts from 1.
    EXPECT_EQ(value(controls, CONTROLS_COUNT), 2);
    seen.clear();
    SetCtrlVal(controls, CONTROLS_HOST, "x");
    SetCtrlVal(controls, CONTROLS_RING, 0);
    SetCtrlVal(controls, CONTROLS_SWITCH, 1);
    SetCtrlAttribute(controls, CONTROLS_COUNT, ATTR_MAX_VALUE, 0);  // moves the value
    EXPECT_EQ(value(controls, CONTROLS_COUNT), 0);
    EXPECT_TRUE(seen.empty());
}

// A timer control ticks through its callback; a commit may end the event loop, as closing the
// main panel does; a click may discard its own panel in the middle of its events.
TEST_F(UiTest, CallbacksTickQuitAndDiscard) {
    EXPECT_EQ(SetCtrlAttribute(graphs, GRAPHS_TICKER, ATTR_INTERVAL, 0.01), 0);
    EXPECT_EQ(SetCtrlAttribute(graphs, GRAPHS_TICKER, ATTR_ENABLED, 1), 0);
    EXPECT_TRUE(waitFor([] { return EventsOf(GRAPHS_TICKER).size() >= 2; }));
    EXPECT_EQ(std::make_pair(seen[0].panel, seen[0].event),
              std::make_pair(graphs, EVENT_TIMER_TICK));
    EXPECT_EQ(SetCtrlAttribute(graphs, GRAPHS_TICKER, ATTR_ENABLED, 0), 0);
    EXPECT_EQ(SetCtrlAttribute(graphs, GRAPHS_TICKER, ATTR_INTERVAL, 0.0), UIE_BAD_VALUE);
    const CtrlCallbackPtr act = [](int panel, int, int event, void *discard, int, int) {
        if (event == EVENT_COMMIT && !discard) QuitUserInterface(3);
        if (event == EVENT_LEFT_CLICK && discard) DiscardPanel(panel);
        return 0;
    };
    const int victim = LoadPanel(0, test_panels_resource, CONTROLS);
    int discard = 1;
    const CallbackBinding quitting[] = {{CONTROLS_GO, act}},
                          discarding[] = {{CONTROLS_GO, act, &discard}};
    BindCallbacks(controls, quitting);
    QTimer::singleShot(0, [this] { click(controls, CONTROLS_GO); });
    EXPECT_EQ(RunUserInterface(), 3);
    QuitUserInterface(5);  // before the loop runs: it returns at once
    EXPECT_EQ(RunUserInterface(), 5);
    BindCallbacks(victim, discarding);
    DisplayPanel(victim);
    click(victim, CONTROLS_GO);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(DisplayPanel(victim), UIE_BAD_PANEL);
}

// A graph repaints only its plot area: after a run of changes and a cover that goes away, the
// screen shows the graph drawn whole. Each cycle's curves keep their own points.
TEST_F(UiTest, GraphsOnTheScreenAreDrawnWhole) {
    DisplayPanel(graphs);
    SetCtrlAttribute(graphs, GRAPHS_CHART, ATTR_NUM_TRACES, 2);
    SetAxisScalingMode(graphs, GRAPHS_CHART, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 10.0);
    auto *position = static_cast<KGraph *>(Widget(graphs, GRAPHS_POSITION));
    auto *chart = static_cast<KGraph *>(Widget(graphs, GRAPHS_CHART));
    PaintWatch positionPaints(position), chartPaints(chart);
    const auto bothPainted = [&] { return positionPaints.painted && chartPaints.painted; };
    for (int i = 0; i < 12; ++i) {
        positionPaints.painted = chartPaints.painted = false;
        if (i == 3) SetAxisScalingMode(graphs, GRAPHS_POSITION, VAL_XAXIS, VAL_MANUAL, 0, 1024);
        DeleteGraphPlot(graphs, GRAPHS_POSITION, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
        PlotRectangle(graphs, GRAPHS_POSITION, 100.0 + 150 * i, 0.25, 160.0 + 150 * i, 1.0,
                      0xFF0000, 0xFF0000);
        SetGraphCursor(graphs, GRAPHS_POSITION, 1, 130.0 + 150 * i, 0.75);
        const int points = 1 + i % 5;
        const int curve = PlotXY(graphs, GRAPHS_POSITION, x, y, points, VAL_CONNECTED_POINTS,
                                 VAL_SIMPLE_DOT, 0x0000FF);
        EXPECT_EQ(position->pointCount(curve), points);
        for (int k = 0; k < 7; ++k) {
            const double sample[2] = {double((i * 7 + k) % 11), 9.0 - (i + k) % 5};
            PlotStripChart(graphs, GRAPHS_CHART, sample, 2);
        }
        ASSERT_TRUE(waitFor(bothPainted)) << i;
    }
    for (KGraph *g : {position, chart}) {  // a cover over a piece of the plot area goes away
        QLabel cover(g->parentWidget());
        cover.setAutoFillBackground(true);
        cover.setPalette(QPalette(QColor(0xFF00FF)));
        cover.setGeometry(QRect(g->geometry().center() - QPoint(20, 10), QSize(40, 20)));
        PaintWatch covered(&cover);
        cover.show();
        ASSERT_TRUE(waitFor([&] { return covered.painted; }));
        PaintWatch &paints = g == position ? positionPaints : chartPaints;
        paints.painted = false;
        cover.hide();
        ASSERT_TRUE(waitFor([&] { return paints.painted; }));
        EXPECT_EQ(onScreen(g), g->grab().toImage().convertToFormat(QImage::Format_RGB32));
    }
}

// The chosen file's existence decides the result; only a save dialog takes a new name; a path too
// long for the buffer is refused, not cut. Unscripted, a pop-up is answered as cancelled.
TEST_F(UiTest, FileSelectionTakesScriptedAnswers) {
    QTemporaryDir dir;
    const std::string existing = writeFile(dir.filePath("PARA.ini"), "").toStdString();
    const std::string fresh = dir.filePath("RECORD.DAT").toStdString();
    // The answer, the path it gives, the dialog's button; the result and the path chosen.
    const std::tuple<int, std::string, int, int, std::string> files[] = {
        {2, existing, VAL_SAVE_BUTTON, 1, existing},
        {1, fresh, VAL_SAVE_BUTTON, 2, fresh},
        {1, std::string(300, 'x'), VAL_SAVE_BUTTON, UIE_BAD_VALUE, ""},
        {2, fresh, VAL_LOAD_BUTTON, 0, ""}};
    for (const auto &[answer, given, button, result, chosen] : files) {
        char path[260] = "stale";
        QueuePopupAnswer(answer, given);
        EXPECT_EQ(FileSelectPopup("", "RECORD.DAT", "*.DAT", "", button, 0, 1, 1, 1, path), result);
        EXPECT_EQ(path, chosen);
    }
    EXPECT_EQ(ConfirmPopup("ATTENTION !", "nobody here"), 0);
    EXPECT_EQ(LastPopupText(), "ATTENTION !: nobody here");
}

// The plot area's frame is kept as a picture between paints, around it the background of what
// lies behind the graph, else its own: each change of what they show must reach the next paint.
TEST_F(UiTest, GraphPictureFollowsEveryChange) {
    const int graph = GRAPHS_POSITION;
    auto *g = static_cast<KGraph *>(Widget(graphs, graph));
    QWidget *panel = Widget(graphs, 0);
    DisplayPanel(graphs);
    const auto corner = [&] { return QColor(g->grab().toImage().pixel(0, 0)); };
    EXPECT_EQ(corner(), panel->palette().color(QPalette::Window));
    QPalette behind = panel->palette();
    behind.setColor(QPalette::Window, QColor(0x336699));
    const struct {
        const char *what;
        std::function<void()> change;
        QColor corner = QColor();  // invalid: not looked at
    } changes[] = {
        {"x range", [&] { SetAxisScalingMode(graphs, graph, VAL_XAXIS, VAL_MANUAL, 0.0, 500.0); }},
        {"y range", [&] { SetAxisScalingMode(graphs, graph, VAL_LEFT_YAXIS, 0, -7.0, 77.0); }},
        {"right y", [&] { SetAxisScalingMode(graphs, graph, VAL_RIGHT_YAXIS, 0, 0.0, 255.0); }},
        {"x name", [&] { SetCtrlAttribute(graphs, graph, ATTR_XNAME, "SLAVE [pixel]"); }},
        {"y name", [&] { SetCtrlAttribute(graphs, graph, ATTR_YNAME, "mm"); }},
        {"y decimals", [&] { SetCtrlAttribute(graphs, graph, ATTR_YPRECISION, 3); }},
        {"dimmed", [&] { SetCtrlAttribute(graphs, graph, ATTR_DIMMED, 1); }},
        {"background behind", [&] { panel->setPalette(behind); }, QColor(0x336699)},
        {"own background", [&] { SetCtrlAttribute(graphs, graph, ATTR_TEXT_BGCOLOR, 0x996633); },
         QColor(0x996633)}};
    for (const auto &c : changes) {
        const QImage before = g->grab().toImage();
        c.change();
        EXPECT_NE(g->grab().toImage(), before) << c.what;
        EXPECT_TRUE(!c.corner.isValid() || corner() == c.corner) << c.what;
    }
}

// The measured-value chart: traces interleaved, a partial sample waiting for the rest of its
// traces; the same set-up set again keeps the chart, a new trace count starts it over.
TEST_F(UiTest, StripChart) {
    const int chart = GRAPHS_CHART;
    auto *g = static_cast<KGraph *>(Widget(graphs, chart));
    std::vector<double> history(700);
    for (int i = 0; i < 700; ++i) history[i] = i;
    for (int call = 0; call < 2; ++call) {
        SetCtrlAttribute(graphs, chart, ATTR_NUM_TRACES, 7);
        SetCtrlAttribute(graphs, chart, ATTR_POINTS_PER_SCREEN, 101);
        EXPECT_EQ(PlotStripChart(graphs, chart, history.data(), 700), 0);
    }
    for (int trace : {1, 7}) {  // the newest sample of the first call, then the second call
        const std::vector<double> values = g->traceValues(trace);
        ASSERT_EQ(values.size(), 101u);
        EXPECT_EQ(std::make_tuple(values[0], values[1], values[100]),
                  std::make_tuple(692.0 + trace, trace - 1.0, 692.0 + trace));
    }
    PlotStripChart(graphs, chart, history.data(), 3);
    EXPECT_EQ(g->traceValues(1).back(), 693);
    PlotStripChart(graphs, chart, history.data() + 3, 4);
    EXPECT_EQ(std::pair(g->traceValues(1).back(), g->traceValues(7).back()), std::pair(0.0, 6.0));
    SetCtrlAttribute(graphs, chart, ATTR_NUM_TRACES, 4);
    EXPECT_TRUE(g->traceValues(1).empty());
    PlotStripChart(graphs, chart, history.data(), 8);
    EXPECT_EQ(g->traceValues(4), std::vector<double>({3, 7}));
    EXPECT_EQ(DeleteGraphPlot(graphs, chart, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW), 0);
    EXPECT_TRUE(g->traceValues(4).empty());
    EXPECT_EQ(SetTraceAttribute(graphs, chart, 17, ATTR_TRACE_VISIBLE, 0), UIE_BAD_INDEX);
    EXPECT_EQ(SetCtrlAttribute(graphs, chart, ATTR_NUM_TRACES, 17), UIE_BAD_VALUE);
    // A cursor or axis range a graph cannot have, and a plot on another control, are refused.
    EXPECT_EQ(SetGraphCursor(graphs, GRAPHS_POSITION, 3, 0.0, 0.0), UIE_BAD_INDEX);
    EXPECT_EQ(SetAxisScalingMode(graphs, chart, VAL_XAXIS, VAL_MANUAL, 5.0, 5.0), UIE_BAD_VALUE);
    EXPECT_EQ(PlotXY(controls, CONTROLS_GO, x, y, 5, 0, 0, 0), UIE_NOT_SUPPORTED);
}

// A display painted with two values in turn, as by a measuring loop, reads back the last one and
// shows it pixel for pixel as its widget (spin box LEVEL, line edit HOST) does once it holds it.
TEST_F(UiTest, DisplaysDrawTheLastValueAsTheirWidgetDoes) {
    const auto L = Qt::AlignLeft, R = Qt::AlignRight, C = Qt::AlignHCenter;
    const int level = CONTROLS_LEVEL, host = CONTROLS_HOST;
    const std::string wide(200, 'W');
    const struct {
        int control, pointSize;  // point size 0: the panel's own
        bool bold;
        Qt::Alignment alignment;
        const char *suffix;
        int decimals;
        std::string before, after, shows;  // painted one over the other; what the widget shows
        // Whether the display itself draws the value, else leaves it to its widget; whether the
        // font changes after the value (as on a panel scaled to its screen).
        bool drawn, fontAfter = false;
    } cases[] = {
        // In the panels' fonts, with either alignment, a suffix, a number wider than the field.
        {level, 0, false, R, "", 3, "4.3", "-1.2344", "-1.234", true},
        {level, 0, false, L, " %", 1, "61.1", "17.71", "17.7 %", true},
        {level, 0, false, C, " mm", 4, "8", "-0.00471", "-0.0047 mm", true},
        {level, 0, false, R, "", 2, "8", "123456789.987", "123456789.99", true},
        {level, 0, false, R, "", 0, "8", "2e9", "1000000000", true},  // kept within the range
        {host, 0, false, L, "", 0, "0.0.0.0", "---> Line Ok!", "---> Line Ok!", true},
        {host, 0, false, L, "", 0, "0.0.0.0", wide, wide, false},  // scrolled by the widget
        // A font that comes after the value: the display gives way to its widget.
        {level, 18, false, R, "", 3, "4", "60", "60.000", false, true},
        {host, 18, false, L, "", 0, "1", "10.0.0.5", "10.0.0.5", false, true}};
    PaceRepaints(1000000);  // every repaint() reaches the screen at once
    auto *spinBox = static_cast<QDoubleSpinBox *>(Widget(controls, level));
    auto *lineEdit = static_cast<QLineEdit *>(Widget(controls, host));
    SetCtrlsAttribute(controls, {level, host}, ATTR_CTRL_MODE, VAL_INDICATOR);
    spinBox->setRange(-1e9, 1e9);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.shows.substr(0, 20));
        const bool number = c.control == level;
        QWidget *w = Widget(controls, c.control);
        QFont font = QApplication::font();
        if (c.pointSize) font.setPointSize(c.pointSize);
        font.setBold(c.bold);
        if (!c.fontAfter) w->setFont(font);
        spinBox->setAlignment(c.alignment | Qt::AlignVCenter);
        lineEdit->setAlignment(c.alignment | Qt::AlignVCenter);
        spinBox->setSuffix(c.suffix);
        spinBox->setDecimals(c.decimals);
        // The window's repaint as the event loop does it: the display takes its waiting value.
        const auto repaintWindow = [w] {
            QEvent request(QEvent::UpdateRequest);
            QCoreApplication::sendEvent(w->window(), &request);
        };
        std::string readBack;  // before the repaint
        for (const std::string &v : {c.before, c.after}) {
            number ? SetCtrlVal(controls, c.control, std::stod(v))
                   : SetCtrlVal(controls, c.control, v.c_str());
            readBack =
                number ? std::to_string(real(controls, c.control)) : text(controls, c.control);
            repaintWindow();
        }
        if (c.fontAfter) {
            w->setFont(font);
            repaintWindow();
        }
        EXPECT_EQ(number ? DrawnNumber(w) != nullptr : DrawnText(w) != nullptr, c.drawn);
        const QImage drawn = onScreen(w);
        SettleDisplay(w);
        EXPECT_EQ((number ? spinBox->text() : lineEdit->text()).toStdString(), c.shows);
        EXPECT_EQ(readBack, number ? std::to_string(spinBox->value()) : c.shows);
        w->repaint();
        EXPECT_TRUE(onScreen(w) == drawn);
    }
    PaceRepaints(kRepaintsPerSecond);
    // Values set between repaints wait for the next one, also for a picture of the panel.
    QWidget *count = Widget(controls, CONTROLS_COUNT);
    SetCtrlAttribute(controls, CONTROLS_COUNT, ATTR_CTRL_MODE, VAL_INDICATOR);
    for (int cycle = 1; cycle <= 6; ++cycle) SetCtrlVal(controls, CONTROLS_COUNT, cycle);
    QTemporaryDir dir;
    ASSERT_EQ(SavePanelImage(controls, dir.filePath("p.png").toUtf8().constData()), 0);
    ASSERT_NE(DrawnNumber(count), nullptr);
    EXPECT_EQ(*DrawnNumber(count), 6);
    // The operator focusing the display finds the value in its widget, to select and copy.
    count->activateWindow();
    count->setFocus();
    ASSERT_TRUE(waitFor([&] { return count->hasFocus(); }));
    EXPECT_EQ(DrawnNumber(count), nullptr);
}
