// Benchmark of the sensor link, the live displays and the start-up against the simulator
// executable (loopback TCP and its paced pseudo-terminal), on the offscreen platform. Every
// ratio is measured in alternating rounds within this run (rounds.h); the machine's load is
// printed beside the figures.
//
//   k-tav-bench [--rounds N] [FIGURE ...]    FIGURE (default: all, in this order):
//   echo         echo exchanges through DataExchange beside a bare blocking-socket client
//   run-drawing  RUN with every display drawn beside the same exchanges without drawing
//   run-wire     RUN over the pseudo-terminal at 115200 baud against the wire's limit
//   video-wire   VIDEO likewise
//   run-cpu      CPU share of RUN, every display drawn, replies after 20 ms
//   video-cpu    CPU share of VIDEO likewise
//   startup      start-up to an identified, drawn main panel
//   cli-identify k-tav-cli identify beside the start-up; the tool's peak resident memory
//   recorder     desktop recorder samples at increment 0 beside RUN cycles; appending a line
//   touch-run    touch RUN, every touch display drawn, beside the desktop RUN
//   touch-cpu    CPU share of touch RUN, replies after 20 ms
//   publish-wire k-tav-cli publish at every record beside run --json at 115200 baud
//   publish-delay  a record's reply to its delivery by the MQTT broker to a subscriber
//   capability   k-tav-cli capability beside stats over a recording of 1 million samples; the
//                growth of its peak resident memory over a recording of 1000
//   record-damage  k-tav-cli record --reconnect with 2 % damaged replies beside none
//   publish-damage k-tav-cli publish likewise
//   python-wire  the Python module's run_array beside run --json at 115200 baud
//   python-tcp   likewise over TCP, as fast as the link allows
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/link/commands.h"
#include "core/link/frame.h"
#include "core/link/status.h"
#include "core/link/transport.h"
#include "core/measure/acquisition.h"
#include "core/measure/recfile.h"
#include "core/params/appsettings.h"
#include "core/state/flags.h"
#include "core/state/programdir.h"
#include "core/system/timing.h"
#include "damage_figures.h"
#include "data_home.h"
#include "gui/app/identityview.h"
#include "gui/app/linkview.h"
#include "gui/measure/desktoploops.h"
#include "gui/measure/recpopup.h"
#include "gui/panels/handles.h"
#include "gui/runtime/userint.h"
#include "gui/touch/touchloops.h"
#include "gui/touch/touchscreen.h"
#include "ktav_panels.h"
#include "machine.h"
#include "publish_figures.h"
#include "python_figures.h"
#include "rounds.h"
#include "sim_process.h"

namespace {

constexpr int WIRE_COM = 9;          // the port number that names the simulator's pty
constexpr long WIRE_BAUD = 115200;   // baud-rate index 4
constexpr double RUN_BYTES = 80;     // request 8, reply header 8 and the 64-byte record
constexpr double VIDEO_BYTES = 608;  // a RUN exchange, then request 8 and reply 8 + 512

int rounds = DEFAULT_ROUNDS;

// The simulators, started when a figure first needs them. The simulator serves one TCP client
// at a time, so the bare client and the program each have their own.
SimProcess fastSim, bareSim, slowSim, startupSim, cliSim;

bool started(SimProcess &sim, const QStringList &options = {}) {
    return sim.tcpPort() > 0 || sim.start(options);
}

bool connectTcp(SimProcess &sim) {
    CloseTCP();
    comtype = 1;
    std::snprintf(szIPhostName, sizeof szIPhostName, "127.0.0.1");
    tcp_portnum = sim.tcpPort();
    return InitTCP_IP() == 1;
}

bool connectPty(SimProcess &sim) {
    CloseTCP();
    comtype = 0;
    rs232port = WIRE_COM;
    qputenv(("KTAV_COM" + std::to_string(WIRE_COM)).c_str(), sim.ptyPath().c_str());
    return InitRS232(WIRE_COM, 4) == 1;
}

// ---- rounds -------------------------------------------------------------------------------

// Echo exchanges per second through the program's link layer.
double programEchoRate(double seconds) {
    int count = 0;
    const double start = Timer();
    while (Timer() - start < seconds) {
        FillTxBuf(ORD_ECHO, 0, nullptr, 0);
        if (DataExchange(FRAME_HEADER_SIZE) != 1) return -1;
        ++count;
    }
    return count / (Timer() - start);
}

// Echo exchanges per second by a bare blocking socket: write 8 bytes, read 8 bytes.
class BareClient {
  public:
    bool connect(int port) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int one = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        return ::connect(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    }
    ~BareClient() {
        if (fd_ >= 0) close(fd_);
    }
    double echoRate(double seconds) const {
        const uint8_t echo[8] = {0x55, 0x05, 0, 0, 0, 0, 0xAA, 0x3C};
        uint8_t reply[8];
        int count = 0;
        const double start = Timer();
        while (Timer() - start < seconds) {
            if (write(fd_, echo, sizeof echo) != sizeof echo) return -1;
            for (size_t got = 0; got < sizeof reply;) {
                const ssize_t n = read(fd_, reply + got, sizeof reply - got);
                if (n <= 0) return -1;
                got += size_t(n);
            }
            ++count;
        }
        return count / (Timer() - start);
    }

  private:
    int fd_ = -1;
};

// RUN cycles per second without drawing: the loop's exchange and copy only.
double bareRunRate(double seconds) {
    int count = 0;
    const double start = Timer();
    while (Timer() - start < seconds) {
        FillTxBuf(ORD_RAW, 0, nullptr, 0);
        if (DataExchange(FRAME_HEADER_SIZE) != 1) return -1;
        std::memcpy(&raw, szReadBuf + FRAME_HEADER_SIZE, sizeof raw);
        ++count;
    }
    return count / (Timer() - start);
}

int cycles = 0;
void countCycles(bool request, const uint8_t *bytes, int) {
    if (request && (bytes[1] == ORD_RAW)) ++cycles;
}

// An acquisition loop (PushRUN, PushVIDEO, PushTSD_RUN) as the operator starts it, every
// display of its surface drawn, stopped after `seconds`: cycles per second (each cycle asks for
// the record once), and the CPU share of this process over the loop.
struct LoopFigures {
    double rate, cpuShare;
};
LoopFigures acquisitionLoop(void (*loop)(), double seconds) {
    cycles = 0;
    SetFrameTap(countCycles);
    QTimer::singleShot(static_cast<int>(seconds * 1000), [] { stop_flag = STOP_IDLE; });
    const double start = Timer(), cpu = ProcessCpuSeconds();
    loop();
    const double wall = Timer() - start;
    SetFrameTap(nullptr);
    if (stop_flag != STOP_IDLE) return {-1, -1};
    return {cycles / wall, (ProcessCpuSeconds() - cpu) / wall};
}

// Seconds from starting the program until it has identified the pair, drawn its main panel,
// saved the picture of it and closed.
double startupSeconds() {
    QTemporaryDir dir;
    AppSettings settings = startupSim.tcpSettings();
    settings.panelMaximised = false;
    settings.panelLeft = settings.panelTop = 2;
    settings.panelWidth = 777;
    settings.panelHeight = 534;
    if (WriteAppSettings(QDir(dir.path()).filePath("PX-MS-Vista.ini").toUtf8().constData(),
                         settings) != 0)
        return -1;
    QProcess program;
    program.setProgram(KTAV_PROGRAM_PATH);
    program.setArguments({"--dir", dir.path(), "--screenshot", dir.filePath("main.png")});
    const double start = Timer();
    program.start();
    if (!program.waitForFinished(20000) || program.exitCode() != 0) return -1;
    const double seconds = Timer() - start;
    return QFile::exists(dir.filePath("main.png")) ? seconds : -1;
}

// The peak resident memory [MB] of process `pid`, from /proc; negative when unknown.
double peakResidentMb(pid_t pid) {
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ')[0].toDouble() / 1024;
    return -1;
}

// One run of `k-tav-cli identify` against its own simulator: the seconds until it ended and its
// peak resident memory [MB]; both negative when it failed. The peak is read from /proc while
// the tool is held at its exit (ptrace): wait4's figure would include this program's own
// memory, which the child shares until its exec.
struct ToolRun {
    double seconds = -1, peakMb = -1;
};
ToolRun runTool(const std::vector<std::string> &args) {
    std::vector<const char *> argv = {KTAV_CLI_PATH};
    for (const std::string &arg : args) argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    const double start = Timer();
    const pid_t pid = fork();
    if (pid < 0) return {};
    if (pid == 0) {  // only async-signal-safe calls until the exec
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        execv(KTAV_CLI_PATH, const_cast<char *const *>(argv.data()));
        _exit(127);
    }
    ToolRun run;
    int status = 0;
    bool traced = false;
    while (waitpid(pid, &status, 0) == pid && WIFSTOPPED(status)) {
        int signal = 0;
        if (!traced) {  // stopped at the exec: stop again at the exit
            traced = true;
            ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACEEXIT);
        } else if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
            run.peakMb = peakResidentMb(pid);
        } else {
            signal = WSTOPSIG(status);  // the tool's own signals go through
        }
        ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void *>(intptr_t(signal)));
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    run.seconds = Timer() - start;
    return run;
}

ToolRun cliIdentify() {
    QTemporaryDir dir;  // the tool's settings folder
    const std::string tcp = "127.0.0.1:" + std::to_string(cliSim.tcpPort());
    return runTool({"identify", "--tcp", tcp, "--dir", dir.path().toStdString()});
}

// A recording of `samples` samples a second apart, as the recorders write it, with values that
// wander so that every figure has something to show.
bool writeRecording(const std::string &path, int samples) {
    if (CreateRecFile(path.c_str(), CurrentRecHeader(1.0, 0, true)) != 1) return false;
    FILE *file = std::fopen(path.c_str(), "ab");
    if (!file) return false;
    RawRecord r{};
    char line[REC_LINE_SIZE], time[16];
    bool ok = true;
    for (int i = 0; i < samples && ok; ++i) {
        r.umA = 50000 + (i * 37) % 211;
        r.umB = 48000 + (i * 53) % 197;
        r.umValue = r.umA;
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", i / 3600 % 24, i / 60 % 60, i % 60);
        const int n = FormatSampleLine(line, time, r);
        ok = std::fwrite(line, 1, size_t(n), file) == size_t(n);
    }
    return std::fclose(file) == 0 && ok;
}

// Samples per second the desktop recorder takes at increment 0 as the operator starts it,
// stopped after `seconds`.
double recorderRate(double seconds) {
    std::remove(rec_fname);
    SetCtrlVal(pRec, REC_INCTIME, 0.0);
    SetCtrlVal(pRec, REC_SAMPLES, static_cast<int>(REC_MAX_SAMPLES));
    DisplayPanel(pRec);
    QTimer::singleShot(static_cast<int>(seconds * 1000), [] { stop_flag = STOP_IDLE; });
    const double start = Timer();
    CC_CBTNStartRecord(pRec, REC_START, EVENT_COMMIT, nullptr, 0, 0);
    int samples = 0;
    GetCtrlVal(pRec, REC_COUNTER, &samples);
    return samples / (Timer() - start);
}

// Microseconds to append one sample line (open, write, close).
double appendLineMicroseconds(const char *path) {
    constexpr int LINES = 2000;
    const double start = Timer();
    for (int i = 0; i < LINES; ++i)
        if (AppendSampleLine(path, raw) != 1) return -1;
    return (Timer() - start) / LINES * 1e6;
}

// A loop of the touch surface or of the desktop; both surfaces stay on the offscreen screen,
// and `tsd_flag` says which the displays draw on.
double surfaceRunRate(bool touch, double seconds) {
    tsd_flag = touch ? 1 : 0;
    const double rate = acquisitionLoop(touch ? PushTSD_RUN : PushRUN, seconds).rate;
    tsd_flag = 0;
    return rate;
}

// ---- figures ------------------------------------------------------------------------------

bool echoFigure() {
    BareClient bare;
    if (!started(fastSim) || !started(bareSim) || !bare.connect(bareSim.tcpPort()) ||
        !connectTcp(fastSim))
        return false;
    const Comparison c =
        Alternate([] { return programEchoRate(0.5); }, [&] { return bare.echoRate(0.5); }, rounds);
    PrintRatio("echo: DataExchange / bare client (TCP)", c, {Goal::AtLeast, 0.9}, "DataExchange",
               "bare client", "/s");
    return true;
}

bool runDrawingFigure() {
    if (!started(fastSim) || !connectTcp(fastSim)) return false;
    const Comparison c = Alternate([] { return acquisitionLoop(PushRUN, 1.0).rate; },
                                   [] { return bareRunRate(1.0); }, rounds);
    PrintRatio("RUN every display / RUN without drawing (TCP)", c, {Goal::AtLeast, 0.5},
               "every display", "without drawing", "cycles/s");
    return true;
}

bool wireFigure(bool video) {
    SimProcess wireSim;
    if (!wireSim.start({"--wire-baud", QString::number(WIRE_BAUD)}) || !connectPty(wireSim))
        return false;
    const double limit = WIRE_BAUD / 10.0 / (video ? VIDEO_BYTES : RUN_BYTES);
    const Spread rate = Repeat(
        [video] { return acquisitionLoop(video ? PushVIDEO : PushRUN, video ? 2.0 : 1.0).rate; },
        rounds);
    CloseRS232();
    PrintRatio(
        video ? "VIDEO at 115200 baud / wire limit (pty)" : "RUN at 115200 baud / wire limit (pty)",
        Against(rate, limit), {Goal::AtLeast, 0.95}, video ? "VIDEO" : "RUN", "limit", "cycles/s");
    return true;
}

bool cpuFigure(bool video) {
    if (!started(slowSim, {"--delay-ms", "20"}) || !connectTcp(slowSim)) return false;
    double rate = 0;
    const Spread share = Repeat(
        [&] {
            const LoopFigures f = acquisitionLoop(video ? PushVIDEO : PushRUN, 2.0);
            rate = f.rate;
            return f.cpuShare;
        },
        rounds);
    PrintFigure(video ? "VIDEO, replies after 20 ms: CPU of a core"
                      : "RUN every display, replies after 20 ms: CPU",
                share, {Goal::AtMost, video ? 0.03 : 0.02}, "%", 100.0);
    std::printf("    at %.1f cycles/s (last round)\n", rate);
    return true;
}

bool startupFigure() {
    if (!started(startupSim)) return false;
    PrintFigure("start-up to an identified, drawn main panel", Repeat(startupSeconds, rounds),
                {Goal::AtMost, 0.5}, "s");
    std::printf("    (until the program has also saved its picture and closed)\n");
    return true;
}

bool cliIdentifyFigure() {
    if (!started(startupSim) || !started(cliSim)) return false;
    const Comparison c = Alternate([] { return cliIdentify().seconds; }, startupSeconds, rounds);
    PrintRatio("k-tav-cli identify / program start-up", c, {Goal::AtMost, 1.0},
               "k-tav-cli identify", "start-up", "s");
    PrintFigure("k-tav-cli identify: peak resident memory",
                Repeat([] { return cliIdentify().peakMb; }, rounds), {Goal::AtMost, 12.0}, "MB");
    return true;
}

bool recorderFigure() {
    QTemporaryDir dir;
    std::snprintf(rec_fname, sizeof rec_fname, "%s", qPrintable(dir.filePath("RECORD.DAT")));
    if (!started(fastSim) || !connectTcp(fastSim)) return false;
    const Comparison c = Alternate([] { return recorderRate(0.5); },
                                   [] { return acquisitionLoop(PushRUN, 0.5).rate; }, rounds);
    PrintRatio("recorder at increment 0 / RUN (TCP)", c, {Goal::AtLeast, 0.9}, "recorder", "RUN",
               "/s");
    const std::string lines = dir.filePath("LINES.DAT").toStdString();
    if (CreateRecFile(lines.c_str(), CurrentRecHeader(0.0, 0, true)) != 1) return false;
    PrintFigure("append one recorder line",
                Repeat([&] { return appendLineMicroseconds(lines.c_str()); }, rounds), "us");
    return true;
}

bool capabilityFigure() {
    QTemporaryDir dir;
    const std::string large = dir.filePath("large.dat").toStdString(),
                      small = dir.filePath("small.dat").toStdString();
    if (!writeRecording(large, 1000000) || !writeRecording(small, 1000)) return false;
    const Comparison c = Alternate(
        [&] {
            return runTool({"capability", large}).seconds;
        },
        [&] {
            return runTool({"stats", large}).seconds;
        },
        rounds);
    PrintRatio("k-tav-cli capability / stats, 1 million samples", c, {Goal::AtMost, 1.5},
               "capability", "stats", "s");
    const Spread growth = Repeat(
        [&] {
            const double a = runTool({"capability", large}).peakMb,
                         b = runTool({"capability", small}).peakMb;
            return a < 0 || b < 0 ? -1.0 : std::max(0.0, a - b);
        },
        rounds);
    PrintFigure("capability: peak memory, 1 million over 1000 samples", growth,
                {Goal::AtMost, 16.0}, "MB");
    return true;
}

// The touch surface full-screen with its graph view: position graphs, strip chart and the
// measured values.
bool showTouchGraphView() {
    ShowTouchSurface();
    SetCtrlVal(pTSD, TSD_TOG_NUM, 0);
    SetCtrlVal(pTSD, TSD_TOG_GRAPH, 1);
    return true;
}

bool touchRunFigure() {
    if (!started(fastSim) || !connectTcp(fastSim) || !showTouchGraphView()) return false;
    const Comparison c = Alternate([] { return surfaceRunRate(true, 1.0); },
                                   [] { return surfaceRunRate(false, 1.0); }, rounds);
    PrintRatio("touch RUN / desktop RUN, every display (TCP)", c, {Goal::AtLeast, 0.8}, "touch",
               "desktop", "cycles/s");
    return true;
}

bool touchCpuFigure() {
    if (!started(slowSim, {"--delay-ms", "20"}) || !connectTcp(slowSim) || !showTouchGraphView())
        return false;
    double rate = 0;
    const Spread share = Repeat(
        [&] {
            tsd_flag = 1;
            const LoopFigures f = acquisitionLoop(PushTSD_RUN, 2.0);
            tsd_flag = 0;
            rate = f.rate;
            return f.cpuShare;
        },
        rounds);
    PrintFigure("touch RUN, replies after 20 ms: CPU of a core", share, {Goal::AtMost, 0.02}, "%",
                100.0);
    std::printf("    at %.1f cycles/s (last round)\n", rate);
    return true;
}

const std::map<std::string, bool (*)()> FIGURES = {
    {"echo", echoFigure},
    {"run-drawing", runDrawingFigure},
    {"run-wire", [] { return wireFigure(false); }},
    {"video-wire", [] { return wireFigure(true); }},
    {"run-cpu", [] { return cpuFigure(false); }},
    {"video-cpu", [] { return cpuFigure(true); }},
    {"startup", startupFigure},
    {"cli-identify", cliIdentifyFigure},
    {"recorder", recorderFigure},
    {"touch-run", touchRunFigure},
    {"touch-cpu", touchCpuFigure},
    {"publish-wire", [] { return PublishWireFigure(rounds); }},
    {"capability", capabilityFigure},
    {"publish-delay",
     [] { return started(fastSim) && connectTcp(fastSim) && PublishDelayFigure(rounds); }},
    {"record-damage", [] { return RecordDamageFigure(rounds); }},
    {"publish-damage", [] { return PublishDamageFigure(rounds); }},
    {"python-wire", [] { return PythonFigure(rounds, true); }},
    {"python-tcp", [] { return PythonFigure(rounds, false); }},
};
// The touch figures come last: they leave the touch surface on the screen.
const char *const ORDER[] = {"echo",           "run-drawing",  "run-wire",      "video-wire",
                             "run-cpu",        "video-cpu",    "startup",       "cli-identify",
                             "recorder",       "publish-wire", "publish-delay", "record-damage",
                             "publish-damage", "capability",   "python-wire",   "python-tcp",
                             "touch-run",      "touch-cpu"};

// The main panel shown on the offscreen screen, the pair identified over TCP, the texts on its
// status field: the loops run as the operator sees them.
bool prepareMainPanel() {
    if (LoadAllPanels() != 1) return false;
    DisplayPanel(pPA);
    InstallLinkView(nullptr);
    return started(fastSim) && connectTcp(fastSim) && InitDataExchange() == 1;
}

}  // namespace

int main(int argc, char **argv) {
    UseOwnUserFolders();  // the figures never depend on the user's settings or records
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    SelectEventDispatcher();
    QApplication app(argc, argv);

    std::vector<std::string> chosen;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (FIGURES.count(arg)) {
            chosen.push_back(arg);
        } else {
            std::fprintf(stderr, "usage: k-tav-bench [--rounds N] [FIGURE ...]\nfigures:");
            for (const char *name : ORDER) std::fprintf(stderr, " %s", name);
            std::fprintf(stderr, "\n");
            return 2;
        }
    }
    if (chosen.empty()) chosen.assign(std::begin(ORDER), std::end(ORDER));

    const CoreTimes cores0 = ReadCoreTimes();
    const double load0 = LoadAverage(), wall0 = Timer(), cpu0 = ProcessCpuSeconds();
    std::printf("k-tav-bench: %d rounds each; %ld cores, load average %.2f at the start\n", rounds,
                sysconf(_SC_NPROCESSORS_ONLN), load0);
    if (!prepareMainPanel()) {
        std::fprintf(stderr, "cannot start the simulator or identify it\n");
        return 1;
    }
    int failed = 0;
    for (const std::string &name : chosen) {
        if (!FIGURES.at(name)()) {
            std::printf("%-46s failed to run\n", name.c_str());
            ++failed;
        }
        std::fflush(stdout);
    }
    CloseTCP();
    const double busy = BusyShare(cores0, ReadCoreTimes());
    const double own =
        (ProcessCpuSeconds() - cpu0) / (Timer() - wall0) / double(sysconf(_SC_NPROCESSORS_ONLN));
    std::printf(
        "machine: load average %.2f at the end; all cores %.0f %% busy during the run, %.0f %% of "
        "it this program\n",
        LoadAverage(), busy * 100.0, busy > 0 ? own / busy * 100.0 : 0.0);
    std::printf("goals: %d met, %d missed\n", GoalsMet(), GoalsMissed());
    CloseLinkLog();
    SetLinkView({});
    DiscardAllPanels();
    return failed || GoalsMissed() ? 1 : 0;
}
