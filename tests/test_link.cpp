// Frame protocol and transports: bytes on the wire with their CRC-8, exchanges over TCP and over
// the simulator's pseudo-terminal, every failure text of the frame layer, and the transport errors.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTcpServer>
#include <QTimer>
#include <atomic>
#include <optional>
#include <thread>
#include <tuple>

#include "core/link/commands.h"
#include "core/link/transport.h"
#include "core/params/paramblock.h"
#include "core/params/transfer.h"
#include "core/system/serial.h"
#include "scripted_line.h"
#include "scripted_peer.h"
#include "support.h"
#include "wire/crc8.h"

// Resident memory is only a measure of what the program holds when freed memory can be used
// again: AddressSanitizer keeps up to 256 MB of it aside by default, which would hide a flood.
extern "C" const char *__asan_default_options() {
    return "quarantine_size_mb=16";
}

namespace {

// Closes whatever transport a test left open, so that every test starts unconnected.
void closeTransports() {
    CloseTCP();
    CloseRS232();
    ResetTransportSettings();
    exit_flag = 0;
}

enum class Line { Tcp, Serial };
constexpr int kSimPort = 7;  // COM port number mapped to the simulator's pseudo-terminal
constexpr const char *kTooLong = "ATTENTION! RECEIVED FRAME TOO LONG!",
                     *kBadHeader = "ATTENTION! RECEIVED HEADER FRAME IS INCORRECT!";

int exchange(uint8_t order, uint16_t param = 0) {
    FillTxBuf(order, param, nullptr, 0);
    return DataExchange(FRAME_HEADER_SIZE);
}

long residentBytes() {
    return fileBytes("/proc/self/statm").split(' ').value(1).toLong() * sysconf(_SC_PAGESIZE);
}

// Opens the line under test to a peer that is only a file descriptor: a TCP connection
// accepted on a loopback port, or the other side of a pseudo-terminal. Returns it, or -1.
int openLineToRawPeer(Line line) {
    if (line == Line::Tcp) {
        QTcpServer server;
        if (!server.listen(QHostAddress::LocalHost)) return -1;
        comtype = 1;
        std::snprintf(szIPhostName, sizeof szIPhostName, "127.0.0.1");
        tcp_portnum = server.serverPort();
        if (InitTCP_IP() != 1 ||
            !(server.hasPendingConnections() || server.waitForNewConnection(5000)))
            return -1;
        return dup(int(server.nextPendingConnection()->socketDescriptor()));
    }
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return -1;
    qputenv("KTAV_COM7", ptsname(master));
    comtype = 0;
    rs232port = kSimPort;
    return InitRS232(kSimPort, 4) == 1 ? master : -1;
}

}  // namespace

TEST(StatusText, LineErrorTextsInOrderAndCutToFit) {
    // All three texts do not fit 71 characters: the last one is cut, never overflowing.
    const std::tuple<bool, int, const char *> cases[] = {
        {true, 0, "TIMEOUT!"},
        {true, kComParity, "TIMEOUT! COMM ERROR: PARITY!"},
        {false, kComFraming | kComInputLost, "X: COMM ERROR: INPUT LOST! COMM ERROR: FRAMING!"},
        {true, kComInputLost | kComParity | kComFraming,
         "TIMEOUT! COMM ERROR: INPUT LOST! COMM ERROR: PARITY! COMM ERROR: FRAMIN"}};
    for (auto [timedOut, bits, want] : cases) {
        SetStatus(timedOut ? "old" : "X:");
        ReportLineErrors(timedOut, bits);
        EXPECT_STREQ(szStatus, want);
    }
    SetStatus(std::string(300, 'x').c_str());
    AppendStatus("more");
    EXPECT_EQ(std::strlen(szStatus), size_t(STATUS_SIZE - 1));
    SetStatus(nullptr);
    AppendStatus(nullptr);
    EXPECT_STREQ(szStatus, "");
}

TEST(Transport, OpenAndConnectFailures) {
    closeTransports();
    qputenv("KTAV_COM9", "/nonexistent/ttyK9");
    EXPECT_EQ(InitRS232(9, 4), kRS232NoPortFound);
    EXPECT_STREQ(szStatus, "No serial port found");
    EXPECT_EQ(InitRS232(0, 4), kRS232InvalidPortNumber);
    EXPECT_STREQ(szStatus, "Invalid port number");
    EXPECT_STREQ(SerialErrorText(-9999), "RS-232 error!");
    QTcpServer probe;  // a port that was free a moment ago and has nobody listening now
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const int closedPort = probe.serverPort();
    probe.close();
    for (auto [host, port, want] : {std::tuple{"127.0.0.1", closedPort, "TCP FailedToConnect"},
                                    std::tuple{"", 10001, "TCP InvalidParameter"}}) {
        std::snprintf(szIPhostName, sizeof szIPhostName, "%s", host);
        tcp_portnum = port;
        EXPECT_EQ(InitTCP_IP(), 0) << host;
        EXPECT_EQ(tcp_con, 0);
        EXPECT_STREQ(szStatus, want);
    }
    EXPECT_EQ(std::tuple(BaudRateOfIndex(7, 115200), BaudRateOfIndex(-1, 9600)),
              std::tuple(115200, 9600));
    EXPECT_EQ(std::tuple(PortNumberOfText("10002x"), PortNumberOfText("abc"),
                         PortNumberOfText("65536"), PortNumberOfText(nullptr)),
              std::tuple(10002, 0, 0, 0));
}

class Exchange : public ::testing::TestWithParam<Line> {
  protected:
    void TearDown() override { closeTransports(); }

    // Starts the simulator with fault options and opens the line under test to it.
    void connect(const QStringList &options = {}) {
        closeTransports();
        ASSERT_TRUE(sim.start(options));
        ASSERT_TRUE(tcp() ? sim.openTcp() : sim.openSerial(kSimPort)) << szStatus;
    }
    bool tcp() const { return GetParam() == Line::Tcp; }

    SimProcess sim;
};

// Each fault fails the exchange it hits with its text; an echo afterwards works wherever the
// fault spares it: nothing of the bad reply is left behind.
TEST_P(Exchange, SimulatorFaultsFailTheExchangeWithTheirText) {
    // The simulator's options, the text, and the result of an echo afterwards.
    const std::tuple<QStringList, const char *, int> cases[] = {
        {{"--error-reply", "7=0"}, "INVALID ORDER NUMBER!", 1},
        {{"--error-reply", "7=25"}, "COMM ERROR! YOU MAY REDUCE BAUDRATE!", 1},
        {{"--corrupt-header-every", "1"}, kBadHeader, -1},
        {{"--corrupt-data-every", "1"}, "ATTENTION! RECEIVED DATA FRAME IS INCORRECT!", 1},
        {{"--oversize-order", "7"}, kTooLong, 1},
        {{"--drop-every", "1"}, "TIMEOUT!", -1},
    };
    for (const auto &[options, want, next] : cases) {
        connect(options);
        SetStatus("");
        EXPECT_EQ(exchange(ORD_VERSION), -1) << want;
        EXPECT_STREQ(szStatus, want);
        for (int i = FRAME_HEADER_SIZE; want == kTooLong && i < FRAME_BUFFER_SIZE; ++i)
            ASSERT_EQ(szReadBuf[i], 0) << i;
        EXPECT_EQ(exchange(ORD_ECHO), next) << want << ": " << szStatus;
    }
}

// A callback inside a wait cannot start a second exchange; closing the program ends a wait at
// once and without a text (a time-out would show one).
TEST_P(Exchange, AWaitRefusesANestedExchangeAndEndsWhenTheProgramCloses) {
    connect({"--delay-ms", "800"});
    static int nested;
    nested = 0;
    QTimer::singleShot(50, [] { nested = exchange(ORD_VERSION); });
    EXPECT_EQ(exchange(ORD_ECHO), 1) << szStatus;
    EXPECT_EQ(nested, -1) << "refused: the request and reply buffers are in use";
    EXPECT_FALSE(ExchangeActive());
    EXPECT_EQ(head.order, ORD_ECHO);
    SetStatus("untouched");
    QTimer::singleShot(100, [] { exit_flag = 1; });
    EXPECT_EQ(exchange(ORD_ECHO), -1);
    EXPECT_STREQ(szStatus, "untouched");
}

// A peer that sends garbage as fast as the line takes it, from a thread of its own, for 3 s.
TEST_P(Exchange, APeerThatFloodsTheLineCannotMakeTheProgramGrow) {
    closeTransports();
    const int peer = openLineToRawPeer(GetParam());
    ASSERT_GE(peer, 0) << szStatus;
    fcntl(peer, F_SETFL, fcntl(peer, F_GETFL) | O_NONBLOCK);
    const long before = residentBytes();
    ASSERT_GT(before, 0);
    std::atomic<bool> stop{false};
    std::atomic<long long> sent{0};
    std::thread flood([&, socket = tcp()] {
        char junk[65536];
        for (size_t i = 0; i < sizeof junk; ++i) junk[i] = char(i * 131 + 7);
        for (pollfd p{peer, POLLOUT, 0}; !stop && sent < (256LL << 20);) {
            if (poll(&p, 1, 50) <= 0) continue;
            const ssize_t n = socket ? send(peer, junk, sizeof junk, MSG_NOSIGNAL)
                                     : write(peer, junk, sizeof junk);
            if (n < 0 && errno != EAGAIN) return;
            if (n > 0) sent += n;
        }
    });
    waitFor([] { return false; }, 3.0);
    stop = true;
    flood.join();
    EXPECT_LT(residentBytes() - before, 48L << 20) << sent << " bytes sent by the peer";
    closeTransports();
    close(peer);
    connect();  // a sane peer: the simulator
    EXPECT_EQ(CheckComLine(), 1) << szStatus;
}

TEST_P(Exchange, ALateReplyIsNotTakenForTheNextRequest) {
    // The first reply comes 2.3 s late: after the time-out of its request, during the next.
    connect({"--delay-reply", "1=2300"});
    ResetParaBlock();
    const ParaBlock before = para;
    PushGET(RAM, 0);
    EXPECT_STREQ(szStatus, "Timeout-RS-232...");
    PushGET(RAM, 1);  // the general page's reply arrives while the MASTER page is awaited
    EXPECT_EQ(std::memcmp(&para.ma, &before.ma, sizeof para.ma), 0)
        << "the general page's bytes were taken as the MASTER page";
    PushGET(RAM, 1);
    EXPECT_STREQ(szStatus, "Parameter-frame received! MA - Line Ok!");
    EXPECT_EQ(std::tie(para.ma.power, para.ma.evalEnd), std::make_tuple(500, 4096));
}

TEST_P(Exchange, GetRawNeverTakesATriggerRecordForTheMeasurementRecord) {
    // As many trigger records as the line carries: a serial line at 115200 baud takes about 160
    // records of 72 bytes a second, and replies queue behind them.
    connect({"--trigger-hz", tcp() ? "1000" : "100"});
    // The sensor's external-trigger data mode: RS232-Out-Mode 1 in the general page in RAM.
    PushGET(RAM, 0);
    para.ge.rs232OutMode = 1;
    PushSEND(RAM, 0);
    ASSERT_EQ(std::string(szStatus).rfind("Transmission successful", 0), 0u) << szStatus;
    int taken = 0;
    for (int i = 0; i < 500; ++i) {
        std::memset(&raw, 0xEE, sizeof raw);
        if (GetRAW() != 1) continue;
        ++taken;
        ASSERT_EQ(std::tie(head.order, head.len), std::make_tuple(ORD_RAW, sizeof raw)) << i;
        ASSERT_NE(raw.unused6, 0xEEEE) << "call " << i;
    }
    EXPECT_GE(taken, 490) << "a trigger record in the way is skipped, not a failure";
}

INSTANTIATE_TEST_SUITE_P(BothLines, Exchange, ::testing::Values(Line::Tcp, Line::Serial),
                         [](auto &i) { return i.param == Line::Tcp ? "Tcp" : "Serial"; });

// A server that closes is noticed without user action, and the next exchange ends at once with
// the cause; one that closes in place of a reply ends that exchange with it, not a time-out.
TEST(TcpTransport, AServerCloseIsNoticedAndEndsTheExchange) {
    for (bool inPlaceOfAReply : {false, true}) {
        closeTransports();
        SimProcess sim;
        ASSERT_TRUE(sim.start(inPlaceOfAReply
                                  ? QStringList{"--drop-every", "2", "--close-after", "2"}
                                  : QStringList{"--close-after", "1"}));
        ASSERT_TRUE(sim.openTcp());
        EXPECT_EQ(exchange(ORD_ECHO), 1);
        if (!inPlaceOfAReply) {
            EXPECT_TRUE(waitFor([] { return tcp_con == 0; }, 5.0));
            EXPECT_EQ(tcp_hconversation, 0u);
        }
        SetStatus("");
        EXPECT_EQ(exchange(ORD_ECHO), -1);
        EXPECT_STREQ(szStatus, "SERVER HAS CLOSED CONNECTION!") << inPlaceOfAReply;
        EXPECT_EQ(tcp_con, 0);
    }
}

// The reply the frame layer takes, over TCP from a scripted peer and over a scripted serial line
// (which raises line errors too: the pseudo-terminal cannot). Replies that answer another
// request are refused whatever their CRCs say, trigger records in front of the reply are
// skipped, and a line error fails the reply it arrives with.
TEST(ReplyCheck, OnlyTheAnswerToTheRequestIsTaken) {
    closeTransports();
    // A reply of `len` data bytes behind the start mark `mark`, both CRCs correct.
    auto reply = [](uint8_t order, uint16_t param, int len, uint8_t mark = 0x55) {
        QByteArray f(FRAME_HEADER_SIZE + len, '\x5A');
        auto *b = reinterpret_cast<uint8_t *>(f.data());
        const uint8_t header[6] = {
            mark, order, uint8_t(param), uint8_t(param >> 8), uint8_t(len), uint8_t(len >> 8)};
        std::memcpy(b, header, sizeof header);
        b[6] = crc8Update(b, FRAME_HEADER_SIZE, len);
        b[7] = crc8Update(b, 0, 7);
        return f;
    };
    const QByteArray trigger = reply(ORD_TRIGGER, 0, 24), record = reply(ORD_RAW, 0, 64);
    QByteArray damaged = trigger;
    damaged[FRAME_HEADER_SIZE + 3] = '\x7F';  // its data CRC no longer fits
    constexpr const char *kWrong = "ATTENTION! RECEIVED FRAME DOES NOT ANSWER THE REQUEST!";
    struct Case {
        const char *what;
        uint8_t order;
        uint16_t param;
        QByteArray reply;
        int result;
        const char *status = nullptr;          // nullptr: not checked
        int headerErrors = 0, dataErrors = 0;  // serial line errors raised with either part
    } cases[] = {
        {"the general page for MASTER's", ORD_GET_RAM, 1, reply(ORD_GET_RAM, 0, 32), -1, kWrong},
        {"another order", ORD_GET_RAM, 1, reply(ORD_VIDEO, 1, 32), -1, kWrong},
        {"MASTER's for SLAVE's", ORD_CALIB_READ, 2, reply(ORD_CALIB_READ, 1, 32), -1, kWrong},
        {"another flash address", ORD_XF_ERASE, 0x1300, reply(ORD_XF_ERASE, 0x1200, 0), -1, kWrong},
        {"another EEPROM page", ORD_SEND_EEPROM, 2, reply(ORD_SEND_EEPROM, 1, 0), -1, kWrong},
        {"echo with the serial number", ORD_ECHO, 0, reply(ORD_ECHO, 4711, 0), 1},
        {"version with the serial number", ORD_VERSION, 0, reply(ORD_VERSION, 4711, 72), 1},
        {"a trigger record first", ORD_RAW, 0, trigger + record, 1, ""},
        {"two triggers first", ORD_GET_RAM, 2, trigger + trigger + reply(ORD_GET_RAM, 2, 32), 1},
        {"a damaged trigger record first", ORD_RAW, 0, damaged + record, 1, ""},
        {"only a trigger record", ORD_RAW, 0, trigger, -1, "TIMEOUT!"},
        {"no data behind the header", ORD_RAW, 0, record.left(FRAME_HEADER_SIZE), -1, "TIMEOUT!"},
        {"no start mark", ORD_VIDEO, 0, reply(ORD_VIDEO, 0, 512, 0xAA), -1, kBadHeader},
        {"the largest reply", ORD_VIDEO, 0, reply(ORD_VIDEO, 0, FRAME_MAX_DATA), 1},
        {"one data byte more", ORD_VIDEO, 0, reply(ORD_VIDEO, 0, FRAME_MAX_DATA + 1), -1, kTooLong},
        {"parity", ORD_RAW, 0, record, -1, " COMM ERROR: PARITY!", kComParity},
        {"input lost", ORD_RAW, 0, record, -1, " COMM ERROR: INPUT LOST!", kComInputLost},
        {"framing with the data", ORD_RAW, 0, record, -1, " COMM ERROR: FRAMING!", 0, kComFraming},
    };
    ScriptedLine line;
    for (Line transport : {Line::Tcp, Line::Serial}) {
        if (transport == Line::Serial) {
            line.install(kSimPort);
            comtype = 0;
            rs232port = kSimPort;
        }
        for (const Case &c : cases) {
            std::optional<ScriptedPeer> peer;
            if (transport == Line::Tcp) {
                if (c.headerErrors || c.dataErrors) continue;
                peer.emplace().answerWith(c.reply);
            } else {
                const auto data = c.reply.begin() + FRAME_HEADER_SIZE;
                line.play({{0.001, Bytes(c.reply.begin(), data), c.headerErrors},
                           {0.002, Bytes(data, c.reply.end()), c.dataErrors}});
            }
            SetStatus("");
            EXPECT_EQ(exchange(c.order, c.param), c.result) << c.what << ": " << szStatus;
            EXPECT_TRUE(!c.status || std::string(szStatus) == c.status) << c.what;
            EXPECT_TRUE(c.result != 1 || head.order == c.order) << c.what;
        }
    }
    line.uninstall();
}
