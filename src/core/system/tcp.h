// TCP client connections addressed by integer handles. Events of a connection are delivered to
// its callback on the user-interface thread while events are processed.
#pragma once
#include <cstddef>

// Event types delivered to a connection's callback.
enum TcpEvent { TCP_CONNECT = 1, TCP_DISCONNECT = 2, TCP_DATAREADY = 3 };

// Error codes of the TCP operations.
enum TcpError {
    kTCP_UnableToRegisterService = -1,
    kTCP_UnableToEstablishConnection = -2,
    kTCP_FailedToConnect = -4,
    kTCP_ReadFailed = -7,
    kTCP_WriteFailed = -8,
    kTCP_InvalidParameter = -9,
    kTCP_TimeOutErr = -11,
    kTCP_NoConnectionEstablished = -12,
    kTCP_GeneralIOErr = -13,
    kTCP_ConnectionClosed = -14,
};

using tcpFuncPtr = int (*)(unsigned handle, int xType, int errCode, void *callbackData);

// Connects to host:port within timeoutMs; on success stores the new handle (never 0) and returns 0.
int ConnectToTCPServer(unsigned *handle, unsigned portNumber, const char *hostName,
                       tcpFuncPtr callback, void *callbackData, unsigned timeoutMs);
// Reads up to `size` received bytes; waits up to timeoutMs only when none are waiting, in the
// system's receive (events are not processed meanwhile). Returns the count (0 when nothing came
// or the peer has closed; the close reaches the callback from the event loop) or a negative code.
int ClientTCPRead(unsigned handle, void *buffer, size_t size, unsigned timeoutMs);
// Sends `count` bytes, waiting up to timeoutMs for the system to take them; returns the count.
int ClientTCPWrite(unsigned handle, const void *buffer, size_t count, unsigned timeoutMs);
// Closes the connection; its callback is not called for this.
int DisconnectFromTCPServer(unsigned handle);
