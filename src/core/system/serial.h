// Serial ports addressed by number, as the sensor link uses them. Port n is the device named by
// the environment variable KTAV_COM<n> when it is set (a USB adapter, the simulator's
// pseudo-terminal), else /dev/ttyS<n-1>. Results are 0 or a count on success, else an error code.
#pragma once
#include <string>

// Error codes of the serial operations.
enum SerialError {
    kRS232UnknownSystemError = -1,
    kRS232InvalidPortNumber = -2,
    kRS232PortNotOpen = -3,
    kRS232IOError = -4,
    kRS232PermissionDenied = -5,  // the user may not open the device (see ComDeviceGroup)
    kRS232NoPortFound = -6,
    kRS232CannotOpenPort = -7,
    kRS232InvalidParameter = -13,
    kRS232Timeout = -99,
};

// Line-error bits of GetComStat.
enum ComStatBits { kComInputLost = 0x0001, kComParity = 0x0010, kComFraming = 0x0040 };

// Opens (or re-opens) port `port`; an empty `deviceName` takes the device of the port number.
// parity 0 = none; data bits 5..8; stop bits 1 or 2. The input queue holds at most
// `inputQueueSize` bytes (further bytes wait in the system's own bounded buffer); the output
// queue size is accepted and ignored.
int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize);
int CloseCom(int port);
int SetComTime(int port, double seconds);             // read/write time-out of ComRd and ComWrt
int SetCTSMode(int port, int mode);                   // 0 = no hardware handshake
int ComWrt(int port, const void *buffer, int count);  // queues bytes; returns the count
int ComRd(int port, void *buffer, int count);         // up to count bytes within the time-out
int GetInQLen(int port);                              // received bytes waiting
int GetComStat(int port);  // line-error bits (ComStatBits) since the last call, where the OS tells
int FlushInQ(int port);
int FlushOutQ(int port);

// The device path that port number `port` maps to.
std::string ComDeviceName(int port);

// The group that owns the device file of port `port` (the group a user must belong to for
// opening it); empty when the file or its group cannot be found.
std::string ComDeviceGroup(int port);

// A stand-in for the device of a port: tests and fuzz targets play a line from a script through
// it, with chunked bytes, line errors and a vanished device, without a device of their own.
class ComStandIn {
  public:
    virtual ~ComStandIn() = default;
    virtual int write(const void *buffer, int count) = 0;  // count taken, or an error code
    virtual int read(void *buffer, int count) = 0;  // up to count bytes waiting, or an error code
    virtual int waiting() = 0;                      // bytes waiting, or an error code
    virtual int lineErrors() = 0;                   // ComStatBits since the last call
    virtual void clearInput() = 0;                  // drops the bytes waiting
};
// Serves port `port` from `standIn` (which the caller keeps alive) instead of a device, from
// now until it is called with nullptr. Opening and closing the port then succeed at once.
void SetComStandIn(int port, ComStandIn *standIn);

// Called once when an open port fails under the program (the device vanished); the port is
// closed by then.
using ComLostHandler = void (*)(int port);
void SetComLostHandler(ComLostHandler handler);

// Called when bytes have arrived on an open port (once per arrival, while events are processed).
using ComBytesHandler = void (*)(int port);
void SetComBytesHandler(ComBytesHandler handler);
