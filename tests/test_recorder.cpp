// The data recorder end to end: the recorder file's bytes, the desktop pop-up's recording loop
// in polled and trigger mode over TCP and the pseudo-terminal, the touch recorder's timer ticks,
// and how each ends. Real widgets, real files in a temporary directory, the simulator as the
// sensor pair.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/bindings.h"
#include "app/conndialog.h"
#include "app/maincontrols.h"
#include "calib/calibfile.h"
#include "ktav_panels.h"
#include "link/commands.h"
#include "link/crc8.h"
#include "link/frame.h"
#include "link/identify.h"
#include "link/status.h"
#include "link/transport.h"
#include "measure/recfile.h"
#include "measure/recorder.h"
#include "measure/recpopup.h"
#include "panel_probe.h"
#include "params/paramblock.h"
#include "params/transfer.h"
#include "platform/serial.h"
#include "platform/timing.h"
#include "platform/ui/popupscript.h"
#include "platform/ui/runtime.h"
#include "platform/ui/userint.h"
#include "program_fixture.h"
#include "recfile_bytes.h"
#include "shared/files.h"
#include "shared/panels.h"
#include "shared/state.h"
#include "sim_process.h"
#include "touch/touchrecorder.h"

namespace {

constexpr int kSimCom = 7;

std::vector<std::string> mainTexts;
std::function<void(const std::string &)> onMainText;
std::vector<RawRecord> replies;  // measurement records as they came off the wire
std::function<void(int order)> onRequest;

void recordStatus(unsigned fields, const char *text) {
    if (!(fields & ST_PA)) return;
    mainTexts.emplace_back(text);
    if (onMainText) onMainText(text);
}

void tap(bool request, const uint8_t *bytes, int count) {
    if (request && onRequest && count > 1) onRequest(bytes[1]);
    if (request || count != FRAME_HEADER_SIZE + int(sizeof(RawRecord)) || bytes[1] != ORD_RAW)
        return;
    RawRecord r;
    std::memcpy(&r, bytes + FRAME_HEADER_SIZE, sizeof r);
    replies.push_back(r);
}

QByteArray fileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QByteArray> fileLines(const QString &path) {
    QList<QByteArray> lines = fileBytes(path).split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
    return lines;
}

// An operator's press: left click, then commit.
void press(CtrlCallbackPtr callback, int panel, int control) {
    callback(panel, control, EVENT_LEFT_CLICK, nullptr, 0, 0);
    callback(panel, control, EVENT_COMMIT, nullptr, 0, 0);
}

int lampColour(int panel, int control) {
    return attribute(panel, control, ATTR_ON_COLOR);
}

std::string boxLine(int line) {
    const QStringList lines = QString::fromStdString(text(pTRec, TREC_MSGBOX)).split('\n');
    return line < lines.size() ? lines[line].toStdString() : std::string();
}

class Recorder : public ProgramTest {
  protected:
    void SetUp() override {
        ResetProgramState();
        // MASTER and SLAVE apart, so that a swap shows.
        calib[0].offset = 50000;
        calib[0].range = 10000;
        calib[1].offset = 61000;
        calib[1].range = 12500;
        para.ge.measurementMode = 1;
        para.ge.umSetpoint = 56789;
        SetLinkView({recordStatus, [](int) {}, [](bool) {}});
        SetFrameTap(tap);
        ClearPopupAnswers();
        mainTexts.clear();
        replies.clear();
        onMainText = nullptr;
        onRequest = nullptr;
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("RECORD.DAT");
        std::snprintf(rec_fname, sizeof rec_fname, "%s", qPrintable(path));
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
        if (comtype == 0) CloseRS232();
        sim.stop();
    }

    void connect(bool serial = false, const QStringList &options = {}) {
        ASSERT_TRUE(sim.start(options));
        ASSERT_TRUE(serial ? sim.openSerial(kSimCom) : sim.openTcp());
    }

    // Puts the sensor into RS-232 output mode `mode`, as a SEND of the general set does.
    void sensorMode(int mode) {
        para.ge.rs232OutMode = static_cast<uint16_t>(mode);
        PushSEND(RAM, 0);
        ASSERT_EQ(std::string(szStatus).rfind("Timeout", 0), std::string::npos) << szStatus;
        SetCtrlVal(pRec, REC_RS232MODE, mode);
        SetCtrlVal(pTRec, TREC_RS232MODE, mode);
    }

    void startDesktop(double increment, int samples) {
        SetCtrlVal(pRec, REC_INCTIME, increment);
        SetCtrlVal(pRec, REC_SAMPLES, samples);
        pressStart(CC_CBTNStartRecord, pRec, REC_START);
    }

    // Presses a START that records until the recording ends; one still running after 20 s fails
    // the test and is ended by STOP on both surfaces, so that a sample that never comes holds
    // no suite.
    static void pressStart(CtrlCallbackPtr start, int panel, int control) {
        QTimer bound;
        bound.setSingleShot(true);
        QObject::connect(&bound, &QTimer::timeout, [] {
            ADD_FAILURE() << "the recording has not ended after 20 s: STOP";
            press(CC_PICBTNStopRecord, pRec, REC_STOP);
            press(CC_PICBTN_TSDStopRecord, pTRec, TREC_STOP);
        });
        bound.start(20000);
        press(start, panel, control);
    }

    // The ten header lines expected for the fixture's calibration and set-point.
    static QByteArray headerTail() {
        return "Setpoint-Value [\xB5m]:\t56789\r\n"
               "Offset-Master [\xB5m]:\t50000\r\n"
               "Offset-Slave [\xB5m]:\t61000\r\n"
               "Range-Master [\xB5m]:\t10000\r\n"
               "Range-Slave [\xB5m]:\t12500\r\n"
               "TIME\t\tMA[\xB5m]\tSL[\xB5m]\tVAL[\xB5m]\tMA-E\tSL-E\tMA-PIX\tSL-PIX\tVAL-PIX\r\n";
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
    QString path;
};

// ---- the file format -------------------------------------------------------------------------

TEST_F(Recorder, HeaderBytesOfEachVariant) {
    struct Case {
        const char *what;
        int touch;
        double increment;  // the desktop pop-up's field, or incTIME on the touch surface
        int mode;
        QByteArray lines3and4;
    };
    const Case cases[] = {
        {"desktop polled", 0, 0.5, 0, "Time-Increment[s]:\t0.5\r\nNumber of Samples:\t10\r\n"},
        {"desktop polled, a tenth restores", 0, 0.1, 0,
         "Time-Increment[s]:\t0.1\r\nNumber of Samples:\t10\r\n"},
        {"desktop trigger", 0, 0.5, 1, "Time-Increment[s]:\t0\r\n"},
        {"touch polled", 1, 1.7, 0, "Time-Increment[s]:\t1.7\r\n"},
        {"touch trigger", 1, 2.0, 1, "Time-Increment[s]:\t0\r\n"},
    };
    for (const Case &c : cases) {
        QFile::remove(path);
        tsd_flag = c.touch;
        ASSERT_EQ(writeFileHeader(c.mode, c.increment, 10), 1) << c.what;
        EXPECT_EQ(withoutStamp(fileBytes(path)), c.lines3and4 + headerTail()) << c.what;
    }
    // Distance mode records no set-point.
    QFile::remove(path);
    tsd_flag = 0;
    para.ge.measurementMode = 0;
    ASSERT_EQ(writeFileHeader(1, 0.5, 10), 1);
    EXPECT_TRUE(fileBytes(path).contains("Setpoint-Value [\xB5m]:\t0\r\n"));
}

TEST_F(Recorder, SampleLineColumnsInTheirOrder) {
    RawRecord r{};
    r.umA = -12;
    r.umB = 2147483647;
    r.umValue = -2147483647 - 1;
    r.edgeA = 1;
    r.edgeB = 65535;
    r.posA = 300;
    r.posB = 700;
    r.posCombined = 4096;
    char line[REC_LINE_SIZE];
    const int n = FormatSampleLine(line, "09:05:01", r);
    EXPECT_EQ(std::string(line, n),
              "09:05:01\t-12\t2147483647\t-2147483648\t1\t65535\t300\t700\t4096\r\n");
}

TEST_F(Recorder, RecordingTimeDisplays) {
    struct Case {
        double increment;
        int samples;
        int days, hours, minutes, seconds;
    };
    const Case cases[] = {
        {0.5, 10, 0, 0, 0, 5},       {1.0, 100, 0, 0, 1, 40}, {2.5, 31999, 0, 22, 13, 17},
        {3599.0, 100, 4, 3, 58, 20}, {0.3, 7, 0, 0, 0, 2},  // 2.1 s shown as 2
    };
    for (const Case &c : cases) {
        SetCtrlVal(pRec, REC_SAMPLES, c.samples);
        SetCtrlVal(pRec, REC_INCTIME, c.increment);
        CC_NEDITRecTime(pRec, REC_INCTIME, EVENT_VAL_CHANGED, nullptr, 0, 0);
        EXPECT_EQ((std::vector<int>{value(pRec, REC_DAYS), value(pRec, REC_HOURS),
                                    value(pRec, REC_MINUTES), value(pRec, REC_SECONDS)}),
                  (std::vector<int>{c.days, c.hours, c.minutes, c.seconds}))
            << c.increment << " s x " << c.samples;
    }
    // At 3600 s and above, and at 32000 samples, the shown time stays as it is.
    SetCtrlVal(pRec, REC_INCTIME, 3600.0);
    CC_NEDITRecTime(pRec, REC_INCTIME, EVENT_VAL_CHANGED, nullptr, 0, 0);
    SetCtrlVal(pRec, REC_SAMPLES, 32000);
    CC_NEDITRecSamples(pRec, REC_SAMPLES, EVENT_VAL_CHANGED, nullptr, 0, 0);
    EXPECT_EQ(value(pRec, REC_DAYS), 0);
    EXPECT_EQ(value(pRec, REC_SECONDS), 2);
    // A count change with a large increment is held to what the displays show, not wrapped.
    SetCtrlVal(pRec, REC_INCTIME, 86400.0);
    SetCtrlVal(pRec, REC_SAMPLES, 31999);
    CC_NEDITRecSamples(pRec, REC_SAMPLES, EVENT_VAL_CHANGED, nullptr, 0, 0);
    EXPECT_EQ(value(pRec, REC_DAYS), RecordingSeconds(31999, 86400.0) / 86400);
    EXPECT_GT(value(pRec, REC_DAYS), 0);

    // The service increment reveals the calibration pop-up's virtual-offset buttons.
    EXPECT_EQ(attribute(pCalib, CALIB_WR_VIRTOFF, ATTR_VISIBLE), 0);
    SetCtrlVal(pRec, REC_INCTIME, 6173.0);
    CC_NEDITRecTime(pRec, REC_INCTIME, EVENT_VAL_CHANGED, nullptr, 0, 0);
    EXPECT_EQ(attribute(pCalib, CALIB_WR_VIRTOFF, ATTR_VISIBLE), 1);
    EXPECT_EQ(attribute(pCalib, CALIB_RD_VIRTOFF, ATTR_VISIBLE), 1);
    SetCtrlsAttribute(pCalib, {CALIB_WR_VIRTOFF, CALIB_RD_VIRTOFF}, ATTR_VISIBLE, 0);
}

// ---- file selection and the overwrite question -------------------------------------------------

TEST_F(Recorder, AnExistingFileIsOverwrittenOnlyOnYes) {
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("keep me\r\n");
    old.close();
    // START declined: nothing recorded, nothing on the panels changes.
    SetCtrlVal(pRec, REC_MSG, "before");
    QueuePopupAnswer(0);
    startDesktop(0.0, 3);
    EXPECT_EQ(fileBytes(path), QByteArray("keep me\r\n"));
    EXPECT_EQ(text(pRec, REC_MSG), "before");
    EXPECT_EQ(dimmed(pPA, PANEL_RUN), 0);

    // The file button: declined keeps the file and the displays; yes empties it.
    SetCtrlVal(pRec, REC_FILENAME, "");
    QueuePopupAnswer(1, path.toStdString());  // the dialog: an existing file
    QueuePopupAnswer(0);                      // overwrite? no
    press(CC_PICBTNrecfile, pRec, REC_FILEBTN);
    EXPECT_EQ(fileBytes(path), QByteArray("keep me\r\n"));
    EXPECT_EQ(text(pRec, REC_FILENAME), "");
    QueuePopupAnswer(1, path.toStdString());
    QueuePopupAnswer(1);
    press(CC_PICBTNrecfile, pRec, REC_FILEBTN);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(text(pRec, REC_FILENAME), path.toStdString());
    EXPECT_EQ(text(pTRec, TREC_FILENAME), path.toStdString());
}

// ---- desktop recording, polled ---------------------------------------------------------------

TEST_F(Recorder, PolledTenSamplesShowOnThePopUp) {
    connect();
    startDesktop(0.5, 10);
    EXPECT_TRUE(fileBytes(path).contains("Time-Increment[s]:\t0.5\r\nNumber of Samples:\t10\r\n"));
    EXPECT_EQ(fileLines(path).size(), 10 + 10);
    EXPECT_EQ(text(pRec, REC_MSG), "DATA-RECORDER COMPLETED!");
    EXPECT_EQ(attribute(pRec, REC_MSG, ATTR_TEXT_COLOR), 0x0066FF);
    EXPECT_EQ(mainTexts.back(), "Data-Recorder completed successfully!");
    EXPECT_NE(std::find(mainTexts.begin(), mainTexts.end(), "Data-Recorder active!   Sample: 10"),
              mainTexts.end());
    EXPECT_EQ(value(pRec, REC_COUNTER), 10);
    EXPECT_EQ(stop_flag, STOP_IDLE);
    for (int control : {PANEL_RUN, PANEL_VIDEO, PANEL_TEACH})
        EXPECT_EQ(dimmed(pPA, control), 0) << control;
    EXPECT_EQ(dimmed(pRec, REC_START), 0);
    EXPECT_EQ(real(pPA, PANEL_MEASVALUE), raw.umValue / 1000.0) << "the displays follow";
}

TEST_F(Recorder, CountZeroCompletesWithTheHeaderOnly) {
    connect();
    startDesktop(0.0, 0);
    EXPECT_EQ(fileLines(path).size(), 10);
    EXPECT_EQ(text(pRec, REC_MSG), "DATA-RECORDER COMPLETED!");
}

// A polled recording ended at sample N by STOP, by a disk that fills up (the file name points at
// /dev/full from then on, the file written so far kept under another name) or by a dead link:
// it ends at once, says why, and the lines before stay.
TEST_F(Recorder, StopAFullDiskOrALinkTimeoutEndsThePolledRecordingAndKeepsTheLines) {
    const QString kept = dir.filePath("kept.dat");
    struct Case {
        unsigned sample;  // after which the end comes
        std::function<void()> end;
        std::string message, mainText;
        const char *textBefore;  // the main status text before the last one, if checked
    };
    const Case cases[] = {
        {4, [] { press(CC_PICBTNStopRecord, pRec, REC_STOP); }, "DATA-RECORDER STOPPED!",
         "Data-Recorder stopped!", nullptr},
        {2,
         [&] {
             ASSERT_EQ(::link(qPrintable(path), qPrintable(kept)), 0);
             QFile::remove(path);
             QFile::link("/dev/full", path);
         },
         "CANNOT WRITE " + path.toStdString() + ": No space left on device",
         "Data-Recorder stopped - No space left on device!", nullptr},
        {3, [this] { sim.stop(); }, "DATA-REC. ERROR - SERVER HAS CLOSED CONNECTION!",
         "Data-Recorder error - rs232 timeout!", "Timeout TCP-Server-error!"},
    };
    connect();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        QFile::remove(path);
        QFile::remove(kept);
        const std::string at = "Data-Recorder active!   Sample: " + std::to_string(c.sample);
        onMainText = [&](const std::string &t) {
            if (t == at) c.end();
        };
        startDesktop(0.0, 100);
        EXPECT_EQ(fileLines(QFile::exists(kept) ? kept : path).size(), 10 + c.sample);
        EXPECT_EQ(text(pRec, REC_MSG), c.message);
        EXPECT_EQ(attribute(pRec, REC_MSG, ATTR_TEXT_COLOR), 0xFF0000);
        ASSERT_GE(mainTexts.size(), 2u);
        EXPECT_EQ(mainTexts.back(), c.mainText);
        if (c.textBefore) {
            EXPECT_EQ(mainTexts[mainTexts.size() - 2], c.textBefore);
        }
        EXPECT_EQ(value(pRec, REC_COUNTER), int(c.sample));
        EXPECT_EQ(stop_flag, STOP_IDLE);
        EXPECT_EQ(dimmed(pRec, REC_START), 0);
        EXPECT_EQ(dimmed(pPA, PANEL_POS_MASTER), c.textBefore ? 1 : 0) << "not current";
    }
}

// The recorder file is created with its header in one step with the check that it does not
// exist, so a file that exists already is left as it is; a sample line goes only behind an
// existing file's end.
TEST_F(Recorder, TheFileIsCreatedOnlyWhereNoneExistsAndWrittenOnlyWhereItExists) {
    QFile other(path);
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("another recording\r\n");
    other.close();
    EXPECT_EQ(CreateRecFile(qPrintable(path), CurrentRecHeader(0.5, 10, true)), -1);
    EXPECT_STREQ(RecFileError(), "File exists");
    EXPECT_EQ(fileBytes(path), "another recording\r\n");

    const QString missing = dir.filePath("missing.dat");
    EXPECT_EQ(AppendSampleLine(qPrintable(missing), raw), -1);
    EXPECT_STREQ(RecFileError(), "No such file or directory");
    EXPECT_FALSE(QFile::exists(missing));
}

// Desktop START that cannot create its file clears the last recording's displays and names the
// cause; the TIME INCREMENT caption shows whole with its unit.
TEST_F(Recorder, StartClearsTheLastRecordingsDisplaysAndNamesWhyTheFileCannotBeWritten) {
    std::snprintf(rec_fname, sizeof rec_fname, "%s", qPrintable(dir.filePath("no/r.dat")));
    SetCtrlVal(pRec, REC_COUNTER, 7);
    SetCtrlVal(pRec, REC_TIME, "01:02:03");
    SetCtrlVal(pRec, REC_SECONDS, 42);
    startDesktop(0.5, 10);
    EXPECT_EQ(value(pRec, REC_COUNTER), 0);
    EXPECT_NE(text(pRec, REC_TIME), "01:02:03");
    EXPECT_EQ(value(pRec, REC_SECONDS), 0);
    EXPECT_EQ(text(pRec, REC_MSG),
              "CANNOT WRITE " + std::string(rec_fname) + ": No such file or directory");
    EXPECT_EQ(dimmed(pRec, REC_START), 0);

    for (const QLabel *label : FindPanel(pRec)->widget->findChildren<QLabel *>()) {
        const int needed = label->fontMetrics().horizontalAdvance(label->text());
        EXPECT_LE(needed, label->contentsRect().width()) << label->text().toStdString();
    }
}

// The file's header describes what the loop does: the mode the sensor was last given, not a
// drop-down changed since, which START tells the operator.
TEST_F(Recorder, HeaderFollowsTheSensorsModeAndADifferentDropDownIsTold) {
    connect();
    sensorMode(0);
    SetCtrlVal(pRec, REC_RS232MODE, 1);
    QueuePopupAnswer(0);
    startDesktop(0.0, 3);
    EXPECT_TRUE(
        fileBytes(path).contains("Time-Increment[s]:\t0\r\nNumber of Samples:\t3\r\nSetpoint"));
    EXPECT_EQ(fileLines(path).size(), 10 + 3);
    EXPECT_EQ(replies.size(), 3u);
    EXPECT_NE(
        LastPopupText().find("RS-232 output mode ON REQUEST, the drop-down shows EXT. TRIGGER"),
        std::string::npos)
        << LastPopupText();
}

// One recorder at a time: desktop START while the touch recorder records, and touch START while
// the desktop recorder records, are refused with the reason; the running one keeps its file.
TEST_F(Recorder, OneRecorderAtATime) {
    connect();
    sensorMode(0);
    tsd_flag = 1;
    SetCtrlVal(pTRec, TREC_INCTIME, 1.0);
    press(CC_TBTN_TSDStartRecord, pTRec, TREC_START);
    tsd_flag = 0;
    QueuePopupAnswer(0);
    startDesktop(0.0, 5);
    EXPECT_EQ(LastPopupText(), "Info: The touch recorder is recording: STOP it first, then START.");
    EXPECT_EQ(fileLines(path).size(), 9) << "the touch recorder's file as it was";
    press(CC_PICBTN_TSDStopRecord, pTRec, TREC_STOP);

    QFile::remove(path);
    QueuePopupAnswer(0);  // what a touch START would ask about the file
    onMainText = [](const std::string &t) {
        if (t != "Data-Recorder active!   Sample: 2") return;
        tsd_flag = 1;
        press(CC_TBTN_TSDStartRecord, pTRec, TREC_START);
        tsd_flag = 0;
    };
    startDesktop(0.0, 4);
    EXPECT_EQ(text(pTSD, TSD_STATUS), "Desktop recorder is recording: STOP it first!");
    EXPECT_EQ(value(pTRec, TREC_START), 0);
    EXPECT_EQ(attribute(pTSD, TSD_RECLED, ATTR_VISIBLE), 0) << "no recorder lamp lit";
    EXPECT_EQ(attribute(pTRec, TREC_TIMER, ATTR_ENABLED), 0);
    EXPECT_EQ(fileLines(path).size(), 10 + 4) << "the desktop recorder's file alone";
    EXPECT_EQ(text(pRec, REC_MSG), "DATA-RECORDER COMPLETED!");
}

// CONNECT pressed during a recording ends the recording first, as STOP does, and connects
// after it: the connect is not refused as an exchange nested in the recorder's.
TEST_F(Recorder, ConnectDuringARecordingEndsItFirstAndThenConnects) {
    connect();
    sensorMode(0);
    SetCtrlVal(pConn, CONNECT_COMTYPE, 1);
    SetCtrlVal(pConn, CONNECT_IPADDRESS, "127.0.0.1");
    SetCtrlVal(pConn, CONNECT_PORTNUM, std::to_string(sim.tcpPort()).c_str());
    hwok_flag = 0;
    QTimer::singleShot(300, [] { press(CC_CBTNTryToConnect, pConn, CONNECT_TRYCONNECT); });
    startDesktop(0.0, 32000);
    EXPECT_EQ(text(pRec, REC_MSG), "DATA-RECORDER STOPPED!");
    const double deadline = Timer() + 10.0;
    while (hwok_flag != 1 && Timer() < deadline) WaitForSystemEvents(0.05);
    EXPECT_EQ(hwok_flag, 1) << "identified after the recording";
    EXPECT_EQ(tcp_con, 1);
    EXPECT_EQ(std::string(szStatus), std::string(szVersion));
}

// ---- desktop recording, external trigger ------------------------------------------------------

class RecorderTrigger : public Recorder, public ::testing::WithParamInterface<bool> {};

TEST_P(RecorderTrigger, StopWhileWaitingForATrigger) {
    connect(GetParam(), {"--trigger-hz", "0"});
    sensorMode(1);
    QTimer::singleShot(200, [] {
        EXPECT_EQ(stop_flag, STOP_RUNNING) << "the recorder waits";
        press(CC_PICBTNStopRecord, pRec, REC_STOP);
    });
    startDesktop(0.5, 100);
    EXPECT_EQ(fileLines(path).size(), 9);
    EXPECT_EQ(text(pRec, REC_MSG), "DATA-RECORDER STOPPED!");
    EXPECT_EQ(attribute(pRec, REC_MSG, ATTR_TEXT_COLOR), 0xFF0000);
    EXPECT_EQ(stop_flag, STOP_IDLE);
}

INSTANTIATE_TEST_SUITE_P(Transports, RecorderTrigger, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Serial" : "Tcp"; });

// ---- touch recorder -----------------------------------------------------------------------------

class TouchRecorder : public Recorder {
  protected:
    void SetUp() override {
        Recorder::SetUp();
        tsd_flag = 1;
        SetCtrlVal(pTRec, TREC_INCTIME, 1.0);
        SetCtrlVal(pTRec, TREC_INCFINE, 0.0);
    }
    void tick() { CC_TIMER1interrupt(pTRec, TREC_TIMER, EVENT_TIMER_TICK, nullptr, 0, 0); }
    int timerOn() { return attribute(pTRec, TREC_TIMER, ATTR_ENABLED); }
};

TEST_F(TouchRecorder, IncrementBelowOneSecondTicksEverySecond) {
    SetCtrlVal(pTRec, TREC_INCTIME, 0.4);
    SetCtrlVal(pTRec, TREC_INCFINE, 0.3);
    SetCtrlVal(pTRec, TREC_OUTFILE, 0);
    press(CC_TBTN_TSDStartRecord, pTRec, TREC_START);
    EXPECT_DOUBLE_EQ(incTIME, 1.0);
    EXPECT_DOUBLE_EQ(real(pTRec, TREC_INCTIME), 1.0);
    double interval = 0;
    GetCtrlAttribute(pTRec, TREC_TIMER, ATTR_INTERVAL, &interval);
    EXPECT_DOUBLE_EQ(interval, 1.0);
    EXPECT_EQ(timerOn(), 1);
    EXPECT_EQ(tmr_flag, 1);
    EXPECT_EQ(dimmed(pTRec, TREC_INC_UP), 1);
    EXPECT_EQ(dimmed(pTSD, TSD_SEND), 1);
    EXPECT_EQ(lampColour(pTSD, TSD_RECLED), 0xA0DC42);
    EXPECT_EQ(boxLine(0), "RECORDER ACTIVE");
    EXPECT_EQ(text(pTSD, TSD_STATUS), "Recorder active!");
    EXPECT_DOUBLE_EQ(TouchIncrement(1.5, 0.2), 1.7);
}

TEST_F(TouchRecorder, WithoutFileOutputNoFileAndTheOldestStampAfter100Samples) {
    connect();
    SetCtrlVal(pTRec, TREC_OUTFILE, 0);
    CC_RBToutfile(pTRec, TREC_OUTFILE, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(text(pTRec, TREC_FILENAME), "No output file selected");
    EXPECT_EQ(dimmed(pTRec, TREC_FILEBTN), 1);
    press(CC_TBTN_TSDStartRecord, pTRec, TREC_START);
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
    press(CC_PICBTN_TSDStopRecord, pTRec, TREC_STOP);
    EXPECT_EQ(timerOn(), 0);
    EXPECT_EQ(boxLine(0), "RECORDER STOPPED");
    EXPECT_EQ(boxLine(2), "SAMPLES: 100");
    EXPECT_EQ(value(pTRec, TREC_START), 0);
    EXPECT_EQ(dimmed(pTRec, TREC_INC_UP), 0);
}

TEST_F(TouchRecorder, FileOutputWritesTheTouchHeaderAndOneLinePerTick) {
    connect();
    SetCtrlVal(pTRec, TREC_INCTIME, 2.0);
    press(CC_TBTN_TSDStartRecord, pTRec, TREC_START);
    tick();
    tick();
    const QByteArray bytes = fileBytes(path);
    EXPECT_TRUE(withoutStamp(bytes).startsWith("Time-Increment[s]:\t2\r\n" + headerTail()));
    const QList<QByteArray> lines = fileLines(path);
    ASSERT_EQ(lines.size(), 9 + 2);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(columnsOfLine(lines[9]), columns(replies[0]));
    EXPECT_EQ(columnsOfLine(lines[10]), columns(replies[1]));
}

// A file that cannot be written stops the touch recorder too, at the start or at a tick (the
// file name then points at a full disk); the lines written before stay.
TEST_F(TouchRecorder, AFileThatCannotBeWrittenStopsTheRecorder) {
    connect();
    std::snprintf(rec_fname, sizeof rec_fname, "%s", qPrintable(dir.filePath("no/dir.dat")));
    press(CC_TBTN_TSDStartRecord, pTRec, TREC_START);
    EXPECT_EQ(timerOn(), 0);
    EXPECT_EQ(text(pTSD, TSD_STATUS), "Recorder stopped - cannot write " + std::string(rec_fname) +
                                          ": No such file or directory");
    EXPECT_EQ(value(pTRec, TREC_START), 0);

    const QString kept = dir.filePath("kept.dat");
    std::snprintf(rec_fname, sizeof rec_fname, "%s", qPrintable(path));
    press(CC_TBTN_TSDStartRecord, pTRec, TREC_START);
    tick();
    ASSERT_EQ(::link(qPrintable(path), qPrintable(kept)), 0);
    QFile::remove(path);
    QFile::link("/dev/full", path);
    tick();
    EXPECT_EQ(fileLines(kept).size(), 9 + 1);
    EXPECT_EQ(boxLine(1), "CANNOT WRITE FILE!");
    EXPECT_EQ(text(pTSD, TSD_STATUS), "Recorder stopped - cannot write " + path.toStdString() +
                                          ": No space left on device");
    EXPECT_EQ(lampColour(pTRec, TREC_RECLED), 0xFF0000);
    EXPECT_EQ(timerOn(), 0);
    EXPECT_EQ(recidx, 1);
}

TEST_F(TouchRecorder, StopsByItselfAtTheSampleLimit) {
    connect();
    SetCtrlVal(pTRec, TREC_OUTFILE, 0);
    press(CC_TBTN_TSDStartRecord, pTRec, TREC_START);
    recidx = TOUCH_MAX_SAMPLES - 1;
    tick();
    EXPECT_EQ(boxLine(2), "SAMPLES: 30000");
    EXPECT_EQ(timerOn(), 1);
    tick();
    EXPECT_EQ(recidx, TOUCH_MAX_SAMPLES);
    EXPECT_EQ(boxLine(0), "RECORDER STOPPED");
    EXPECT_EQ(boxLine(1), "MAX NUMBER OF DATA!");
    EXPECT_EQ(lampColour(pTRec, TREC_RECLED), 0xFF0000);
    EXPECT_EQ(lampColour(pTSD, TSD_RECLED), 0xFF0000);
    EXPECT_EQ(text(pTSD, TSD_STATUS), "Recorder stopped!");
    EXPECT_EQ(timerOn(), 0);
    EXPECT_EQ(timeout_flag, 1);
}

// RUN on another touch view, or a RUN that has failed, leaves no gap: a tick during the loop
// takes the record of the loop's next cycle, one after it exchanges itself.
TEST_F(TouchRecorder, TicksDuringRunTakeTheLoopsRecords) {
    connect();
    press(CC_TBTN_TSDStartRecord, pTRec, TREC_START);
    tick();
    int cycles = 0;
    onRequest = [&](int order) {
        if (order != ORD_RAW) return;
        if (++cycles == 2 || cycles == 4) tick();
        if (cycles == 5) stop_flag = STOP_IDLE;
    };
    press(CC_BTNRun, pTSD, TSD_RUN);
    onRequest = nullptr;
    stop_flag = STOP_TIMEOUT;  // as a RUN that timed out leaves it
    tick();
    const QList<QByteArray> lines = fileLines(path);
    ASSERT_EQ(lines.size(), 9 + 4);
    ASSERT_EQ(replies.size(), 7u);
    const int sampled[] = {0, 2, 4, 6};  // its own, RUN's second and fourth cycle, its own
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(columnsOfLine(lines[9 + i]), columns(replies[sampled[i]]));
    EXPECT_EQ(boxLine(2), "SAMPLES: 4");
    EXPECT_EQ(lampColour(pTSD, TSD_RECLED), 0xA0DC42);
}

// Sampling that stops, by a lost link or a parameter transfer, says so at once: red lamps, the
// box, the touch status line, START released.
TEST_F(TouchRecorder, SamplingThatStopsSaysSoAtOnce) {
    connect();
    const struct {
        std::function<void()> cause;
        const char *line1;
    } cases[] = {
        {[] { press(CC_BTNGet, pTSD, TSD_GET); }, "STOPPED BY GET"},
        {[] { press(CC_BTNSend, pTSD, TSD_SEND); }, "STOPPED BY SEND"},
        {[&] {
             sim.stop();
             tick();
         },
         "TIMEOUT RS232"},
    };
    SetCtrlVal(pTRec, TREC_OUTFILE, 0);
    for (const auto &c : cases) {
        press(CC_TBTN_TSDStartRecord, pTRec, TREC_START);
        tick();
        c.cause();
        EXPECT_EQ(boxLine(0), "RECORDER STOPPED") << c.line1;
        EXPECT_EQ(boxLine(1), c.line1);
        EXPECT_EQ(boxLine(2), "SAMPLES: 1") << c.line1;
        EXPECT_EQ(lampColour(pTRec, TREC_RECLED), 0xFF0000) << c.line1;
        EXPECT_EQ(lampColour(pTSD, TSD_RECLED), 0xFF0000) << c.line1;
        EXPECT_EQ(text(pTSD, TSD_STATUS), "Recorder stopped!") << c.line1;
        EXPECT_STREQ(TouchRecorderState(), "Recorder not active!") << c.line1;
        EXPECT_EQ(tmr_flag, 0) << c.line1;
        EXPECT_EQ(timerOn(), 0) << c.line1;
    }
    EXPECT_EQ(mainTexts.back(), "Timeout TCP-Server-error!");
}

// Every second trigger record carries damaged data: none of them becomes a sample.
TEST_F(TouchRecorder, TriggerModeRecordsUndamagedRecordsUntilStop) {
    connect(false, {"--trigger-hz", "40", "--trigger-junk", "--corrupt-trigger-every", "2"});
    sensorMode(1);
    para.ge.analogOutMode = 2;  // its value is not in a trigger record
    onMainText = nullptr;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [] {
        if (recidx >= 3) press(CC_PICBTN_TSDStopRecord, pTRec, TREC_STOP);
    });
    poll.start(20);
    pressStart(CC_TBTN_TSDStartRecord, pTRec, TREC_START);
    poll.stop();
    const QList<QByteArray> lines = fileLines(path);
    EXPECT_EQ(lines.size(), 9 + recidx);
    EXPECT_GE(recidx, 3);
    EXPECT_TRUE(fileBytes(path).contains("Time-Increment[s]:\t0\r\nSetpoint"));
    EXPECT_TRUE(
        QString::fromStdString(text(pTSD, TSD_STATUS))
            .contains(QRegularExpression("^Recorder stopped! \\d+ damaged records? dropped$")))
        << text(pTSD, TSD_STATUS);
    EXPECT_EQ(value(pTRec, TREC_START), 0);
    EXPECT_EQ(recstop_flag, 1);
    EXPECT_EQ(dimmed(pTRec, TREC_MEASVALUE), 1) << "not current";
    EXPECT_NE(attribute(pTRec, TREC_MEASVALUE, ATTR_TEXT_BGCOLOR), 0xFF0000) << "no tolerance";
    EXPECT_NE(attribute(pTRec, TREC_MEASVALUE, ATTR_TEXT_BGCOLOR), 0x008000) << "no tolerance";
}

TEST_F(TouchRecorder, IncrementSteppersHoldOneToSixtySeconds) {
    struct Case {
        double from;
        CtrlCallbackPtr stepper;
        double to;
    };
    const Case cases[] = {{60.0, CC_PICBTNinctimeUP, 60.0},
                          {59.5, CC_PICBTNinctimeUP, 60.0},
                          {5.0, CC_PICBTNinctimeUP, 6.0},
                          {1.0, CC_PICBTNinctimeDOWN, 1.0},
                          {5.0, CC_PICBTNinctimeDOWN, 4.0}};
    for (const Case &c : cases) {
        SetCtrlVal(pTRec, TREC_INCTIME, c.from);
        c.stepper(pTRec, TREC_INC_UP, EVENT_LEFT_CLICK, nullptr, 0, 0);
        EXPECT_DOUBLE_EQ(real(pTRec, TREC_INCTIME), c.from) << "commit only";
        c.stepper(pTRec, TREC_INC_UP, EVENT_COMMIT, nullptr, 0, 0);
        EXPECT_DOUBLE_EQ(real(pTRec, TREC_INCTIME), c.to) << c.from;
    }
}

TEST_F(TouchRecorder, DataModeMirrorsToTheDesktopAndDimsForModesTwoAndThree) {
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
    press(CC_TBTN_TSDStartRecord, pTRec, TREC_START);
    for (int mode : {2, 0, 3}) {
        SetCtrlVal(pTRec, TREC_RS232MODE, mode);
        CC_TSD_DROPrs232mode(pTRec, TREC_RS232MODE, EVENT_VAL_CHANGED, nullptr, 0, 0);
        EXPECT_EQ(dimmed(pTRec, TREC_STOP), 0) << mode;
        for (int control : {TREC_START, TREC_INCTIME, TREC_FILEBTN})
            EXPECT_EQ(dimmed(pTRec, control), 1) << mode << " " << control;
    }
    press(CC_PICBTN_TSDStopRecord, pTRec, TREC_STOP);
    EXPECT_EQ(dimmed(pTRec, TREC_START), 1) << "mode 3 records nothing";
}

}  // namespace
