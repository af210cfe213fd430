// Frame protocol and transports: bytes on the wire with their CRC-8, exchanges over TCP and over
// the simulator's pseudo-terminal, every failure text of the frame layer, and the transport errors.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTcpServer>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "link/commands.h"
#include "link/crc8.h"
#include "link/frame.h"
#include "link/identify.h"
#include "link/status.h"
#include "link/transport.h"
#include "params/paramblock.h"
#include "params/transfer.h"
#include "platform/serial.h"
#include "platform/timing.h"
#include "scripted_peer.h"
#include "shared/state.h"
#include "sim_process.h"

// Resident memory is only a measure of what the program holds when freed memory can be used
// again: AddressSanitizer keeps up to 256 MB of it aside by default, a bound of its own that
// would hide what the flood test looks for.
extern "C" const char *__asan_default_options() {
    return "quarantine_size_mb=16";
}

namespace {

std::vector<uint8_t> bytes(const uint8_t *p, int n) {
    return {p, p + n};
}

std::vector<uint8_t> requestOf(uint8_t order, uint16_t param, const void *data, uint16_t len) {
    FillTxBuf(order, param, data, len);
    return bytes(szWriteBuf, FRAME_HEADER_SIZE + (data ? len : 0));
}

// Closes whatever transport a test left open, so that every test starts unconnected.
void closeTransports() {
    CloseTCP();
    CloseRS232();
    ResetTransportSettings();
    exit_flag = 0;
}

enum class Line { Tcp, Serial };

constexpr int kSimPort = 7;  // COM port number mapped to the simulator's pseudo-terminal

// Opens the transport `line` to a running simulator; true when open.
bool openLine(Line line, const SimProcess &sim) {
    return line == Line::Tcp ? sim.openTcp() : sim.openSerial(kSimPort);
}

// Runs one request through DataExchange; returns its result and the seconds it took.
std::pair<int, double> exchange(uint8_t order, uint16_t param = 0) {
    FillTxBuf(order, param, nullptr, 0);
    const double start = Timer();
    const int result = DataExchange(FRAME_HEADER_SIZE);
    return {result, Timer() - start};
}

// Resident memory of this process in bytes.
long residentBytes() {
    long pages = 0, resident = 0;
    if (std::FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

// A peer that sends garbage as fast as the line takes it, from its own thread, until stopped
// or 256 MB have gone out.
class Flood {
  public:
    Flood(int fd, bool socket) : fd_(fd), socket_(socket) {
        fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
        thread_ = std::thread([this] { run(); });
    }
    ~Flood() { stop(); }
    void stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    long long sent() const { return sent_; }

  private:
    void run() {
        std::vector<char> junk(65536);
        for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(i * 131 + 7);
        while (!stop_ && sent_ < (256LL << 20)) {
            pollfd p{fd_, POLLOUT, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            const ssize_t n = socket_ ? send(fd_, junk.data(), junk.size(), MSG_NOSIGNAL)
                                      : write(fd_, junk.data(), junk.size());
            if (n > 0) sent_ += n;
            if (n < 0 && errno != EAGAIN) return;
        }
    }

    int fd_;
    bool socket_;
    std::atomic<bool> stop_{false};
    std::atomic<long long> sent_{0};
    std::thread thread_;
};

// Opens the line under test to a peer that is only a file descriptor: a TCP connection
// accepted on a loopback port, or the other side of a pseudo-terminal. Returns the peer's
// descriptor, or -1.
int openLineToRawPeer(Line line) {
    if (line == Line::Tcp) {
        const int server = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(server, reinterpret_cast<sockaddr *>(&address), size) != 0 ||
            listen(server, 1) != 0 ||
            getsockname(server, reinterpret_cast<sockaddr *>(&address), &size) != 0)
            return -1;
        comtype = 1;
        std::snprintf(szIPhostName, sizeof szIPhostName, "127.0.0.1");
        tcp_portnum = ntohs(address.sin_port);
        const int peer = InitTCP_IP() == 1 ? accept(server, nullptr, nullptr) : -1;
        close(server);
        return peer;
    }
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return -1;
    qputenv("KTAV_COM7", ptsname(master));
    comtype = 0;
    rs232port = kSimPort;
    return InitRS232(kSimPort, 4) == 1 ? master : -1;
}

}  // namespace

TEST(FillTxBuf, RequestBytes) {
    const uint16_t wordCount = 256;
    const std::vector<uint8_t> twoZeros = {0, 0};
    struct Case {
        const char *what;
        std::vector<uint8_t> got, want;
    } cases[] = {
        {"echo", requestOf(ORD_ECHO, 0, nullptr, 0), {0x55, 0x05, 0, 0, 0, 0, 0xAA, 0x3C}},
        {"GET master set from RAM",
         requestOf(ORD_GET_RAM, 1, nullptr, 0),
         {0x55, 0x02, 0x01, 0, 0, 0, 0xAA, 0x74}},
        {"GET slave set from EEPROM",
         requestOf(ORD_GET_EEPROM, 2, nullptr, 0),
         {0x55, 0x04, 0x02, 0, 0, 0, 0xAA, 0x88}},
    };
    for (const Case &c : cases) EXPECT_EQ(c.got, c.want) << c.what;

    // The flash read carries only the low byte of its word count: 256 goes out as 00 00.
    const std::vector<uint8_t> read = requestOf(ORD_XF_READ, 0x1200, &wordCount, 2);
    ASSERT_EQ(read.size(), 10u);
    EXPECT_EQ(std::vector<uint8_t>(read.begin() + 8, read.end()), twoZeros);
    EXPECT_EQ(read[6], crc8Update(twoZeros.data(), 0, 2));
    EXPECT_EQ(crc8Update(read.data(), 0, 8), 0) << "a correct header checks to 0";
    EXPECT_EQ(std::tie(head.order, head.param, head.len), std::make_tuple(ORD_XF_READ, 0x1200, 2));
}

TEST(StatusText, LineErrorTextsInOrderAndCutToFit) {
    struct Case {
        const char *before;
        bool timedOut;
        int bits;
        const char *want;
    } cases[] = {
        {"old", true, 0, "TIMEOUT!"},
        {"old", true, kComParity, "TIMEOUT! COMM ERROR: PARITY!"},
        {"X:", false, kComFraming | kComInputLost,
         "X: COMM ERROR: INPUT LOST! COMM ERROR: FRAMING!"},
        // All three texts do not fit 71 characters: the last one is cut, never overflowing.
        {"old", true, kComInputLost | kComParity | kComFraming,
         "TIMEOUT! COMM ERROR: INPUT LOST! COMM ERROR: PARITY! COMM ERROR: FRAMIN"},
    };
    for (const Case &c : cases) {
        SetStatus(c.before);
        ReportLineErrors(c.timedOut, c.bits);
        EXPECT_STREQ(szStatus, c.want);
    }
    SetStatus(std::string(300, 'x').c_str());
    EXPECT_EQ(std::strlen(szStatus), size_t(STATUS_SIZE - 1));
    AppendStatus("more");
    EXPECT_EQ(std::strlen(szStatus), size_t(STATUS_SIZE - 1));
}

TEST(Transport, OpenAndConnectFailures) {
    closeTransports();
    qputenv("KTAV_COM9", "/nonexistent/ttyK9");
    EXPECT_EQ(InitRS232(9, 4), kRS232NoPortFound);
    EXPECT_STREQ(szStatus, "No serial port found");
    EXPECT_EQ(InitRS232(0, 4), kRS232InvalidPortNumber);
    EXPECT_STREQ(szStatus, "Invalid port number");

    QTcpServer probe;  // a port that was free a moment ago and has nobody listening now
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const int closedPort = probe.serverPort();
    probe.close();
    struct Case {
        const char *host;
        int port;
        const char *want;
    } cases[] = {
        {"127.0.0.1", closedPort, "TCP FailedToConnect"},
        {"", 10001, "TCP InvalidParameter"},
    };
    for (const Case &c : cases) {
        std::snprintf(szIPhostName, sizeof szIPhostName, "%s", c.host);
        tcp_portnum = c.port;
        EXPECT_EQ(InitTCP_IP(), 0) << c.host;
        EXPECT_EQ(tcp_con, 0);
        EXPECT_STREQ(szStatus, c.want);
    }
    EXPECT_EQ(BaudRateOfIndex(7, 115200), 115200);
    EXPECT_EQ(PortNumberOfText("10002x"), 10002);
    EXPECT_EQ(PortNumberOfText("abc"), 0);
}

class Exchange : public ::testing::TestWithParam<Line> {
  protected:
    void TearDown() override { closeTransports(); }

    // Starts the simulator with fault options and opens the line under test to it.
    void connect(const QStringList &options = {}) {
        closeTransports();
        ASSERT_TRUE(sim.start(options));
        ASSERT_TRUE(openLine(GetParam(), sim)) << szStatus;
    }

    bool tcp() const { return GetParam() == Line::Tcp; }

    SimProcess sim;
};

TEST_P(Exchange, EchoAndRepliesWithData) {
    connect({"--serial", "4711"});
    EXPECT_EQ(CheckComLine(), 1);
    EXPECT_STREQ(szStatus, "Echo Check - Line Ok!");
    EXPECT_EQ(hwinfo.serialno, 4711);
    EXPECT_EQ(head.len, 0) << "a reply without data completes at once";

    struct Case {
        uint8_t order;
        int len;
    } cases[] = {
        {ORD_VERSION, 72}, {ORD_HWINFO, 32}, {ORD_RAW, 64}, {ORD_VIDEO, 512}, {ORD_GET_RAM, 32}};
    for (const Case &c : cases) {
        EXPECT_EQ(exchange(c.order).first, 1) << int(c.order) << ": " << szStatus;
        EXPECT_EQ(head.order, c.order);
        EXPECT_EQ(head.len, c.len);
        if (c.order == ORD_VERSION) {
            EXPECT_EQ(std::memcmp(szReadBuf + 8, "K-TAV-PX-MA", 11), 0);
        }
    }
}

TEST_P(Exchange, ErrorRepliesAndCorruptFrames) {
    struct Case {
        QStringList options;
        const char *want;
    } cases[] = {
        {{"--error-reply", "7=0"}, "INVALID ORDER NUMBER!"},
        {{"--error-reply", "7=25"}, "COMM ERROR! YOU MAY REDUCE BAUDRATE!"},
        {{"--corrupt-header-every", "1"}, "ATTENTION! RECEIVED HEADER FRAME IS INCORRECT!"},
        {{"--corrupt-data-every", "1"}, "ATTENTION! RECEIVED DATA FRAME IS INCORRECT!"},
    };
    for (const Case &c : cases) {
        connect(c.options);
        SetStatus("");
        EXPECT_EQ(exchange(ORD_VERSION).first, -1) << c.want;
        EXPECT_STREQ(szStatus, c.want);
        closeTransports();
        sim.stop();
    }
}

TEST_P(Exchange, OversizeReplyIsRefusedAndTheNextExchangeWorks) {
    connect({"--oversize-order", "7"});
    EXPECT_EQ(exchange(ORD_VERSION).first, -1);
    EXPECT_STREQ(szStatus, "ATTENTION! RECEIVED FRAME TOO LONG!");
    for (int i = FRAME_HEADER_SIZE; i < FRAME_BUFFER_SIZE; ++i) ASSERT_EQ(szReadBuf[i], 0) << i;
    EXPECT_EQ(exchange(ORD_ECHO).first, 1) << szStatus;
    EXPECT_EQ(exchange(ORD_RAW).first, 1) << szStatus;
}

TEST_P(Exchange, TimeOutsOfHeaderAndData) {
    connect({"--drop-every", "1"});
    const auto [result, seconds] = exchange(ORD_ECHO);
    EXPECT_EQ(result, -1);
    EXPECT_STREQ(szStatus, "TIMEOUT!");
    const double headerTimeout = tcp() ? 2.0 : 1.5;
    EXPECT_GE(seconds, headerTimeout);
    EXPECT_LT(seconds, headerTimeout + 3.0) << "bounded, generous";

    // Data that never come: a header announcing 10 bytes with nothing behind it.
    head.len = 10;
    const double start = Timer();
    EXPECT_EQ(GetDataFrame(10), -1);
    EXPECT_STREQ(szStatus, "TIMEOUT!");
    EXPECT_GE(Timer() - start, 1.5);
    EXPECT_LT(Timer() - start, 4.5);
}

TEST_P(Exchange, ClosingTheProgramEndsAWaitWithoutAText) {
    connect({"--delay-ms", "3000"});
    SetStatus("untouched");
    QTimer::singleShot(100, [] { exit_flag = 1; });
    const auto [result, seconds] = exchange(ORD_ECHO);
    EXPECT_EQ(result, -1);
    EXPECT_STREQ(szStatus, "untouched");
    EXPECT_LT(seconds, 1.4) << "ended by the exit request, not by the time-out";
}

TEST_P(Exchange, ACallbackInsideAWaitCannotStartASecondExchange) {
    connect({"--delay-ms", "300"});
    static int nested = 0;
    nested = 0;
    QTimer::singleShot(50, [] { nested = exchange(ORD_VERSION).first; });
    EXPECT_EQ(exchange(ORD_ECHO).first, 1) << szStatus;
    EXPECT_EQ(nested, -1) << "refused: the request and reply buffers are in use";
    EXPECT_FALSE(ExchangeActive());
    EXPECT_EQ(head.order, ORD_ECHO);
}

TEST_P(Exchange, APeerThatFloodsTheLineCannotMakeTheProgramGrow) {
    closeTransports();
    const int peer = openLineToRawPeer(GetParam());
    ASSERT_GE(peer, 0) << szStatus;
    const long before = residentBytes();
    long long sent = 0;
    {
        Flood flood(peer, tcp());
        const double end = Timer() + 3.0;
        while (Timer() < end) WaitForSystemEvents(0.05);
        flood.stop();
        sent = flood.sent();
    }
    const long grown = residentBytes() - before;
    EXPECT_LT(grown, 48L << 20) << sent << " bytes sent by the peer";
    closeTransports();
    close(peer);

    connect();  // a sane peer: the simulator
    EXPECT_EQ(CheckComLine(), 1) << szStatus;
}

INSTANTIATE_TEST_SUITE_P(BothLines, Exchange, ::testing::Values(Line::Tcp, Line::Serial),
                         [](const auto &info) {
                             return std::string(info.param == Line::Tcp ? "Tcp" : "Serial");
                         });

TEST(TcpTransport, ServerCloseIsNoticedWithoutUserAction) {
    closeTransports();
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--close-after", "1"}));
    ASSERT_TRUE(openLine(Line::Tcp, sim));
    EXPECT_EQ(exchange(ORD_ECHO).first, 1);
    const double deadline = Timer() + 5.0;
    while (tcp_con != 0 && Timer() < deadline) WaitForSystemEvents(0.05);
    EXPECT_EQ(tcp_con, 0);
    EXPECT_EQ(tcp_hconversation, 0u);
    EXPECT_STREQ(szStatus, "SERVER HAS CLOSED CONNECTION!");
    // The next exchange ends at once with the cause, not after the time-out.
    SetStatus("");
    EXPECT_EQ(exchange(ORD_ECHO).first, -1);
    EXPECT_STREQ(szStatus, "SERVER HAS CLOSED CONNECTION!");
    closeTransports();
}

TEST(TcpTransport, AServerClosingDuringAWaitEndsThatExchange) {
    closeTransports();
    SimProcess sim;
    // The second reply is dropped and the connection closed in its place.
    ASSERT_TRUE(sim.start({"--drop-every", "2", "--close-after", "2"}));
    ASSERT_TRUE(openLine(Line::Tcp, sim));
    EXPECT_EQ(exchange(ORD_ECHO).first, 1);
    EXPECT_EQ(exchange(ORD_ECHO).first, -1);
    EXPECT_STREQ(szStatus, "SERVER HAS CLOSED CONNECTION!") << "not a time-out";
    EXPECT_EQ(tcp_con, 0);
    closeTransports();
}

// Replies that answer another request are refused, whatever their CRCs say; trigger records
// in front of the reply are skipped.
TEST(ReplyCheck, OnlyTheAnswerToTheRequestIsTaken) {
    closeTransports();
    const uint8_t page[32] = {1, 2, 3, 4, 5, 6, 7, 8};
    const uint8_t record[64] = {9, 8, 7};
    const uint8_t trigger[24] = {0x18};
    const QByteArray triggerFrame = ScriptedPeer::frame(ORD_TRIGGER, 0, trigger, sizeof trigger);
    QByteArray damagedTrigger = triggerFrame;
    damagedTrigger[FRAME_HEADER_SIZE + 3] = '\x7F';  // its data CRC no longer fits
    constexpr const char *kWrong = "ATTENTION! RECEIVED FRAME DOES NOT ANSWER THE REQUEST!";
    struct Case {
        const char *what;
        uint8_t order;
        uint16_t param;
        QByteArray reply;
        int result;
        const char *status;  // nullptr: not checked
    } cases[] = {
        {"the general page for the MASTER page", ORD_GET_RAM, 1,
         ScriptedPeer::frame(ORD_GET_RAM, 0, page, sizeof page), -1, kWrong},
        {"another order", ORD_GET_RAM, 1, ScriptedPeer::frame(ORD_VIDEO, 1, page, sizeof page), -1,
         kWrong},
        {"the MASTER header for the SLAVE's", ORD_CALIB_READ, 2,
         ScriptedPeer::frame(ORD_CALIB_READ, 1, page, sizeof page), -1, kWrong},
        {"another flash address", ORD_XF_ERASE, 0x1300,
         ScriptedPeer::frame(ORD_XF_ERASE, 0x1200, nullptr, 0), -1, kWrong},
        {"a SEND to EEPROM answered for another page", ORD_SEND_EEPROM, 2,
         ScriptedPeer::frame(ORD_SEND_EEPROM, 1, nullptr, 0), -1, kWrong},
        {"the echo carries the serial number", ORD_ECHO, 0,
         ScriptedPeer::frame(ORD_ECHO, 4711, nullptr, 0), 1, nullptr},
        {"the firmware text carries the serial number", ORD_VERSION, 0,
         ScriptedPeer::frame(ORD_VERSION, 4711, page, sizeof page), 1, nullptr},
        {"a trigger record in front of the reply", ORD_RAW, 0,
         triggerFrame + ScriptedPeer::frame(ORD_RAW, 0, record, sizeof record), 1, nullptr},
        {"two trigger records in front of the reply", ORD_GET_RAM, 2,
         triggerFrame + triggerFrame + ScriptedPeer::frame(ORD_GET_RAM, 2, page, sizeof page), 1,
         nullptr},
        {"a damaged trigger record in front of the reply", ORD_RAW, 0,
         damagedTrigger + ScriptedPeer::frame(ORD_RAW, 0, record, sizeof record), 1, ""},
        {"only a trigger record", ORD_RAW, 0, triggerFrame, -1, "TIMEOUT!"},
        {"an error reply keeps its text", ORD_GET_RAM, 1,
         ScriptedPeer::frame(ORD_ERROR, 25, nullptr, 0), -1,
         "COMM ERROR! YOU MAY REDUCE BAUDRATE!"},
    };
    for (const Case &c : cases) {
        ScriptedPeer peer;
        peer.answerWith(c.reply);
        SetStatus("");
        const auto [result, seconds] = exchange(c.order, c.param);
        EXPECT_EQ(result, c.result) << c.what << ": " << szStatus;
        if (c.status) {
            EXPECT_STREQ(szStatus, c.status) << c.what;
        }
        if (c.result == 1) {
            EXPECT_EQ(head.order, c.order) << c.what;
        }
    }
}

TEST_P(Exchange, ALateReplyIsNotTakenForTheNextRequest) {
    // The first reply comes 2.3 s late: after the time-out of its request, during the next.
    connect({"--delay-reply", "1=2300"});
    ResetParaBlock();
    const ParaBlock before = para;
    PushGET(RAM, 0);
    EXPECT_STREQ(szStatus, "Timeout-RS-232...");
    PushGET(RAM, 1);  // the general page's reply arrives while the MASTER page is awaited
    EXPECT_STREQ(szStatus, "Timeout-RS-232...");
    EXPECT_EQ(std::memcmp(&para.ma, &before.ma, sizeof para.ma), 0)
        << "the general page's bytes were taken as the MASTER page";
    PushGET(RAM, 1);
    EXPECT_STREQ(szStatus, "Parameter-frame received! MA - Line Ok!");
    EXPECT_EQ(para.ma.power, 500) << "the simulator's MASTER page";
    EXPECT_EQ(para.ma.evalEnd, 4096);
}

TEST_P(Exchange, GetRawNeverTakesATriggerRecordForTheMeasurementRecord) {
    // As many trigger records as the line carries: a serial line at 115200 baud takes about 160
    // records of 72 bytes a second, and replies queue behind them.
    connect({"--trigger-hz", tcp() ? "1000" : "100"});
    // The sensor's external-trigger data mode: RS232-Out-Mode 1 in the general page in RAM.
    ASSERT_EQ(exchange(ORD_GET_RAM, 0).first, 1);
    ParaGeneral general;
    std::memcpy(&general, szReadBuf + FRAME_HEADER_SIZE, sizeof general);
    general.rs232OutMode = 1;
    FillTxBuf(ORD_SEND_RAM, 0, &general, sizeof general);
    ASSERT_EQ(DataExchange(FRAME_HEADER_SIZE + sizeof general), 1) << szStatus;
    int taken = 0;
    for (int i = 0; i < 500; ++i) {
        std::memset(&raw, 0xEE, sizeof raw);
        const int result = GetRAW();
        if (result != 1) continue;
        ++taken;
        ASSERT_EQ(head.order, ORD_RAW) << "call " << i;
        ASSERT_EQ(head.len, sizeof raw) << "call " << i;
        ASSERT_NE(raw.unused6, 0xEEEE) << "call " << i;
    }
    EXPECT_GE(taken, 490) << "a trigger record in the way is skipped, not a failure";
}
