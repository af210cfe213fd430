// Benchmark of the sensor link and the live displays against the simulator executable over
// loopback TCP, on the offscreen platform.
// (a) echo exchanges per second through DataExchange beside a bare blocking-socket client;
// (b) CPU time of this process per wall time while replies take 20 ms to come;
// (c) RUN cycles per second with every display drawn beside the same exchanges without
//     drawing, and the share of a cycle spent drawing;
// (d) CPU time per wall time of RUN while replies take 20 ms to come;
// (e) samples per second the desktop recorder takes at increment 0 beside RUN's cycles per
//     second, in turns, and the time to append one sample line to the recorder file;
// (f) touch RUN cycles per second with every touch display drawn beside the desktop RUN of the
//     same run, and its CPU time per wall time while replies take 20 ms to come.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "app/identify.h"
#include "app/linkview.h"
#include "ktav_panels.h"
#include "link/commands.h"
#include "link/frame.h"
#include "link/status.h"
#include "link/transport.h"
#include "measure/acquisition.h"
#include "measure/displays.h"
#include "measure/recfile.h"
#include "measure/recpopup.h"
#include "platform/timing.h"
#include "platform/ui/userint.h"
#include "shared/files.h"
#include "shared/panels.h"
#include "shared/state.h"
#include "sim_process.h"
#include "touch/touchloops.h"
#include "touch/touchscreen.h"

namespace {

constexpr double kRunSeconds = 3.0;

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool connectProgram(int port) {
    comtype = 1;
    std::snprintf(szIPhostName, sizeof szIPhostName, "127.0.0.1");
    tcp_portnum = port;
    return InitTCP_IP() == 1;
}

// Echo exchanges per second through the program's link layer.
double programEchoRate() {
    int count = 0;
    const double start = Timer();
    while (Timer() - start < kRunSeconds) {
        FillTxBuf(ORD_ECHO, 0, nullptr, 0);
        if (DataExchange(8) != 1) return -1;
        ++count;
    }
    return count / (Timer() - start);
}

// Echo exchanges per second by a bare blocking socket: write 8 bytes, read 8 bytes.
double bareEchoRate(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) return -1;
    const uint8_t echo[8] = {0x55, 0x05, 0, 0, 0, 0, 0xAA, 0x3C};
    uint8_t reply[8];
    int count = 0;
    const double start = Timer();
    while (Timer() - start < kRunSeconds) {
        if (write(fd, echo, sizeof echo) != sizeof echo) break;
        size_t got = 0;
        while (got < sizeof reply) {
            const ssize_t n = read(fd, reply + got, sizeof reply - got);
            if (n <= 0) return -1;
            got += size_t(n);
        }
        ++count;
    }
    close(fd);
    return count / (Timer() - start);
}

// RUN cycles per second without drawing: the loop's exchange and copy only.
double bareRunRate() {
    int count = 0;
    const double start = Timer();
    while (Timer() - start < kRunSeconds) {
        FillTxBuf(ORD_RAW, 0, nullptr, 0);
        if (DataExchange(FRAME_HEADER_SIZE) != 1) return -1;
        std::memcpy(&raw, szReadBuf + FRAME_HEADER_SIZE, sizeof raw);
        ++count;
    }
    return count / (Timer() - start);
}

int runRequests = 0;
void countRunRequests(bool request, const uint8_t *bytes, int) {
    if (request && bytes[1] == ORD_RAW) ++runRequests;
}

// Microseconds per cycle of the display routines on the last record: without painting, and
// with the widgets repainted as the loop's event processing does.
struct DrawingCost {
    double routines, withRepaint;
};
DrawingCost drawingCost() {
    constexpr int kCycles = 2000;
    const RawRecord last = raw;
    const auto timed = [&](bool repaint) {
        const double start = Timer();
        for (int i = 0; i < kCycles; ++i) {
            raw.umValue = last.umValue + i % 50;  // a value that moves as a live one does
            PlotVIDEOBarGraph();
            PlotRAWGraph();
            if (repaint) ProcessSystemEvents();
        }
        return (Timer() - start) / kCycles * 1e6;
    };
    return {timed(false), timed(true)};
}

// RUN as the operator starts it (`loop`: the desktop's or the touch surface's), every display
// drawn on the shown panels, stopped after `seconds`: cycles per second.
double drawnRunRate(double seconds, void (*loop)() = PushRUN) {
    runRequests = 0;
    SetFrameTap(countRunRequests);
    QTimer::singleShot(static_cast<int>(seconds * 1000), [] { stop_flag = 1; });
    const double start = Timer();
    loop();
    const double wall = Timer() - start;
    SetFrameTap(nullptr);
    return stop_flag == 1 ? runRequests / wall : -1;
}

// The desktop recorder at increment 0 as the operator starts it, stopped after `seconds`: the
// samples taken.
double recorderSamples(double seconds) {
    std::remove(rec_fname);
    SetCtrlVal(pRec, REC_INCTIME, 0.0);
    SetCtrlVal(pRec, REC_SAMPLES, static_cast<int>(REC_MAX_SAMPLES));
    DisplayPanel(pRec);
    QTimer::singleShot(static_cast<int>(seconds * 1000), [] { stop_flag = 1; });
    CC_CBTNStartRecord(pRec, REC_START, EVENT_COMMIT, nullptr, 0, 0);
    int samples = 0;
    GetCtrlVal(pRec, REC_COUNTER, &samples);
    return samples;
}

// RUN cycles and recorder samples per second, measured in turns so that a change of the
// machine's load falls on both alike.
struct SideBySide {
    double run, recorder;
};
SideBySide runBesideRecorder(int turns, double seconds) {
    double runCycles = 0, runWall = 0, samples = 0, recordWall = 0;
    for (int turn = 0; turn < turns; ++turn) {
        double start = Timer();
        drawnRunRate(seconds);
        runCycles += runRequests;
        runWall += Timer() - start;
        start = Timer();
        samples += recorderSamples(seconds);
        recordWall += Timer() - start;
    }
    return {runCycles / runWall, samples / recordWall};
}

// Microseconds to append one sample line (open, write, close).
double appendLineCost(const char *path) {
    constexpr int kLines = 2000;
    const double start = Timer();
    for (int i = 0; i < kLines; ++i)
        if (AppendSampleLine(path, raw) != 1) return -1;
    return (Timer() - start) / kLines * 1e6;
}

}  // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    SelectEventDispatcher();
    QApplication app(argc, argv);
    SetLinkView({[](unsigned, const char *) {}, nullptr, nullptr});

    SimProcess sim;
    if (!sim.start()) {
        std::fprintf(stderr, "cannot start the simulator\n");
        return 1;
    }
    // The simulator serves one client at a time: the bare client first, then the program.
    const double bare = bareEchoRate(sim.tcpPort());
    if (!connectProgram(sim.tcpPort())) return 1;
    const double program = programEchoRate();
    CloseTCP();
    std::printf("(a) echo exchanges per second over loopback TCP\n");
    std::printf("    bare blocking client : %9.0f /s\n", bare);
    std::printf("    DataExchange         : %9.0f /s\n", program);
    std::printf("    ratio program / bare : %9.2f   (goal >= 0.80)\n", program / bare);

    SimProcess slow;
    if (!slow.start({"--delay-ms", "20"}) || !connectProgram(slow.tcpPort())) return 1;
    const double wall0 = Timer(), cpu0 = cpuSeconds();
    for (int i = 0; i < 100; ++i) {
        FillTxBuf(ORD_ECHO, 0, nullptr, 0);
        if (DataExchange(8) != 1) return 1;
    }
    const double wall = Timer() - wall0, cpu = cpuSeconds() - cpu0;
    CloseTCP();
    std::printf("(b) 100 exchanges with replies delayed 20 ms\n");
    std::printf("    wall %.3f s, CPU %.4f s, CPU / wall : %.4f   (goal <= 0.05)\n", wall, cpu,
                cpu / wall);

    // The main panel shown on the offscreen screen, the pair identified, the texts on its
    // status field: RUN as the operator sees it.
    if (LoadAllPanels() != 1) return 1;
    DisplayPanel(pPA);
    InstallLinkView(nullptr);
    if (!connectProgram(sim.tcpPort()) || InitDataExchange() != 1) return 1;
    const double bareRun = bareRunRate();
    const double drawnRun = drawnRunRate(kRunSeconds);
    const DrawingCost cost = drawingCost();
    CloseTCP();
    std::printf("(c) RUN cycles per second over loopback TCP\n");
    std::printf("    bare echo (a)        : %9.0f /s\n", bare);
    std::printf("    RUN without drawing  : %9.0f /s\n", bareRun);
    std::printf("    RUN, every display   : %9.0f /s   (goal >= 500)\n", drawnRun);
    std::printf("    ratio drawn / bare   : %9.2f\n", drawnRun / bare);
    std::printf("    drawing share        : %9.2f   (goal <= 0.50)\n", 1.0 - drawnRun / bareRun);
    std::printf("    display routines     : %9.1f us per cycle, %.1f us with the repaint\n",
                cost.routines, cost.withRepaint);

    if (!connectProgram(slow.tcpPort())) return 1;
    const double runWall0 = Timer(), runCpu0 = cpuSeconds();
    const double slowRun = drawnRunRate(5.0);
    const double runWall = Timer() - runWall0, runCpu = cpuSeconds() - runCpu0;
    CloseTCP();
    std::printf("(d) RUN with replies delayed 20 ms: %.1f cycles/s\n", slowRun);
    std::printf("    wall %.3f s, CPU %.4f s, CPU / wall : %.4f   (goal <= 0.05)\n", runWall,
                runCpu, runCpu / runWall);
    QTemporaryDir dir;
    std::snprintf(rec_fname, sizeof rec_fname, "%s", qPrintable(dir.filePath("RECORD.DAT")));
    if (!connectProgram(sim.tcpPort())) return 1;
    const SideBySide side = runBesideRecorder(6, 0.5);
    CloseTCP();
    const double lineCost = appendLineCost(qPrintable(dir.filePath("LINES.DAT")));
    std::printf("(e) recorder at increment 0 over loopback TCP\n");
    std::printf("    RUN, every display   : %9.0f /s\n", side.run);
    std::printf("    recorder samples     : %9.0f /s\n", side.recorder);
    std::printf("    ratio recorder / RUN : %9.2f   (goal >= 0.90)\n", side.recorder / side.run);
    std::printf("    append one line      : %9.1f us\n", lineCost);

    // The touch surface full-screen with its graph view: position graphs, strip chart and the
    // measured values, every touch display drawn; the desktop RUN measured again beside it.
    if (!connectProgram(sim.tcpPort())) return 1;
    const double desktopRun = drawnRunRate(kRunSeconds);
    tsd_flag = 1;
    ShowTouchSurface();
    SetCtrlVal(pTSD, TSD_TOG_NUM, 0);
    SetCtrlVal(pTSD, TSD_TOG_GRAPH, 1);
    const double touchRun = drawnRunRate(kRunSeconds, PushTSD_RUN);
    CloseTCP();
    if (!connectProgram(slow.tcpPort())) return 1;
    const double touchWall0 = Timer(), touchCpu0 = cpuSeconds();
    const double slowTouchRun = drawnRunRate(5.0, PushTSD_RUN);
    const double touchWall = Timer() - touchWall0, touchCpu = cpuSeconds() - touchCpu0;
    CloseTCP();
    std::printf("(f) touch RUN, every touch display drawn, over loopback TCP\n");
    std::printf("    desktop RUN          : %9.0f /s\n", desktopRun);
    std::printf("    touch RUN            : %9.0f /s\n", touchRun);
    std::printf("    ratio touch / desktop: %9.2f   (goal >= 0.80)\n", touchRun / desktopRun);
    std::printf("    with replies delayed 20 ms: %.1f cycles/s\n", slowTouchRun);
    std::printf("    wall %.3f s, CPU %.4f s, CPU / wall : %.4f   (goal <= 0.05)\n", touchWall,
                touchCpu, touchCpu / touchWall);
    CloseLinkLog();
    SetLinkView({});
    DiscardAllPanels();
    return 0;
}
