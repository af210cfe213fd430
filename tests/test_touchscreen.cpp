// The touch surface on a touch-panel screen, once per supported size: every view fills it, each
// control inside and none covering another, touch targets of 40 x 40 pixels at 800 x 480 growing
// with the screen, texts 10 pixels high; the desktop whole on it. With KTAV_TOUCH_SHOTS naming a
// folder, pictures of every view, idle, during RUN and during VIDEO are written there.
#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <cmath>

#include "core/params/appsettings.h"
#include "core/state/programdir.h"
#include "gui/app/appini.h"
#include "gui/app/shell.h"
#include "gui/runtime/screen.h"
#include "gui/touch/keyboard.h"
#include "gui/touch/touchscreen.h"
#include "ktav_panels.h"
#include "support.h"

namespace {

constexpr int kMinTarget = 40, kMinText = 10;  // pixels, the target's at 800 x 480

// A control or caption as drawn on the screen, in the touch panel's coordinates.
struct Item {
    QWidget *widget;
    QRect rect, visible;  // where it lies, and the part its panels leave visible
    int panel;
    bool target;  // takes a touch
    std::string name;
};

bool drawnWhole(const QWidget *w) {
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QAbstractSpinBox *>(w) ||
           qobject_cast<const QComboBox *>(w) || qobject_cast<const QLineEdit *>(w) ||
           qobject_cast<const QLabel *>(w) || qobject_cast<const QAbstractSlider *>(w) ||
           qobject_cast<const QPlainTextEdit *>(w) || w->inherits("KGraph") || w->inherits("KLed");
}

// The width its text needs beside what the widget draws around it; 0 for a widget whose text
// wraps or that has none.
int textWidth(const QWidget *w) {
    const QFontMetrics fm = w->fontMetrics();
    if (auto *label = qobject_cast<const QLabel *>(w))
        return label->wordWrap() ? 0 : fm.size(0, label->text()).width() + 2 * label->margin();
    if (auto *button = qobject_cast<const QAbstractButton *>(w))
        return fm.size(Qt::TextShowMnemonic, button->text()).width();
    if (w->inherits("KLed")) return w->minimumSizeHint().width();
    return 0;
}

// An entry the operator types text into.
bool takesText(const QWidget *w) {
    if (auto *spin = qobject_cast<const QAbstractSpinBox *>(w)) return !spin->isReadOnly();
    if (auto *edit = qobject_cast<const QLineEdit *>(w)) return !edit->isReadOnly();
    auto *combo = qobject_cast<const QComboBox *>(w);
    return combo && combo->isEditable();
}

// A touch target: a control of `panel` with a callback, a button, an entry or a slider.
bool takesTouch(int panel, const QWidget *w) {
    for (const auto &[id, control] : FindPanel(panel)->controls)
        if (control.widget == w && control.callback) return true;
    return takesText(w) || qobject_cast<const QAbstractButton *>(w) ||
           qobject_cast<const QComboBox *>(w) || qobject_cast<const QAbstractSlider *>(w);
}

QRect onScreen(const QWidget *w, const QWidget *window) {
    return {w->mapTo(window, QPoint(0, 0)), w->size()};
}

void collect(QWidget *parent, int panel, const QWidget *window, QRect clip,
             std::vector<Item> &items) {
    for (QObject *object : parent->children()) {
        auto *w = qobject_cast<QWidget *>(object);
        if (!w || !w->isVisible() || w->property("resourceId").isValid()) continue;
        const QRect rect = onScreen(w, window);
        if (!drawnWhole(w)) {
            collect(w, panel, window, clip & rect, items);
            continue;
        }
        items.push_back(
            {w, rect, rect & clip, panel, takesTouch(panel, w), w->objectName().toStdString()});
    }
}

// Everything drawn on `window` and on those of its `panels` that show.
std::vector<Item> drawnItems(int window, const std::vector<int> &panels) {
    const QWidget *top = FindPanel(window)->widget;
    std::vector<Item> items;
    collect(FindPanel(window)->widget, window, top, top->rect(), items);
    for (int panel : panels) {
        QWidget *w = FindPanel(panel)->widget;
        if (w->isVisible()) collect(w, panel, top, onScreen(w, top) & top->rect(), items);
    }
    return items;
}

std::vector<int> touchPanels() {
    return {pTNum, pTMval, pTGraph, pTRec, pTVideo, pTPara0, pTPara1, pTPara2, pTConn};
}

// The connection panel floats over the view below it; everything else shares no pixel.
bool mayOverlap(const Item &a, const Item &b) {
    if (a.panel == b.panel) return false;
    const bool aConn = a.panel == pTConn, bConn = b.panel == pTConn;
    return (aConn && b.panel != pTSD) || (bConn && a.panel != pTSD);
}

std::string where(const Item &i) {
    const QRect &r = i.rect;
    return i.name +
           QString::asprintf(" (%d,%d %dx%d)", r.x(), r.y(), r.width(), r.height()).toStdString();
}

// The screen as the program sees it.
QRect screen() {
    int height = 0, width = 0;
    EXPECT_EQ(GetScreenSize(&height, &width), 0);
    return {0, 0, width, height};
}

// Checks what `window` and its `panels` draw: each item on the screen, not clipped and with its
// text whole; no panel of `covering` over an item of `window` itself; on the touch surface also
// each touch target and text big enough and no two items on the same pixels.
void checkDrawn(int window, const std::vector<int> &panels, const std::vector<int> &covering,
                bool touch) {
    ProcessSystemEvents();
    const QWidget *top = FindPanel(window)->widget;
    const QRect screen = ::screen();
    const int target =
        static_cast<int>(std::floor(kMinTarget * TouchScale(screen.height(), screen.width())));
    const std::vector<Item> items = drawnItems(window, panels);
    ASSERT_GT(items.size(), 30u);
    for (const Item &i : items) {
        EXPECT_TRUE(top->rect().contains(i.rect)) << where(i) << " lies outside the screen";
        EXPECT_EQ(i.visible, i.rect) << where(i) << " is clipped by its panel";
        EXPECT_LE(textWidth(i.widget), i.rect.width()) << where(i) << " cuts its text";
        if (!touch) continue;
        if (i.target) {
            EXPECT_GE(std::min(i.rect.width(), i.rect.height()), target) << where(i);
            // Its own touches, at its corners and centre, reach it and nothing else (unless the
            // connection panel floats over it).
            const QRect r = i.rect.adjusted(1, 1, -2, -2);
            const bool covered = shown(pTConn) && i.panel != pTConn && i.panel != pTSD;
            for (QPoint at : {r.topLeft(), r.bottomRight(), r.center()}) {
                if (covered) break;
                const QWidget *hit = top->childAt(at);
                EXPECT_TRUE(hit == i.widget || i.widget->isAncestorOf(hit)) << where(i);
            }
        }
        // A spin box's arrows, half its height each, are touch targets too.
        auto *spin = qobject_cast<const QAbstractSpinBox *>(i.widget);
        const bool arrows =
            spin && !spin->isReadOnly() && spin->buttonSymbols() != QAbstractSpinBox::NoButtons;
        EXPECT_TRUE(!arrows || i.rect.height() / 2 >= target) << where(i) << ": its arrows";
        EXPECT_GE(QFontInfo(i.widget->font()).pixelSize(), kMinText) << where(i);
    }
    for (size_t a = 0; touch && a < items.size(); ++a)
        for (size_t b = a + 1; b < items.size(); ++b)
            if (!mayOverlap(items[a], items[b])) {
                EXPECT_FALSE(items[a].rect.intersects(items[b].rect))
                    << where(items[a]) << " overlaps " << where(items[b]);
            }
    for (int panel : covering) {
        if (!shown(panel)) continue;
        const QRect area = onScreen(FindPanel(panel)->widget, top);
        EXPECT_TRUE(top->rect().contains(area)) << panel;
        for (const Item &i : items)
            if (i.panel == window) {
                EXPECT_FALSE(area.intersects(i.rect)) << where(i) << " lies under panel " << panel;
            }
    }
}

struct View {
    const char *name;
    int toggle;
};
const View kViews[] = {
    {"general", TSD_TOG_PARA0},   {"master", TSD_TOG_PARA1}, {"slave", TSD_TOG_PARA2},
    {"numeric", TSD_TOG_NUM},     {"graph", TSD_TOG_GRAPH},  {"recorder", TSD_TOG_RECORDER},
    {"connect", TSD_TOG_CONNECT},
};

// Opens a view by its toggle; the connection panel opens over the numeric view.
void open(const View &v) {
    if (v.toggle == TSD_TOG_CONNECT) touchToggle(pTSD, TSD_TOG_NUM);
    touchToggle(pTSD, v.toggle);
    ProcessSystemEvents();
}

// With KTAV_TOUCH_SHOTS naming a folder, writes the picture of the touch surface there.
void picture(const std::string &name) {
    if (qEnvironmentVariableIsEmpty("KTAV_TOUCH_SHOTS")) return;
    ProcessSystemEvents();
    const QString path =
        QString::asprintf("%s/%dx%d-%s.png", qPrintable(qEnvironmentVariable("KTAV_TOUCH_SHOTS")),
                          screen().width(), screen().height(), name.c_str());
    EXPECT_EQ(SavePanelImage(pTSD, qPrintable(path)), 0) << path.toStdString();
}

class TouchScreen : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qputenv("KTAV_COM1", "/nonexistent/ttyK1");
        options.dir = dir.path().toStdString();
    }
    void TearDown() override {
        CC_TSDPANEL(pTSD, 0, EVENT_CLOSE, nullptr, 0, 0);
        RunUserInterface();
        ShutdownProgram();
    }
    // Starts the program on the touch surface (or the desktop) with `settings`.
    void start(AppSettings settings, bool touch = true) {
        settings.touchSurface = touch;
        ASSERT_EQ(WriteAppSettings(qPrintable(dir.filePath("PX-MS-Vista.ini")), settings), 0);
        ASSERT_EQ(StartProgram(options), 1);
        ASSERT_EQ(tsd_flag, touch ? 1 : 0);
    }

    QTemporaryDir dir;
    ProgramOptions options;
};

TEST_F(TouchScreen, EveryViewFitsTheScreen) {
    start({});
    const auto checkView = [](const char *view) {
        SCOPED_TRACE(view);
        EXPECT_EQ(FindPanel(pTSD)->widget->size(), screen().size()) << "it fills the screen";
        checkDrawn(pTSD, touchPanels(), touchPanels(), true);
    };
    for (const View &v : kViews) {
        open(v);
        checkView(v.name);
        picture(std::string("idle-") + v.name);
    }
    // The video view as touch VIDEO opens it.
    for (int panel : {pTNum, pTRec, pTPara0, pTPara1, pTPara2, pTConn, pTGraph}) HidePanel(panel);
    DisplayPanel(pTVideo);
    DisplayPanel(pTMval);
    checkView("video");
}

// While the on-screen keyboard is up (over the lower part of the screen), a field that takes
// typed text lies on the screen above it once focused; with the keyboard gone it is back.
TEST_F(TouchScreen, AFieldBeingTypedIntoStaysAboveTheKeyboard) {
    start({});
    const auto keyboard = [](int on) {
        SetCtrlVal(pTSD, TSD_TOG_KEYBOARD, on);
        CC_TTOGG_Keyboard(pTSD, TSD_TOG_KEYBOARD, EVENT_VAL_CHANGED, nullptr, 0, 0);
    };
    qputenv("KTAV_KEYBOARD", "sleep 600");
    keyboard(1);
    qunsetenv("KTAV_KEYBOARD");
    ASSERT_NE(pKeyboard, 0);
    const int keyboardTop = screen().height() - KeyboardHeight(screen().height());
    QWidget *window = FindPanel(pTSD)->widget;
    window->activateWindow();
    Item last{};
    int lifted = 0;
    for (const View &v : kViews) {
        open(v);
        for (const Item &i : drawnItems(pTSD, touchPanels())) {
            if (i.panel == pTSD || !takesText(i.widget)) continue;
            i.widget->setEnabled(true);  // a field dimmed now is not in another mode
            i.widget->setFocus();
            ProcessSystemEvents();
            const QRect typing = onScreen(i.widget, window);
            EXPECT_LT(typing.bottom(), keyboardTop) << v.name << ": " << where(i);
            EXPECT_GE(typing.top(), 0) << v.name << ": " << where(i);
            lifted += typing != i.rect;
            last = i;
        }
    }
    EXPECT_GT(lifted, 0) << "the lowest fields lie where the keyboard comes";
    keyboard(0);
    EXPECT_EQ(onScreen(last.widget, window), last.rect) << where(last);
}

// The desktop on a screen smaller than its main panel shows the panel whole, scaled down: every
// control of the main panel, of its parameter panel and of the connection dialog lies on the
// screen with its text whole, and the parameter panel covers no control of the main panel.
TEST_F(TouchScreen, TheDesktopShowsEveryControlOnTheScreen) {
    start({}, false);
    DisplayPanel(pConn);
    ProcessSystemEvents();
    EXPECT_TRUE(screen().contains(FindPanel(pPA)->widget->geometry()));
    checkDrawn(pPA, {pPara0, pConn}, {pPara0}, false);
    // Stored as designed, for a larger screen next time.
    const std::string settings = dir.filePath("PX-MS-Vista.ini").toStdString();
    WriteIniFile(settings.c_str());
    AppSettings stored;
    ASSERT_EQ(ReadAppSettings(settings.c_str(), stored), 1);
    EXPECT_EQ(std::tuple(stored.panelMaximised, stored.panelHeight, stored.panelWidth),
              std::tuple(false, 534, 777));
}

// At start the surface says what each control can do: the numeric view dims the tolerances,
// which hardware mode 1 takes from the housing, with their steppers, and the set-point steppers
// while the distance is shown in their value's place; the recorder shows no value (no digit drawn),
// no lamp lit, EXIT at hand and the file START will write. A question on the touch surface is for a
// finger.
TEST_F(TouchScreen, AtStartEachControlSaysWhatItCanDo) {
    start({});
    for (int control : {TNUM_TOLPLUS, TNUM_TOLMINUS_DOWN, TNUM_SETP_UP, TNUM_SETP_DOWN})
        EXPECT_EQ(dimmed(pTNum, control), 1) << control;
    open(kViews[5]);
    QWidget *field = FindCtrl(pTRec, TREC_MEASVALUE)->widget;
    const QImage idle = field->grab(field->contentsRect().adjusted(4, 4, -4, -4)).toImage();
    QImage blank = idle;
    blank.fill(idle.pixel(0, 0));
    EXPECT_EQ(idle, blank) << "the idle value field shows no digit";
    EXPECT_EQ(std::tuple(value(pTRec, TREC_RECLED), value(pTSD, TSD_RECLED)), std::tuple(0, 0));
    EXPECT_EQ(dimmed(pTSD, TSD_EXIT), 0);
    expectPathShown(pTRec, TREC_FILENAME, rec_fname);
    const auto box = PopupBox(FindPanel(pTSD)->widget, true, "ATTENTION !",
                              "File already exist - overwrite ?\n/home/operator/RECORD.DAT");
    box->show();
    ProcessSystemEvents();
    const int target =
        static_cast<int>(std::floor(kMinTarget * TouchScale(screen().height(), screen().width())));
    for (const QAbstractButton *button : box->buttons())
        EXPECT_GE(std::min(button->width(), button->height()), target)
            << button->text().toStdString();
}

// During RUN each view opens on the first cycle and is pictured on the sixth; then VIDEO.
TEST_F(TouchScreen, PicturesOfTheViewsDuringRunAndVideo) {
    if (qEnvironmentVariableIsEmpty("KTAV_TOUCH_SHOTS")) GTEST_SKIP() << "no KTAV_TOUCH_SHOTS";
    SimProcess sim;
    ASSERT_TRUE(sim.start());
    start(sim.tcpSettings());
    SetFrameTap(tapWire);
    for (const View &v :
         {kViews[3], kViews[0], kViews[1], kViews[2], kViews[4], View{"video", 0}}) {
        wire.clear();
        wire.during = [v](bool request, int order, int n) {
            if (!request || order != (v.toggle ? ORD_RAW : ORD_VIDEO)) return;
            if (n == 1 && v.toggle) touchToggle(pTSD, v.toggle);
            if (n != 6) return;
            picture((v.toggle ? "run-" : "") + std::string(v.name));
            stop_flag = STOP_IDLE;
        };
        press(pTSD, v.toggle ? TSD_RUN : TSD_VIDEO);
    }
    SetFrameTap(nullptr);
}

}  // namespace
