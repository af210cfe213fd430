// ktav.Pair: the sensor pair on one transport, opened and identified on entry of a with block
// and closed on its exit. Its methods are the core's operations; what they found comes back as
// dicts under the field names of the tool's --json, NumPy arrays and exceptions.
#pragma once
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>  // std::optional arguments

#include <optional>
#include <string>

class Pair {
  public:
    // A TCP connection "HOST[:PORT]", or a serial port (device path or port number) at `baud`;
    // the changes it makes go to the audit log `audit` (a path, True for the default place,
    // False for none). Raises ValueError for anything else; nothing is opened yet.
    Pair(std::optional<std::string> tcp, std::optional<pybind11::object> com, long baud,
         const pybind11::object &audit);
    ~Pair();
    Pair(const Pair &) = delete;
    Pair &operator=(const Pair &) = delete;

    // Opens the transport and identifies the pair: LinkError, RefusedDevice, or RuntimeError
    // when another pair of this process is open.
    void open();
    void close();
    bool isOpen() const { return open_; }

    // Raises RuntimeError unless the pair is open and used from the core's thread; forgets the
    // cause of an earlier failure. Every operation begins with it.
    void ready() const;

    // What the identification found (the object of identify --json), kept after closing.
    pybind11::dict identification() const;

  private:
    void openTransport();

    std::string host_;
    int tcpPort_ = 0;     // > 0: TCP
    int comPort_ = 0;     // > 0: a serial port by the program's number
    std::string device_;  // or by its device path
    int baudIndex_ = 4;
    std::string auditPath_;  // empty: the default place
    bool auditOn_ = true;
    bool open_ = false;
    pybind11::dict identification_;
};
