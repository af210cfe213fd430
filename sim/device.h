// The sensor pair as the PC sees it: request frames in, reply frames out. It keeps the state of
// a real device (parameter pages in RAM and EEPROM, both sensors' external flash, baud rate,
// linearisation mode, max/min hold) and measures a laser line on each sensor's CCD line.
// No I/O: the caller supplies the time in seconds.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "frame_parser.h"
#include "frames.h"
#include "laser_line.h"
#include "measurement.h"
#include "wire/wire.h"
#include "xflash.h"

// What a device is built as; the command line of the simulator fills it.
struct DeviceConfig {
    uint64_t seed = 1;
    std::string fwText;  // empty: built from the firmware number
    int fwVersion = 421;
    int lineType = 306158;
    int subpixels = 0;  // 0: the line's own, 4096 on the 306159 line and 8192 on any other
    std::optional<int> pixelCount;  // the hardware record's pixel-count word; unset: the subpixels
    int adcRange = 256;
    int masterType = 610407;
    int slaveType = 610407;
    int serial = 1001;
    double triggerHz = 5.0;
    bool still = false;   // the part held still: the laser lines do not swing
    double jitter = 1.5;  // the laser lines' jitter [pixel]
    int failWritePage = -1;     // flash writes into this page (0..15) of either sensor fail
    int corruptWritePage = -1;  // flash writes into this page store their first word wrong
};

constexpr int32_t TWO_LINE_TYPE = 611632;  // both tables in the MASTER's flash
constexpr int FIRMWARE_TEXT_SIZE = 72;
constexpr int DEFAULT_BAUD_INDEX = 4;  // 115200

class Device {
  public:
    explicit Device(const DeviceConfig &config);

    // The reply frame to one request received at time `now`.
    Bytes handle(const Request &request, double now);

    // An order-18 trigger record when the trigger input has fired by `now` in external-trigger
    // mode (general set's RS232-Out-Mode 1 in RAM).
    std::optional<Bytes> pollTrigger(double now);
    // When the next trigger fires; 0 while the mode is off.
    double nextTriggerAt() const { return nextTrigger_; }

    int baudIndex() const { return baudIndex_; }  // the line speed the device listens at

    // EEPROM pages and both flashes, for keeping them across a restart.
    Bytes persistentImage() const;
    bool restorePersistent(const Bytes &image);                // false when the image does not fit
    uint64_t persistentRevision() const { return revision_; }  // advances on every change

    const XFlash &flash(int sensor) const { return flash_[sensor == 1 ? 0 : 1]; }  // 1 MASTER

  private:
    struct Snapshot {
        LineScan ma, sl;
        int32_t umA = 0, umB = 0;
        PairValue pair;
    };

    using Handler = Bytes (Device::*)(const Request &, double);
    Bytes sendPara(const Request &r, double now);
    Bytes getPara(const Request &r, double now);
    Bytes echo(const Request &r, double now);
    Bytes teach(const Request &r, double now);
    Bytes version(const Request &r, double now);
    Bytes record(const Request &r, double now);
    Bytes video(const Request &r, double now);
    Bytes hardware(const Request &r, double now);
    Bytes reset(const Request &r, double now);
    Bytes videoThreshold(const Request &r, double now);
    Bytes linearisation(const Request &r, double now);
    Bytes calibWrite(const Request &r, double now);
    Bytes calibRead(const Request &r, double now);
    Bytes flashErase(const Request &r, double now);
    Bytes flashWrite(const Request &r, double now);
    Bytes flashRead(const Request &r, double now);
    Bytes baudRate(const Request &r, double now);

    Snapshot measure(double now) const;
    int32_t averagedValue(double now) const;
    RawRecord rawRecord(double now);
    uint16_t inputWord(double now) const;
    CalibHeader calibHeader(int sensor) const;
    std::span<const uint16_t> linTable(int sensor) const;
    bool twoLine() const;
    XFlash *flashOf(uint16_t sensorParam);
    void writeDefaultFlash(XFlash &flash, int sensor);

    DeviceConfig config_;
    HwInfo hw_{};
    std::array<char, FIRMWARE_TEXT_SIZE> fwText_{};
    ParaBlock ram_{}, eeprom_{};
    std::array<XFlash, 2> flash_;  // MASTER, SLAVE
    std::array<LaserLine, 2> lines_;
    int adcMax_ = 256;
    int baudIndex_ = DEFAULT_BAUD_INDEX;
    uint16_t linMode_ = 0;  // 0 off, 1 MASTER linearised, 2 SLAVE linearised
    bool holdValid_ = false;
    int32_t maxHold_ = 0, minHold_ = 0;
    double nextTrigger_ = 0.0;
    uint64_t revision_ = 0;
};
