// What the suites share: the frames on the wire and the texts shown, bounded waits, files, the
// simulator as a peer (sim_process.h) and, where panels are linked in, the program fixture, the
// operator's hand and a look at what a panel shows.
#pragma once
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/link/frame.h"
#include "core/link/status.h"
#include "core/state/flags.h"
#include "core/system/timing.h"
#include "data_home.h"
#include "sim_process.h"
#include "wire/wire.h"

// ---- The wire: every frame the link's tap saw, and a hook that plays the operator meanwhile.

using Bytes = std::vector<uint8_t>;

struct WireLog {
    std::vector<Bytes> requests, replies;  // whole frames, in their order
    int requestsOf[256] = {}, repliesOf[256] = {};
    // Called as a frame passes, with its order and how many of that order passed so far.
    std::function<void(bool request, int order, int n)> during;
    // Requests of one order after which a loop that was never stopped is stopped (0: never).
    int runawayLimit = 2000;

    void clear() { *this = WireLog(); }
    int sent(int order) const { return requestsOf[order & 0xFF]; }
    // The data of the last request of `order` (empty when none was sent).
    Bytes dataOf(int order) const {
        for (auto f = requests.rbegin(); f != requests.rend(); ++f)
            if ((*f)[1] == order) return Bytes(f->begin() + FRAME_HEADER_SIZE, f->end());
        return {};
    }
    std::vector<int> orders() const {
        std::vector<int> o;
        for (const Bytes &f : requests) o.push_back(f[1]);
        return o;
    }
    // The frames of the tool's --verbose log: "> " requests and "< " replies in hexadecimal.
    static WireLog ofVerbose(const QByteArray &log) {
        WireLog frames;
        for (const QByteArray &line : log.split('\n')) {
            const QByteArray frame = QByteArray::fromHex(line.mid(2));
            const bool request = line.startsWith("> ");
            if (frame.size() < FRAME_HEADER_SIZE || !(request || line.startsWith("< "))) continue;
            (request ? frames.requests : frames.replies).emplace_back(frame.begin(), frame.end());
            ++(request ? frames.requestsOf : frames.repliesOf)[uint8_t(frame[1])];
        }
        return frames;
    }
    // The measurement records the sensor sent, as they came off the wire.
    std::vector<RawRecord> records() const {
        std::vector<RawRecord> out;
        for (const Bytes &f : replies)
            if (f[1] == ORD_RAW && f.size() == FRAME_HEADER_SIZE + sizeof(RawRecord)) {
                RawRecord r;
                std::memcpy(&r, f.data() + FRAME_HEADER_SIZE, sizeof r);
                out.push_back(r);
            }
        return out;
    }
};
inline WireLog wire;

inline void tapWire(bool request, const uint8_t *bytes, int count) {
    if (count < FRAME_HEADER_SIZE) return;
    const int order = bytes[1];
    (request ? wire.requests : wire.replies).emplace_back(bytes, bytes + count);
    const int n = request ? ++wire.requestsOf[order] : ++wire.repliesOf[order];
    if (wire.during) wire.during(request, order, n);
    if (request && wire.runawayLimit && n > wire.runawayLimit) stop_flag = STOP_IDLE;
}

// ---- The texts the link layer showed, with the status fields they went to.

struct Shown {
    unsigned fields;
    std::string text;
};

struct StatusLog {
    std::vector<Shown> shown;
    std::function<void(unsigned fields, const std::string &text)> onText;

    void clear() { *this = StatusLog(); }
    // The texts that went to any of `fields`, in their order.
    std::vector<std::string> texts(unsigned fields = ST_PA) const {
        std::vector<std::string> out;
        for (const Shown &s : shown)
            if (s.fields & fields) out.push_back(s.text);
        return out;
    }
    // Whether a text holding `part` went to any of `fields`.
    bool has(const std::string &part, unsigned fields = ST_ALL) const {
        for (const Shown &s : shown)
            if ((s.fields & fields) && s.text.find(part) != std::string::npos) return true;
        return false;
    }
};
inline StatusLog status;

inline void recordStatus(unsigned fields, const char *text) {
    status.shown.push_back({fields, text});
    if (status.onText) status.onText(fields, text);
}

// ---- Waiting with a bound, and files.

// Lets events through until `condition` holds: false when `seconds` pass first.
inline bool waitFor(const std::function<bool()> &condition, double seconds = 10) {
    const double deadline = Timer() + seconds;
    while (!condition()) {
        if (Timer() > deadline) return false;
        WaitForSystemEvents(0.02);
    }
    return true;
}

inline QByteArray fileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lines of a file without their ends ("\n"; a "\r" before it stays).
inline QList<QByteArray> fileLines(const QString &path) {
    QList<QByteArray> lines = fileBytes(path).split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
    return lines;
}

inline QString writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    EXPECT_EQ(file.write(bytes), bytes.size()) << path.toStdString();
    return path;
}

// While it lives, the files this process writes may grow to `bytes`: a write beyond fails (EFBIG)
// as on a full disk, instead of ending the process with SIGXFSZ.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) : sizeSignal(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &before);
        const rlimit limit{bytes, before.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, sizeSignal);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

  private:
    rlimit before{};
    void (*sizeSignal)(int);
};

#ifndef KTAV_TEST_WITHOUT_PANELS
#include <QLineEdit>
#include <QTest>

#include "core/calib/calibfile.h"
#include "core/calib/identifypair.h"
#include "core/link/identity.h"
#include "core/measure/recorder.h"
#include "core/params/paramblock.h"
#include "gui/app/bindings.h"
#include "gui/panels/handles.h"
#include "gui/params/settingsview.h"
#include "gui/runtime/runtime.h"
#include "gui/runtime/userint.h"
#include "gui/touch/touchrecorder.h"

// ---- The program under test: every panel loaded once per suite with the program's callbacks
// bound, and the shared state, parameter block, calibration and hardware record back at their
// start values before each test.

class ProgramTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(LoadAllPanels(), 1);
        BindAllCallbacks();
    }
    static void TearDownTestSuite() { DiscardAllPanels(); }

    static void ResetProgramState() {
        ResetSharedState();
        ResetParaBlock();
        ResetCalibration();
        ResetHwInfo();
        ForgetDevice();  // no pair identified yet: the sensor controls dimmed
        DimmSensorControlsWithoutPair();
        tmr_flag = timeout_flag = file_flag = 0;  // the recorders' working flags
    }
};

// ---- What a panel shows: a control's value, text or attribute, with a recognisable value
// (-1, empty) when the control cannot be read.

inline int value(int panel, int control) {
    int v = -1;
    GetCtrlVal(panel, control, &v);
    return v;
}

inline double real(int panel, int control) {
    double v = -1;
    GetCtrlVal(panel, control, &v);
    return v;
}

inline std::string text(int panel, int control) {
    char buffer[8192] = "";
    GetCtrlVal(panel, control, buffer, sizeof buffer);
    return buffer;
}

inline int attribute(int panel, int control, int which) {
    int v = -1;
    GetCtrlAttribute(panel, control, which, &v);
    return v;
}

inline int dimmed(int panel, int control) {
    return attribute(panel, control, ATTR_DIMMED);
}

inline int shown(int panel) {
    int v = -1;
    GetPanelAttribute(panel, ATTR_VISIBLE, &v);
    return v;
}

// A field that shows a path: the file name whole within the field, the folders shortened where
// they do not fit; its value the whole path.
inline void expectPathShown(int panel, int control, const std::string &path) {
    const auto *field = qobject_cast<const QLineEdit *>(FindCtrl(panel, control)->widget);
    const QString shown = field->text(), name = QString::fromStdString(path).section('/', -1);
    EXPECT_EQ(text(panel, control), path);
    EXPECT_TRUE(shown.endsWith('/' + name)) << shown.toStdString();
    EXPECT_LE(field->fontMetrics().horizontalAdvance(shown), field->contentsRect().width())
        << shown.toStdString();
}

// ---- The operator's hand.

// One event through the control's bound callback, as the run-time delivers it.
inline void deliver(int panel, int control, int event) {
    FindCtrl(panel, control)->callback(panel, control, event, nullptr, 0, 0);
}

// A press of a button through its bound callback: left click, then commit.
inline void press(int panel, int control) {
    deliver(panel, control, EVENT_LEFT_CLICK);
    deliver(panel, control, EVENT_COMMIT);
}

// The operator's entry of `value` into a control, then `event` to its bound callback.
inline void enter(int panel, int control, int value, int event) {
    SetCtrlVal(panel, control, value);
    deliver(panel, control, event);
}

// A real mouse click on the control's widget: a dimmed control takes none.
inline void click(int panel, int control, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(FindCtrl(panel, control)->widget, button);
}

// A touch of a toggle: the touch switches it, then left click and commit arrive.
inline void touchToggle(int panel, int toggle) {
    SetCtrlVal(panel, toggle, !value(panel, toggle));
    press(panel, toggle);
}
#endif
