#include "core/link/transport.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/link/frame.h"
#include "core/link/status.h"
#include "core/state/flags.h"
#include "core/system/serial.h"
#include "core/system/tcp.h"

int comtype, rs232port, rs232baudrate, rs232_con;
char szIPhostName[HOST_TEXT_SIZE];
char szPortNum[HOST_TEXT_SIZE];
int tcp_portnum;
unsigned tcp_hconversation;
int tcp_con;

namespace {
struct StartValues {
    StartValues() { ResetTransportSettings(); }
} startValues;

struct CodeText {
    int code;
    const char *text;
};

constexpr CodeText serialTexts[] = {
    {-1, "Unknown system error"}, {-2, "Invalid port number"},
    {-3, "Port is not open"},     {-4, "Unknown I/0 error"},
    {-6, "No serial port found"}, {-7, "Cannot open port"},
    {-13, "Invalid parameter"},   {-99, "Timeout"},
};

constexpr CodeText tcpTexts[] = {
    {-1, "TCP UnableToRegisterService"},
    {-2, "TCP UnableToEstablishConnection"},
    {-3, "TCP ExistingServer"},
    {-4, "TCP FailedToConnect"},
    {-5, "TCP ServerNotRegistered"},
    {-6, "TCP TooManyConversations"},
    {-7, "TCP ReadFailed"},
    {-8, "TCP WriteFailed"},
    {-9, "TCP InvalidParameter"},
    {-10, "TCP OutOfMemory"},
    {-11, "TCP TimeOutError"},
    {-12, "TCP NoConnectionEstablished"},
    {-13, "TCP GeneralIOErr"},
    {-14, "TCP ConnectionClosed"},
    {-15, "TCP UnableToLoadWinsockDLL"},
    {-16, "TCP IncorrectWinsockDLLVersion"},
    {-17, "TCP NetworkSubsystemNotReady"},
    {-18, "TCP ConnectionsStillOpen"},
    {-19, "TCP DisconnectPending"},
    {-20, "TCP InfoNotAvailable"},
};

template <size_t N>
const char *lookup(const CodeText (&table)[N], int code, const char *otherwise) {
    for (const CodeText &row : table)
        if (row.code == code) return row.text;
    return otherwise;
}

bool serverClosed = false;

// Reads and drops what the socket holds: bytes nobody waits for. Bounded, so that a peer that
// sends without end cannot hold the program here; the rest is dropped on the next pass.
void discardTcp(unsigned handle) {
    uint8_t scratch[4096];
    for (int pass = 0; pass < 16 && ClientTCPRead(handle, scratch, sizeof scratch, 0) > 0; ++pass) {
    }
}

// Appends received bytes to szReadBuf, waiting up to timeoutMs when none have come.
void appendTcp(unsigned handle, unsigned timeoutMs) {
    if (dataSizeRec < 0) dataSizeRec = 0;
    const int room = FRAME_BUFFER_SIZE - dataSizeRec;
    if (room <= 0) return;  // the buffer is full; the rest is drained by the frame layer
    const int n =
        ClientTCPRead(handle, szReadBuf + dataSizeRec, static_cast<size_t>(room), timeoutMs);
    if (n > 0) dataSizeRec += n;
}

// Bytes on the serial line while nobody waits for them are dropped as they come.
void onComBytes(int port) {
    if (port == rs232port && !ReceiveWanted()) FlushInQ(port);
}

// A port that vanished while open: closed by the platform, reported here once. A port the
// program has closed meanwhile is no link it uses.
void onComLost(int port) {
    if (port != rs232port || rs232_con != 1) return;
    rs232_con = kRS232PortNotOpen;
    SetStatus("RS-232 PORT LOST! Please check the line and connect again.");
    ShowStatus(ST_ALL);
    ReportSensorLost(LostDuring::Nothing);
}

// The status text of a failed open. A device the user may not open gets words to act on: the
// device and the group that owns it (without the device when both do not fit a status text).
void setSerialFailure(int port, int code) {
    const std::string group = code == kRS232PermissionDenied ? ComDeviceGroup(port) : "";
    if (group.empty()) {
        SetStatus(SerialErrorText(code == kRS232PermissionDenied ? kRS232CannotOpenPort : code));
        return;
    }
    std::string text = ComDeviceName(port) + ": no permission; add user to group " + group;
    if (text.size() >= STATUS_SIZE) text = "No permission for the port; add user to group " + group;
    SetStatus(text.c_str());
}
}  // namespace

void ResetTransportSettings() {
    comtype = 0;
    rs232port = 1;
    rs232baudrate = 4;
    rs232_con = tcp_con = 0;
    tcp_hconversation = 0;
    tcp_portnum = 10001;
    std::memset(szIPhostName, 0, sizeof szIPhostName);
    std::snprintf(szPortNum, sizeof szPortNum, "%s", "10001");
}

long BaudRateOfIndex(int index, long otherwise) {
    static constexpr long rates[] = {9600, 19200, 38400, 57600, 115200};
    return index >= 0 && index <= 4 ? rates[index] : otherwise;
}

const char *SerialErrorText(int code) {
    return lookup(serialTexts, code, "RS-232 error!");
}

const char *TcpErrorText(int code) {
    return lookup(tcpTexts, code, "TCP Connection to server failed");
}

int PortNumberOfText(const char *text) {
    long value = 0;
    for (const char *p = text; p && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > 65535) return 0;
    }
    return static_cast<int>(value);
}

int InitRS232(int port, int baudIndex) {
    SetComLostHandler(onComLost);
    SetComBytesHandler(onComBytes);
    CurrentLinkView().portNumber(port);
    int result = OpenComConfig(port, "", BaudRateOfIndex(baudIndex, 115200), 0, 8, 1, 4096, 4096);
    if (result >= 0) {
        SetComTime(port, TIMEOUT);
        FlushInQ(port);
        FlushOutQ(port);
        SetCTSMode(port, 0);
        SetStatus("RS232 open-com-port: successful!");
        result = 1;
    } else {
        setSerialFailure(port, result);
    }
    ShowStatus(ST_ALL);
    return result;
}

int InitTCP_IP() {
    CloseTCP();
    CurrentLinkView().busy(true);
    unsigned handle = 0;
    const int result = ConnectToTCPServer(&handle, static_cast<unsigned>(tcp_portnum), szIPhostName,
                                          CC_ClientTCP, nullptr, TCP_TIMEOUT);
    CurrentLinkView().busy(false);
    if (result >= 0) {
        tcp_hconversation = handle;
        tcp_con = 1;
        SetStatus("TCP-server-connect successfully!");
    } else {
        tcp_con = 0;
        SetStatus(TcpErrorText(result));
    }
    ShowStatus(ST_ALL);
    return tcp_con;
}

int CC_ClientTCP(unsigned handle, int xType, int, void *) {
    if (xType == TCP_DATAREADY) {
        if (!ReceiveWanted()) return discardTcp(handle), 0;
        appendTcp(handle, 0);
    } else if (xType == TCP_DISCONNECT) {
        SetStatus("SERVER HAS CLOSED CONNECTION!");
        tcp_hconversation = 0;
        tcp_con = 0;
        serverClosed = true;
        ReportSensorLost(LostDuring::Nothing);
    }
    return 0;
}

void CloseRS232() {
    FlushInQ(rs232port);
    FlushOutQ(rs232port);
    CloseCom(rs232port);
}

void CloseTCP() {
    if (tcp_con > 0) DisconnectFromTCPServer(tcp_hconversation);
    tcp_con = 0;
    tcp_hconversation = 0;
    serverClosed = false;
}

bool TcpServerClosed() {
    return serverClosed;
}

void SetTransportFailure(const char *prefix) {
    SetStatus(prefix);
    AppendStatus(comtype == 0 ? "Timeout RS232-Line!" : "Timeout TCP-Server-error!");
}

void ReceiveTcpWithin(unsigned timeoutMs) {
    if (tcp_con > 0) appendTcp(tcp_hconversation, timeoutMs);
}

void DiscardPendingInput() {
    if (comtype == 0) {
        FlushInQ(rs232port);
        return;
    }
    if (tcp_con > 0) discardTcp(tcp_hconversation);
}
