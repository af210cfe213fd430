// Frame protocol and transports: bytes on the wire, CRC-8, exchanges over TCP and over the
// simulator's pseudo-terminal, every failure text of the frame layer, and the transport errors.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTimer>
#include <cstring>
#include <string>
#include <vector>

#include "link/crc8.h"
#include "link/frame.h"
#include "link/identify.h"
#include "link/status.h"
#include "link/transport.h"
#include "platform/serial.h"
#include "platform/timing.h"
#include "shared/state.h"
#include "sim_process.h"

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
    if (line == Line::Tcp) {
        comtype = 1;
        std::snprintf(szIPhostName, sizeof szIPhostName, "127.0.0.1");
        tcp_portnum = sim.tcpPort();
        return InitTCP_IP() == 1;
    }
    comtype = 0;
    qputenv("KTAV_COM7", QByteArray::fromStdString(sim.ptyPath()));
    rs232port = kSimPort;
    return InitRS232(kSimPort, 4) == 1;
}

// Runs one request through DataExchange; returns its result and the seconds it took.
std::pair<int, double> exchange(uint8_t order, uint16_t param = 0) {
    FillTxBuf(order, param, nullptr, 0);
    const double start = Timer();
    const int result = DataExchange(FRAME_HEADER_SIZE);
    return {result, Timer() - start};
}

}  // namespace

TEST(Crc8, TableAndKnownValues) {
    EXPECT_EQ(crc8Array[0], 0x00);
    EXPECT_EQ(crc8Array[1], 0x5E);
    EXPECT_EQ(crc8Array[2], 0xBC);
    EXPECT_EQ(crc8Array[3], 0xE2);
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(crc8Update(abc, 0, 0), 0xAA);
    EXPECT_EQ(crc8Update(abc, 0, 3), 0xDE);
}

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
    EXPECT_EQ(head.order, ORD_XF_READ);
    EXPECT_EQ(head.param, 0x1200);
    EXPECT_EQ(head.len, 2);
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
    connect();
    EXPECT_EQ(exchange(12).first, -1) << "an order the device does not know";
    EXPECT_STREQ(szStatus, "INVALID ORDER NUMBER!");
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
    EXPECT_EQ(exchange(ORD_ECHO).first, -1);
    EXPECT_STREQ(szStatus, "TIMEOUT!");
    closeTransports();
}
