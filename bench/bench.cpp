// Benchmark of the sensor link against the simulator executable over loopback TCP.
// (a) echo exchanges per second through DataExchange beside a bare blocking-socket client;
// (b) CPU time of this process per wall time while replies take 20 ms to come.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <cstring>

#include "link/frame.h"
#include "link/status.h"
#include "link/transport.h"
#include "platform/timing.h"
#include "sim_process.h"

namespace {

constexpr double kRunSeconds = 3.0;

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool connectProgram(int port)
{
    comtype = 1;
    std::snprintf(szIPhostName, sizeof szIPhostName, "127.0.0.1");
    tcp_portnum = port;
    return InitTCP_IP() == 1;
}

// Echo exchanges per second through the program's link layer.
double programEchoRate()
{
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
double bareEchoRate(int port)
{
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

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
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
    return 0;
}
