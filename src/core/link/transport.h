// The two transports to the sensor pair: a 3-wire RS-232 line or a TCP connection to a
// serial-to-Ethernet converter. `comtype` selects the one the frame layer uses.
#pragma once

constexpr int HOST_TEXT_SIZE = 260;

extern int comtype;        // 0 = RS-232, any other value = TCP/IP
extern int rs232port;      // COM port number
extern int rs232baudrate;  // baud-rate index 0..4
extern int rs232_con;      // 1 = port open, else the negative error of the last open
extern char szIPhostName[HOST_TEXT_SIZE];  // TCP server host name or address
extern char szPortNum[HOST_TEXT_SIZE];     // TCP port number as text, as entered and stored
extern int tcp_portnum;                    // TCP port number used for connecting
extern unsigned tcp_hconversation;         // handle of the open TCP connection, 0 when none
extern int tcp_con;                        // 1 while a TCP connection is open

// Sets the transport settings to their start-up defaults (RS-232, COM1, index 4, port 10001).
void ResetTransportSettings();

// Baud rate of an index 0..4; `otherwise` for any other index.
long BaudRateOfIndex(int index, long otherwise);

// Status texts of the serial open codes and of the TCP connect codes.
const char *SerialErrorText(int code);
const char *TcpErrorText(int code);

// Decimal value of the leading digits of a port text (0 when there are none, or when the value
// does not fit a TCP port).
int PortNumberOfText(const char *text);

// Opens and configures the serial port: 1, or the negative open error. Shows the status.
int InitRS232(int port, int baudIndex);

// Connects to szIPhostName:tcp_portnum (dropping an open connection first): 1 when connected,
// else 0; sets tcp_con and tcp_hconversation. Shows the status.
int InitTCP_IP();

// Event callback of the TCP connection: collects reply bytes while an exchange or a trigger
// reader waits and discards them otherwise; notices a server close.
int CC_ClientTCP(unsigned handle, int xType, int errCode, void *callbackData);

// True after the server closed the connection, until the next connect or close.
bool TcpServerClosed();

// Flushes both queues of rs232port and closes it.
void CloseRS232();
// Disconnects the TCP connection if one is open; tcp_con and tcp_hconversation become 0.
void CloseTCP();

// Sets szStatus to `prefix` followed by the failure text of the current transport:
// "Timeout RS232-Line!" on RS-232, "Timeout TCP-Server-error!" on TCP.
void SetTransportFailure(const char *prefix);

// Discards reply bytes already received on the current transport and not yet taken.
void DiscardPendingInput();

// TCP: appends the bytes received to szReadBuf (at dataSizeRec), waiting up to timeoutMs in the
// system's receive when none have come; events are not processed meanwhile.
void ReceiveTcpWithin(unsigned timeoutMs);
