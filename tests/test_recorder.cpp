// The data recorder's panels end to end: the file's header per variant, the desktop pop-up's
// recording loop, the touch recorder's timer ticks, and how each ends, with the simulator as the
// sensor pair. The recording loop over each line is the core's suite.
#include <unistd.h>

#include <QRegularExpression>
#include <QTimer>
#include <tuple>

#include "core/link/commands.h"
#include "core/link/transport.h"
#include "core/measure/recfile.h"
#include "core/params/transfer.h"
#include "core/state/programdir.h"
#include "gui/measure/recpopup.h"
#include "gui/runtime/kgraph.h"
#include "gui/runtime/popupscript.h"
#include "gui/touch/touchrecorder.h"
#include "ktav_panels.h"
#include "recfile_bytes.h"
#include "support.h"

namespace {

constexpr int kRed = 0xFF0000, kGreen = 0xA0DC42;

std::string boxLine(int line) {
    const QStringList lines = QString::fromStdString(text(pTRec, TREC_MSGBOX)).split('\n');
    return line < lines.size() ? lines[line].toStdString() : std::string();
}

// Calls `act` once the main status shows that sample `n` is written.
void atSample(unsigned n, std::function<void()> act) {
    const std::string at = "Data-Recorder active!   Sample: " + std::to_string(n);
    status.onText = [at, act](unsigned, const std::string &t) {
        if (t == at) act();
    };
}

class Recorder : public ProgramTest {
  protected:
    void SetUp() override {
        ResetProgramState();
        // MASTER and SLAVE apart, so that a swap shows.
        std::tie(calib[0].offset, calib[0].range, calib[1].offset, calib[1].range) =
            std::tuple(50000, 10000, 48000, 12000);
        para.ge.measurementMode = 1;
        para.ge.umSetpoint = 10000;
        SetLinkView({recordStatus});
        SetFrameTap(tapWire);
        wire.clear();
        status.clear();
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("RECORD.DAT");
        kept = dir.filePath("kept.dat");
        setFile(path);
        std::snprintf(proj_dir, sizeof proj_dir, "%s", qPrintable(dir.path()));
        SetCtrlVal(pRec, REC_RS232MODE, 0);
        SetCtrlVal(pTRec, TREC_RS232MODE, 0);
        SetCtrlVal(pTRec, TREC_OUTFILE, 1);
    }
    void TearDown() override {
        SetFrameTap(nullptr);
        SetCtrlAttribute(pTRec, TREC_TIMER, ATTR_ENABLED, 0);
        ClearPopupAnswers();
        CloseTCP();
        sim.stop();
    }
    // Connects to the simulator and identifies the pair, the fixture's calibration and
    // parameters kept; with a `mode`, puts the sensor into that RS-232 output mode as a SEND of
    // the general set does.
    void connect(int mode = -1, const QStringList &options = {}) {
        ASSERT_TRUE(sim.start(options));
        ASSERT_TRUE(sim.openTcp());
        const auto fixture = std::tuple(calib[0], calib[1], para);
        ASSERT_EQ(IdentifyPair(nullptr).verdict, Identified::Accepted);
        std::tie(calib[0], calib[1], para) = fixture;
        wire.clear();
        status.clear();
        if (mode < 0) return;
        para.ge.rs232OutMode = static_cast<uint16_t>(mode);
        PushSEND(RAM, 0);
        ASSERT_EQ(std::string(szStatus).rfind("Timeout", 0), std::string::npos) << szStatus;
        SetCtrlVal(pRec, REC_RS232MODE, mode);
        SetCtrlVal(pTRec, TREC_RS232MODE, mode);
    }
    static void setFile(const QString &f) { qstrncpy(rec_fname, qPrintable(f), sizeof rec_fname); }
    // Moves the file written so far to `kept` and points its name at a full disk.
    void fillDisk() {
        ASSERT_EQ(::link(qPrintable(path), qPrintable(kept)), 0);
        QFile::remove(path);
        QFile::link("/dev/full", path);
    }
    static void startTouch() {
        tsd_flag = 1;
        press(pTRec, TREC_START);
        tsd_flag = 0;
    }
    void startDesktop(double increment, int samples) {
        SetCtrlVal(pRec, REC_INCTIME, increment);
        SetCtrlVal(pRec, REC_SAMPLES, samples);
        press(pRec, REC_START);
    }
    // The header RecFixtureHeader writes for the fixture's calibration, with a count of 10.
    static QByteArray header(bool withCount, const char *increment, int setpoint = 10000) {
        RecFixture f;
        std::tie(f.withSampleCount, f.increment, f.sampleCount, f.setpoint) =
            std::tuple(withCount, increment, 10, setpoint);
        return RecFixtureHeader(f);
    }
    // Checks the header's date and time lines and returns the file without them.
    QByteArray withoutStamp(const QByteArray &bytes) {
        static const QRegularExpression stamp(
            "^Date:\t\\d\\d-\\d\\d-\\d{4}\r\nTime:\t\\d\\d:\\d\\d:\\d\\d\r\n");
        const QRegularExpressionMatch m = stamp.match(QString::fromLatin1(bytes));
        EXPECT_TRUE(m.hasMatch()) << bytes.left(40).toStdString();
        return bytes.mid(m.capturedLength());
    }

    SimProcess sim;
    QTemporaryDir dir;
    QString path, kept;
};

TEST_F(Recorder, HeaderBytesOfEachVariant) {
    const struct {
        const char *what;
        int touch;
        double increment;  // the desktop pop-up's field, or incTIME on the touch surface
        int mode, measurementMode;
        QByteArray expected;
    } cases[] = {
        {"desktop polled", 0, 0.5, 0, 1, header(true, "0.5")},
        {"desktop polled, a tenth restores", 0, 0.1, 0, 1, header(true, "0.1")},
        {"desktop trigger", 0, 0.5, 1, 1, header(false, "0")},
        {"touch polled", 1, 1.7, 0, 1, header(false, "1.7")},
        {"touch trigger", 1, 2.0, 1, 1, header(false, "0")},
        {"distance mode: no set-point", 0, 0.5, 1, 0, header(false, "0", 0)},
    };
    for (const auto &c : cases) {
        QFile::remove(path);
        tsd_flag = c.touch;
        para.ge.measurementMode = static_cast<uint16_t>(c.measurementMode);
        ASSERT_EQ(writeFileHeader(c.mode, c.increment, 10), 1) << c.what;
        EXPECT_EQ(withoutStamp(fileBytes(path)), withoutStamp(c.expected)) << c.what;
    }
}

// The file is created only where none exists, in one step with its header; a sample line goes
// only behind an existing file's end, its time and the eight columns in order, extremes whole.
// Each step failing in turn says why and leaves the disk as it was: no file, or the file as it
// ended before. A file size limit stands for the full disk.
TEST_F(Recorder, TheFileIsCreatedOnlyWhereNoneExistsAndSampleLinesGoBehindItsEnd) {
    RawRecord r{};
    std::tie(r.umA, r.umB, r.umValue) = std::tuple(-12, 2147483647, -2147483647 - 1);
    std::tie(r.edgeA, r.edgeB, r.posA, r.posB, r.posCombined) =
        std::tuple(1, 65535, 300, 700, 4096);
    const QByteArray before = "another recording\r\n";
    const QString missing = dir.filePath("missing.dat"), full = dir.filePath("full.dat");
    QFile::link("/dev/full", full);
    const struct {
        bool create;
        QString at;
        rlim_t limit;  // of the file size; 0: none
        int result;
        const char *error;
    } cases[] = {
        {true, path, 0, -1, "File exists"},
        {true, dir.filePath("no/r.dat"), 0, -1, "No such file or directory"},
        {true, missing, 100, -1, "File too large"},  // inside the header
        {false, missing, 0, -1, "No such file or directory"},
        {false, path, rlim_t(before.size()) + 10, -1, "File too large"},  // inside the line
        {false, full, 0, -1, "No space left on device"},
        {true, missing, 0, 1, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.at.toStdString() + (c.create ? " created" : " appended"));
        writeFile(path, before);
        const QByteArray at = QFile::encodeName(c.at);
        {
            const FileSizeLimit limit(c.limit ? c.limit : RLIM_INFINITY);
            EXPECT_EQ(c.create ? CreateRecFile(at, CurrentRecHeader(0.5, 10, true))
                               : AppendSampleLine(at, r),
                      c.result);
        }
        EXPECT_STREQ(c.result == -1 ? RecFileError() : "", c.error);
        EXPECT_EQ(QFile::exists(missing), c.result == 1);
        EXPECT_EQ(fileBytes(path), before);
    }
    static const QRegularExpression line(
        "^another recording\r\n\\d\\d:\\d\\d:\\d\\d\t-12\t2147483647\t-2147483648\t1\t65535\t"
        "300\t700\t4096\r\n$");
    ASSERT_EQ(AppendSampleLine(qPrintable(path), r), 1);
    EXPECT_TRUE(line.match(QString::fromLatin1(fileBytes(path))).hasMatch())
        << fileBytes(path).toStdString();
}

// Both recorders write one file: whichever panel chose it, both show it, and every overwrite
// question names it. Declined, nothing is recorded and nothing on the panels changes; yes empties
// the file.
TEST_F(Recorder, BothPanelsShowTheOneFileAndEveryOverwriteQuestionNamesIt) {
    const std::string chosen = dir.filePath("touch.dat").toStdString();
    QueuePopupAnswer(1, chosen);  // the touch file button's dialog: a new file
    press(pTRec, TREC_FILEBTN);
    writeFile(QString::fromStdString(chosen), "a touch recording\r\n");
    const std::string start = "ATTENTION !: File already exist - overwrite ?\n";
    const std::tuple<std::function<void()>, bool, std::string> asked[] = {
        {[this] { startDesktop(0.0, 3); }, false, start},
        {startTouch, false, start},
        {[] { press(pRec, REC_FILEBTN); }, true,
         "ATTENTION!: Output-File already exist! - Overwrite ?\n"},
    };
    for (const auto &[act, dialog, question] : asked) {
        SetCtrlVal(pRec, REC_MSG, "before");
        if (dialog) QueuePopupAnswer(1, chosen);
        QueuePopupAnswer(0);  // overwrite? no
        act();
        EXPECT_EQ(LastPopupText(), question + chosen);
        EXPECT_EQ(fileBytes(QString::fromStdString(chosen)), "a touch recording\r\n");
        EXPECT_EQ(std::tuple(text(pRec, REC_MSG), dimmed(pPA, PANEL_RUN)), std::tuple("before", 1));
        EXPECT_EQ(std::tuple(text(pRec, REC_FILENAME), text(pTRec, TREC_FILENAME)),
                  std::tuple(chosen, chosen));
    }
    QueuePopupAnswer(1, chosen);
    QueuePopupAnswer(1);
    press(pRec, REC_FILEBTN);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(chosen)));
}

TEST_F(Recorder, StartClearsTheLastRecordingsDisplaysAndNamesWhyTheFileCannotBeWritten) {
    setFile(dir.filePath("no/r.dat"));
    SetCtrlVal(pRec, REC_COUNTER, 7);
    SetCtrlVal(pRec, REC_TIME, "01:02:03");
    SetCtrlVal(pRec, REC_SECONDS, 42);
    startDesktop(0.5, 10);
    EXPECT_EQ(value(pRec, REC_COUNTER), 0);
    EXPECT_NE(text(pRec, REC_TIME), "01:02:03");
    EXPECT_EQ(value(pRec, REC_SECONDS), 0);
    EXPECT_EQ(text(pRec, REC_MSG),
              "CANNOT WRITE " + std::string(rec_fname) + ": No such file or directory");
    EXPECT_EQ(dimmed(pRec, REC_START), 1) << "no pair identified: START stays dimmed";
}

// A count of 0 takes none. The header gives the mode the sensor was last given, not a drop-down
// changed since, which START tells the operator.
TEST_F(Recorder, PolledRecordingCompletesAtItsCountWithTheSensorsModeInTheHeader) {
    connect(0);
    SetCtrlAttribute(pPA, PANEL_SEND, ATTR_DIMMED, 1);  // dimmed before: stays dimmed after
    SetCtrlVal(pRec, REC_RS232MODE, 1);
    for (int samples : {0, 10}) {
        status.clear();
        wire.clear();
        QFile::remove(path);
        QueuePopupAnswer(0);
        startDesktop(0.5, samples);
        EXPECT_NE(LastPopupText().find("mode ON REQUEST, the drop-down shows EXT. TRIGGER"),
                  std::string::npos);
        EXPECT_TRUE(fileBytes(path).contains("Time-Increment[s]:\t0.5\r\nNumber of Samples:\t" +
                                             QByteArray::number(samples) + "\r\n"));
        EXPECT_EQ(fileLines(path).size(), 10 + samples);
        EXPECT_EQ(wire.records().size(), size_t(samples));
        EXPECT_EQ(text(pRec, REC_MSG), "DATA-RECORDER COMPLETED!");
        EXPECT_EQ(attribute(pRec, REC_MSG, ATTR_TEXT_COLOR), 0x0066FF);
        ASSERT_FALSE(status.texts().empty());
        EXPECT_EQ(status.texts().back(), "Data-Recorder completed successfully!");
        EXPECT_EQ(value(pRec, REC_COUNTER), samples);
        EXPECT_EQ(stop_flag, STOP_IDLE);
    }
    for (int control : {PANEL_RUN, PANEL_VIDEO, PANEL_TEACH, PANEL_SEND})
        EXPECT_EQ(dimmed(pPA, control), control == PANEL_SEND) << control;
    EXPECT_EQ(dimmed(pRec, REC_START), 0);
    EXPECT_EQ(real(pPA, PANEL_MEASVALUE), raw.umValue / 1000.0) << "the displays follow";
}

// A polled recording ended at sample N by STOP, a disk that fills up (the file name points at
// /dev/full from then on) or a dead link ends at once, says why, and the lines before stay.
TEST_F(Recorder, StopAFullDiskOrALinkTimeoutEndsThePolledRecordingAndKeepsTheLines) {
    const struct {
        unsigned sample;  // after which the end comes
        std::function<void()> end;
        std::string message, mainText;
        const char *textBefore = nullptr;  // the main status text before the last one
    } cases[] = {
        {4, [] { press(pRec, REC_STOP); }, "DATA-RECORDER STOPPED!", "Data-Recorder stopped!"},
        {2, [this] { fillDisk(); },
         "CANNOT WRITE " + path.toStdString() + ": No space left on device",
         "Data-Recorder stopped - No space left on device!"},
        {3, [this] { sim.stop(); }, "DATA-REC. ERROR - SERVER HAS CLOSED CONNECTION!",
         "Data-Recorder error - rs232 timeout!", "Timeout TCP-Server-error!"},
    };
    connect();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        QFile::remove(path);
        QFile::remove(kept);
        status.clear();
        atSample(c.sample, c.end);
        startDesktop(0.0, 100);
        EXPECT_EQ(fileLines(QFile::exists(kept) ? kept : path).size(), 10 + c.sample);
        EXPECT_EQ(text(pRec, REC_MSG), c.message);
        EXPECT_EQ(attribute(pRec, REC_MSG, ATTR_TEXT_COLOR), kRed);
        const std::vector<std::string> texts = status.texts();
        ASSERT_GE(texts.size(), 2u);
        EXPECT_EQ(texts.back(), c.mainText);
        if (c.textBefore) {
            EXPECT_EQ(texts[texts.size() - 2], c.textBefore);
        }
        EXPECT_EQ(value(pRec, REC_COUNTER), int(c.sample));
        EXPECT_EQ(stop_flag, STOP_IDLE);
        EXPECT_EQ(dimmed(pRec, REC_START), 0);
        EXPECT_EQ(dimmed(pPA, PANEL_POS_MASTER), c.textBefore ? 1 : 0) << "not current";
    }
}

// A recording serves no request: SEND, TEACH and RESET pressed meanwhile are refused, saying
// why, and never reach the sensor, then or at a later RUN; GET, whose press stops the recording,
// reads the sets once it has ended.
TEST_F(Recorder, ARecordingRefusesRequestsAndAGetReadsAfterIt) {
    connect(0);
    const std::tuple<const int &, int, const char *, unsigned> presses[] = {
        {pPA, PANEL_SEND, "Recorder running: STOP it first, then SEND!", 4},
        {pTSD, TSD_TEACH, "Recorder running: STOP it first, then TEACH!", 4},
        {pPA, PANEL_RESET, "Recorder running: STOP it first, then RESET!", 4},
        {pPA, PANEL_GET, nullptr, 2},
    };
    for (const auto &[panel, button, refusal, samples] : presses) {
        SCOPED_TRACE(button);
        QFile::remove(path);
        wire.clear();
        status.clear();
        atSample(2, [&panel, &button] { press(panel, button); });
        startDesktop(0.0, 4);
        status.onText = nullptr;
        EXPECT_EQ(fileLines(path).size(), 10 + samples);
        EXPECT_TRUE(!refusal || status.has(refusal)) << refusal;
        ASSERT_TRUE(waitFor([] { return wire.sent(ORD_GET_RAM) == 3; }, 1) == !refusal);
        const std::vector<int> orders = wire.orders();
        EXPECT_EQ(std::count(orders.begin(), orders.end(), ORD_RAW), samples);
        EXPECT_EQ(int(orders.size()), int(samples) + (refusal ? 0 : 3));
    }
    wire.clear();
    wire.during = [](bool request, int order, int n) {
        if (request && order == ORD_RAW && n == 2) stop_flag = STOP_IDLE;
    };
    press(pPA, PANEL_RUN);
    EXPECT_EQ(wire.orders(), (std::vector<int>{ORD_RAW, ORD_RAW})) << "nothing left for RUN";
}

// Each recorder refuses START, saying why, while the other records; that one keeps its file.
TEST_F(Recorder, OneRecorderAtATime) {
    connect(0);
    SetCtrlVal(pTRec, TREC_INCTIME, 1.0);
    startTouch();
    QueuePopupAnswer(0);
    startDesktop(0.0, 5);
    EXPECT_EQ(LastPopupText(), "Info: The touch recorder is recording: STOP it first, then START.");
    EXPECT_EQ(fileLines(path).size(), 9) << "the touch recorder's file as it was";
    press(pTRec, TREC_STOP);
    QFile::remove(path);
    QueuePopupAnswer(0);  // what a touch START would ask about the file
    atSample(2, startTouch);
    startDesktop(0.0, 4);
    EXPECT_EQ(text(pTSD, TSD_STATUS), "Desktop recorder is recording: STOP it first!");
    EXPECT_EQ(value(pTRec, TREC_START), 0);
    EXPECT_EQ(attribute(pTSD, TSD_RECLED, ATTR_VISIBLE), 0) << "no recorder lamp lit";
    EXPECT_EQ(attribute(pTRec, TREC_TIMER, ATTR_ENABLED), 0);
    EXPECT_EQ(fileLines(path).size(), 10 + 4) << "the desktop recorder's file alone";
    EXPECT_EQ(text(pRec, REC_MSG), "DATA-RECORDER COMPLETED!");
}

// CONNECT ends the recording as STOP does: it is not refused as an exchange nested in it.
TEST_F(Recorder, ConnectDuringARecordingEndsItFirstAndThenConnects) {
    connect(0);
    SetCtrlVal(pConn, CONNECT_COMTYPE, 1);
    SetCtrlVal(pConn, CONNECT_IPADDRESS, "127.0.0.1");
    SetCtrlVal(pConn, CONNECT_PORTNUM, std::to_string(sim.tcpPort()).c_str());
    hwok_flag = 0;
    atSample(5, [] { QTimer::singleShot(0, [] { press(pConn, CONNECT_TRYCONNECT); }); });
    startDesktop(0.0, 32000);
    EXPECT_EQ(text(pRec, REC_MSG), "DATA-RECORDER STOPPED!");
    EXPECT_LT(fileLines(path).size(), 100) << "ended by CONNECT";
    EXPECT_TRUE(waitFor([] { return hwok_flag == 1; })) << "identified after the recording";
    EXPECT_EQ(tcp_con, 1);
    EXPECT_EQ(std::string(szStatus), std::string(szVersion));
}

class TouchRecorder : public Recorder {
  protected:
    void SetUp() override {
        Recorder::SetUp();
        tsd_flag = 1;
        SetCtrlVal(pTRec, TREC_INCTIME, 1.0);
        SetCtrlVal(pTRec, TREC_INCFINE, 0.0);
    }
    static void tick() { CC_TIMER1interrupt(pTRec, TREC_TIMER, EVENT_TIMER_TICK, nullptr, 0, 0); }
    static int timerOn() { return attribute(pTRec, TREC_TIMER, ATTR_ENABLED); }
    static int lamp(int panel, int control) { return attribute(panel, control, ATTR_ON_COLOR); }
};

// An increment below a second ticks every second.
TEST_F(TouchRecorder, WithoutFileOutputNoFileAndTheOldestStampAfter100Samples) {
    connect();
    SetCtrlVal(pTRec, TREC_OUTFILE, 0);
    CC_RBToutfile(pTRec, TREC_OUTFILE, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(text(pTRec, TREC_FILENAME), "No output file selected");
    EXPECT_EQ(dimmed(pTRec, TREC_FILEBTN), 1);
    SetCtrlVal(pTRec, TREC_INCTIME, 0.4);
    SetCtrlVal(pTRec, TREC_INCFINE, 0.3);
    press(pTRec, TREC_START);
    EXPECT_DOUBLE_EQ(incTIME, 1.0);
    double interval = 0;
    GetCtrlAttribute(pTRec, TREC_TIMER, ATTR_INTERVAL, &interval);
    EXPECT_DOUBLE_EQ(interval, 1.0);
    EXPECT_EQ(boxLine(0), "RECORDER ACTIVE");
    for (int i = 0; i < 99; ++i) tick();
    EXPECT_EQ(boxLine(2), "SAMPLES: 99");
    EXPECT_EQ(text(pTRec, TREC_TIME_OLD), "");
    EXPECT_EQ(text(pTRec, TREC_TIME_NEW).size(), 8u);
    tick();
    EXPECT_EQ(text(pTRec, TREC_TIME_OLD).size(), 8u);
    EXPECT_EQ(OldestRecStamp(), text(pTRec, TREC_TIME_OLD));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(real(pTRec, TREC_MEASVALUE), raw.umValue / 1000.0);
    EXPECT_DOUBLE_EQ(arrayREC[std::size(arrayREC) - 3], raw.umValue / 1000.0);
    // The analog-output modes show the value their output carries (a sample where the two
    // outputs differ: a new maximum makes them equal).
    int samples = 100;
    for (const auto &[mode, field] :
         {std::pair(1, &RawRecord::umAnalog1), {3, &RawRecord::umAnalog23}}) {
        para.ge.analogOutMode = uint16_t(mode);
        for (int tries = 0; tries == 0 || (tries < 20 && raw.umAnalog1 == raw.umAnalog23);
             ++tries, ++samples)
            tick();
        ASSERT_NE(raw.umAnalog1, raw.umAnalog23);
        EXPECT_EQ(real(pTRec, TREC_MEASVALUE), raw.*field / 1000.0) << mode;
    }
    press(pTRec, TREC_STOP);
    EXPECT_EQ(timerOn(), 0);
    EXPECT_EQ(boxLine(0), "RECORDER STOPPED");
    EXPECT_EQ(boxLine(2), "SAMPLES: " + std::to_string(samples));
}

// RUN on another touch view, or a failed RUN, leaves no gap: a tick during the loop takes the
// loop's next record, one after it exchanges itself; each writes a line behind the header.
TEST_F(TouchRecorder, TicksDuringRunTakeTheLoopsRecords) {
    connect();
    SetCtrlVal(pTRec, TREC_INCTIME, 2.0);
    press(pTRec, TREC_START);
    tick();
    wire.during = [](bool request, int order, int n) {
        if (!request || order != ORD_RAW) return;
        if (n == 3 || n == 5) tick();
        if (n == 6) stop_flag = STOP_IDLE;
    };
    press(pTSD, TSD_RUN);
    wire.during = nullptr;
    stop_flag = STOP_TIMEOUT;  // as a RUN that timed out leaves it
    tick();
    EXPECT_TRUE(withoutStamp(fileBytes(path)).startsWith(withoutStamp(header(false, "2"))));
    const QList<QByteArray> lines = fileLines(path);
    const std::vector<RawRecord> records = wire.records();
    ASSERT_EQ(lines.size(), 9 + 4);
    ASSERT_EQ(records.size(), 7u);
    const int sampled[] = {0, 2, 4, 6};  // its own, RUN's second and fourth cycle, its own
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(columnsOfLine(lines[9 + i]), columns(records[sampled[i]])) << i;
    EXPECT_EQ(boxLine(2), "SAMPLES: 4");
    EXPECT_EQ(lamp(pTSD, TSD_RECLED), kGreen);
}

// Sampling stopped by a file that cannot be written, the sample limit, a parameter transfer or a
// lost link says so at once: red lamps, box, status line, START released; earlier lines stay.
TEST_F(TouchRecorder, SamplingThatStopsSaysSoAtOnce) {
    connect();
    setFile(dir.filePath("no/dir.dat"));
    press(pTRec, TREC_START);
    EXPECT_EQ(timerOn(), 0);
    EXPECT_EQ(text(pTSD, TSD_STATUS), "Recorder stopped - cannot write " + std::string(rec_fname) +
                                          ": No such file or directory");
    EXPECT_EQ(value(pTRec, TREC_START), 0);
    setFile(path);
    const struct {
        const char *line1;
        std::function<void()> cause;  // after the first sample, before a tick
        const char *samples;
        std::string status;
    } cases[] = {
        {"CANNOT WRITE FILE!", [this] { fillDisk(); }, "SAMPLES: 1",
         "Recorder stopped - cannot write " + path.toStdString() + ": No space left on device"},
        {"MAX NUMBER OF DATA!",
         [] {
             recidx = TOUCH_MAX_SAMPLES - 1;
             tick();
             EXPECT_EQ(boxLine(2), "SAMPLES: 30000");
             EXPECT_EQ(timerOn(), 1);
         },
         "SAMPLES: 30000", "Recorder stopped!"},
        {"STOPPED BY GET", [] { press(pTSD, TSD_GET); }, "SAMPLES: 1", "Recorder stopped!"},
        {"STOPPED BY SEND", [] { press(pTSD, TSD_SEND); }, "SAMPLES: 1", "Recorder stopped!"},
        {"TIMEOUT RS232", [&] { sim.stop(); }, "SAMPLES: 1", "Recorder stopped!"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line1);
        QFile::remove(path);
        press(pTRec, TREC_START);
        tick();
        c.cause();
        tick();  // a stopped recorder takes no sample
        EXPECT_EQ(boxLine(0), "RECORDER STOPPED");
        EXPECT_EQ(boxLine(1), c.line1);
        EXPECT_EQ(boxLine(2), c.samples);
        EXPECT_EQ(lamp(pTRec, TREC_RECLED), kRed);
        EXPECT_EQ(lamp(pTSD, TSD_RECLED), kRed);
        EXPECT_EQ(text(pTSD, TSD_STATUS), c.status);
        EXPECT_STREQ(TouchRecorderState(), "Recorder not active!");
        EXPECT_EQ(timerOn(), 0);
        EXPECT_EQ(value(pTRec, TREC_START), 0);
        EXPECT_EQ(dimmed(pTRec, TREC_INC_UP), 0);
    }
    EXPECT_EQ(fileLines(kept).size(), 9 + 1);
    ASSERT_FALSE(status.texts().empty());
    EXPECT_EQ(status.texts().back(), "Timeout TCP-Server-error!");
}

// Which damaged records are dropped is the core's rule, tested there.
TEST_F(TouchRecorder, TriggerModeRecordsUntilStopAndReportsTheDroppedRecords) {
    connect(1, {"--trigger-hz", "40", "--trigger-junk", "--corrupt-trigger-every", "2"});
    para.ge.analogOutMode = 2;  // its value is not in a trigger record
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [] {
        if (recidx >= 3) press(pTRec, TREC_STOP);
    });
    poll.start(20);
    press(pTRec, TREC_START);
    poll.stop();
    EXPECT_GE(recidx, 3);
    EXPECT_EQ(fileLines(path).size(), 9 + recidx);
    EXPECT_TRUE(fileBytes(path).contains("Time-Increment[s]:\t0\r\nSetpoint"));
    EXPECT_TRUE(
        QString::fromStdString(text(pTSD, TSD_STATUS))
            .contains(QRegularExpression("^Recorder stopped! \\d+ damaged records? dropped$")))
        << text(pTSD, TSD_STATUS);
    EXPECT_EQ(value(pTRec, TREC_START), 0);
    EXPECT_EQ(recstop_flag, 1);
    EXPECT_EQ(dimmed(pTRec, TREC_MEASVALUE), 1) << "not current";
}

// The recorder says where it stands. While the overwrite question (naming the file) is open:
// not active. Recording: active, the count of samples shown, the chart's axis holding every
// value and the band (a set-point of 10 mm far from the values) and nothing drawn before its first
// sample, EXIT dimmed; idle, EXIT at hand.
TEST_F(TouchRecorder, AskingAndRecordingEachLookAsTheyAre) {
    connect();
    touchToggle(pTSD, TSD_TOG_RECORDER);
    EXPECT_EQ(dimmed(pTSD, TSD_EXIT), 0);
    writeFile(path, "an earlier recording\r\n");
    ReplaceTextBoxLine(pTRec, TREC_MSGBOX, 0, "RECORDER STOPPED");
    static std::string asked;
    SetUnattendedPopups([](const char *title, const char *question) {
        asked = std::string(title) + ": " + question + " | " + boxLine(0) + " " +
                TouchRecorderState() +
                (value(pTRec, TREC_RECLED) && lamp(pTRec, TREC_RECLED) == kGreen ? " green" : "");
    });
    press(pTRec, TREC_START);  // declined
    SetUnattendedPopups(nullptr);
    EXPECT_EQ(asked, "ATTENTION !: File already exist - overwrite ?\n" + path.toStdString() +
                         " | RECORDER STOPPED Recorder not active!");
    QFile::remove(path);
    press(pTRec, TREC_START);
    EXPECT_EQ(std::tuple(boxLine(0), boxLine(2), dimmed(pTSD, TSD_EXIT)),
              std::tuple("RECORDER ACTIVE", "SAMPLES: 0", 1));
    for (int i = 0; i < 3; ++i) tick();
    EXPECT_EQ(boxLine(2), "SAMPLES: 3");
    KGraph *chart = static_cast<KGraph *>(FindCtrl(pTRec, TREC_RECCHART)->widget);
    const QImage picture = chart->grab().toImage();
    for (int trace = 1; trace <= REC_CHART_TRACES; ++trace) {
        const std::vector<double> values = chart->traceValues(trace);
        const auto [low, high] = std::minmax_element(values.end() - 3, values.end());
        EXPECT_GE(*low, chart->yMinimum()) << trace;
        EXPECT_LE(*high, chart->yMaximum()) << trace;
        if (trace == 1) continue;           // black, as the axes
        int drawnBeforeTheFirstSample = 0;  // in the left three quarters of the chart
        for (int x = 0; x < picture.width() * 3 / 4; ++x)
            for (int y = 0; y < picture.height(); ++y)
                drawnBeforeTheFirstSample += picture.pixelColor(x, y) == chart->traceColor(trace);
        EXPECT_EQ(drawnBeforeTheFirstSample, 0) << trace;
    }
    press(pTRec, TREC_STOP);
    EXPECT_EQ(dimmed(pTSD, TSD_EXIT), 0);
}

TEST_F(TouchRecorder, IncrementSteppersHoldOneToSixtySeconds) {
    const struct {
        double from;
        int stepper;
        double to;
    } cases[] = {
        {60.0, TREC_INC_UP, 60.0}, {59.5, TREC_INC_UP, 60.0}, {1.0, TREC_INC_DOWN, 1.0},
        {5.0, TREC_INC_DOWN, 4.0}, {5.0, TREC_INC_UP, 6.0},  // a press steps once
    };
    for (const auto &c : cases) {
        SetCtrlVal(pTRec, TREC_INCTIME, c.from);
        press(pTRec, c.stepper);
        EXPECT_DOUBLE_EQ(real(pTRec, TREC_INCTIME), c.to) << c.from;
    }
}

// The data mode shows on the desktop too; modes 2 and 3 record nothing and dim the recorder.
TEST_F(TouchRecorder, DataModesTwoAndThreeDimTheRecorderButNotARecordingOfItsOwn) {
    for (int mode : {2, 0, 3, 1}) {
        SetCtrlVal(pTRec, TREC_RS232MODE, mode);
        CC_TSD_DROPrs232mode(pTRec, TREC_RS232MODE, EVENT_VAL_CHANGED, nullptr, 0, 0);
        EXPECT_EQ(value(pRec, REC_RS232MODE), mode);
        for (int control : {TREC_START, TREC_STOP, TREC_INCTIME, TREC_FILEBTN})
            EXPECT_EQ(dimmed(pTRec, control), mode >= 2) << mode << " " << control;
    }
    // A polled recording keeps its controls whatever the mode says, until it stops.
    SetCtrlVal(pTRec, TREC_RS232MODE, 0);
    SetCtrlVal(pTRec, TREC_OUTFILE, 0);
    press(pTRec, TREC_START);
    for (int mode : {2, 0, 3}) {
        SetCtrlVal(pTRec, TREC_RS232MODE, mode);
        CC_TSD_DROPrs232mode(pTRec, TREC_RS232MODE, EVENT_VAL_CHANGED, nullptr, 0, 0);
        EXPECT_EQ((std::vector{dimmed(pTRec, TREC_STOP), dimmed(pTRec, TREC_START),
                               dimmed(pTRec, TREC_INCTIME), dimmed(pTRec, TREC_FILEBTN)}),
                  (std::vector{0, 1, 1, 1}))
            << mode;
    }
    press(pTRec, TREC_STOP);
    EXPECT_EQ(dimmed(pTRec, TREC_START), 1) << "mode 3 records nothing";
}

}  // namespace
