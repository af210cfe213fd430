// Byte layouts of every record that crosses the sensor link or lands in the sensors' flash.
// Each struct's natural layout is exactly the wire image (little-endian, no padding); the
// static_asserts below prove every offset. Copy bytes in and out with memcpy only.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little, "wire images are little-endian");

// Frame header: 8 bytes in front of every request and reply.
struct FrameHeader {
    uint8_t start;    // always 0x55
    uint8_t order;    // order code; 0 in an error reply
    uint16_t param;   // page, address, value or error code
    uint16_t len;     // number of data bytes that follow
    uint8_t datacrc;  // CRC-8 of the data, 0xAA without data
    uint8_t headcrc;  // CRC-8 of bytes 0..6
};

// General parameter set (page 0 of the parameter block).
struct ParaGeneral {
    uint16_t evalMode;         // "Eval-Mode"
    uint16_t optionSwitch;     // not stored in parameter files
    uint16_t hardwareMode;     // "Hardware-Mode"
    uint16_t measurementMode;  // "Measurement-Mode": 1 set-point mode, 0 distance mode
    uint16_t triggerMode;      // "Trigger-Mode"
    uint16_t average;          // "Average"
    uint16_t polarity;         // "Polarity": 1 DIRECT
    uint16_t analogOutMode;    // "Analog-Out-Mode"
    uint16_t analogOutZoom;    // "Analog-Out-Zoom"
    uint16_t rs232OutMode;     // RS-232 output mode of the sensor
    int32_t umUpperTolerance;  // "um-Upper-Tolerance" [um]
    int32_t umLowerTolerance;  // "um-Lower-Tolerance" [um]
    int32_t umSetpoint;        // "um-Setpoint" [um]
};

// Master or slave parameter set (pages 1 and 2 of the parameter block).
struct ParaSensor {
    uint16_t power;           // "Power"
    uint16_t powerMode;       // "Power-Mode": 0 STA, 1 DYN, 2 EXP
    uint16_t intTime;         // "Int-Time [us]", multiples of 100 us
    uint16_t videoThreshold;  // "Video-Threshold" [% of ADCMAX]
    uint16_t teachValue;      // "Teach-Value [pix]"
    uint16_t evalBegin;       // "Eval-Begin [pix]"
    uint16_t evalEnd;         // "Eval-End [pix]"
    uint16_t baudrateIndex;   // the sensor's baud-rate index
    uint16_t modeSelect;      // edge-search mode selector
    uint16_t ccdOpMode;       // "CCD-OP-Mode"
    int32_t umTeachValue;     // "um-Teach-Value" [um]
    uint8_t reserved[8];      // carried from GET to SEND unchanged
};

// The parameter block: general, master and slave set, 32 bytes each.
struct ParaBlock {
    ParaGeneral ge;
    ParaSensor ma;
    ParaSensor sl;
};

// Reply to TEACH (order 6).
struct TeachRecord {
    uint16_t posA;  // master teach position [pixel]
    uint16_t posB;  // slave teach position [pixel]
    int32_t umA;    // master teach distance [um]
    int32_t umB;    // slave teach distance [um]
};

// Measurement data record, reply to order 8.
struct RawRecord {
    uint16_t posA;         // master position [pixel]
    uint16_t posB;         // slave position [pixel]
    uint16_t posCombined;  // CENTER/DIFF position, 0..2N, N = middle
    uint16_t unused6;
    int32_t umValue;  // measured value [um]
    uint16_t edgeA;   // master edge value
    uint16_t edgeB;   // slave edge value
    uint8_t unused16[4];
    uint16_t inputs;       // state of the sensor's inputs
    uint16_t hwTolerance;  // tolerance set at the hardware, 1/2048 of the range
    uint16_t startA;       // master object start [pixel]
    uint16_t endA;         // master object end [pixel]
    uint16_t startB;       // slave object start [pixel]
    uint16_t endB;         // slave object end [pixel]
    uint16_t powerA;       // master power value (power mode 1)
    uint16_t powerB;       // slave power value (power mode 1)
    uint16_t milliA;       // master value in thousandths (power mode 2, two-line hardware)
    uint16_t milliB;       // slave value in thousandths
    int32_t umA;           // master measured value [um]
    int32_t umB;           // slave measured value [um]
    uint8_t unused48[8];
    int32_t umAnalog1;   // measured value for analog-output mode 1 [um]
    int32_t umAnalog23;  // measured value for analog-output modes 2 and 3 [um]
};

// Hardware record, reply to order 10.
struct HwInfo {
    int32_t mastertype;  // model code of the MASTER
    int32_t slavetype;   // model code of the SLAVE
    int32_t linetype;    // 306158 = 8192-subpixel line, 306159 = 4096-subpixel line
    int16_t serialno;    // serial number
    int16_t fwversion;   // firmware number
    int16_t pixelCount;  // CCD pixel count N (start-up default 1024)
    int16_t subpixels;   // subpixels of the line, the position axis (start-up default 4096)
    uint8_t unused20[4];
    int16_t adcrange;  // 1024 selects a video full scale of 1024, else 256
    uint8_t unused26[6];
};

// Calibration header, page 1 of each sensor's external flash.
struct CalibHeader {
    int32_t typeCode;     // calibration type code, 611632 = two-line hardware
    int16_t param1;       // first parameter word
    int16_t param2;       // second parameter word
    int16_t tableLength;  // 1024 or 2048 linearisation values
    int16_t reserved[5];
    int32_t virtOffset;  // virtual offset [um]
    int32_t range;       // measuring range [um]
    int32_t offset;      // start of the measuring range [um]
};

// Trigger record, sent by the sensor on its own (order 18) in external-trigger mode.
struct TriggerRecord {
    int32_t umA;           // MASTER value [um]
    int32_t umB;           // SLAVE value [um]
    int32_t umValue;       // measured value [um]
    uint16_t edgeA;        // MASTER edge value
    uint16_t edgeB;        // SLAVE edge value
    uint16_t posA;         // MASTER position [pixel]
    uint16_t posB;         // SLAVE position [pixel]
    uint16_t posCombined;  // combined position [pixel]
    uint8_t unused22[2];
};

#define KTAV_AT(T, f, o) static_assert(offsetof(T, f) == (o), #T "." #f)
static_assert(sizeof(FrameHeader) == 8);
KTAV_AT(FrameHeader, order, 1);
KTAV_AT(FrameHeader, param, 2);
KTAV_AT(FrameHeader, len, 4);
KTAV_AT(FrameHeader, datacrc, 6);
KTAV_AT(FrameHeader, headcrc, 7);

static_assert(sizeof(ParaGeneral) == 32 && sizeof(ParaSensor) == 32 && sizeof(ParaBlock) == 96);
KTAV_AT(ParaGeneral, optionSwitch, 2);
KTAV_AT(ParaGeneral, hardwareMode, 4);
KTAV_AT(ParaGeneral, measurementMode, 6);
KTAV_AT(ParaGeneral, triggerMode, 8);
KTAV_AT(ParaGeneral, average, 10);
KTAV_AT(ParaGeneral, polarity, 12);
KTAV_AT(ParaGeneral, analogOutMode, 14);
KTAV_AT(ParaGeneral, analogOutZoom, 16);
KTAV_AT(ParaGeneral, rs232OutMode, 18);
KTAV_AT(ParaGeneral, umUpperTolerance, 20);
KTAV_AT(ParaGeneral, umLowerTolerance, 24);
KTAV_AT(ParaGeneral, umSetpoint, 28);
KTAV_AT(ParaSensor, powerMode, 2);
KTAV_AT(ParaSensor, intTime, 4);
KTAV_AT(ParaSensor, videoThreshold, 6);
KTAV_AT(ParaSensor, teachValue, 8);
KTAV_AT(ParaSensor, evalBegin, 10);
KTAV_AT(ParaSensor, evalEnd, 12);
KTAV_AT(ParaSensor, baudrateIndex, 14);
KTAV_AT(ParaSensor, modeSelect, 16);
KTAV_AT(ParaSensor, ccdOpMode, 18);
KTAV_AT(ParaSensor, umTeachValue, 20);
KTAV_AT(ParaSensor, reserved, 24);
KTAV_AT(ParaBlock, ma, 32);
KTAV_AT(ParaBlock, sl, 64);
static_assert(offsetof(ParaBlock, ma) + offsetof(ParaSensor, umTeachValue) == 52);
static_assert(offsetof(ParaBlock, sl) + offsetof(ParaSensor, umTeachValue) == 84);

static_assert(sizeof(TeachRecord) == 12);
KTAV_AT(TeachRecord, posB, 2);
KTAV_AT(TeachRecord, umA, 4);
KTAV_AT(TeachRecord, umB, 8);

static_assert(sizeof(RawRecord) == 64);
KTAV_AT(RawRecord, posB, 2);
KTAV_AT(RawRecord, posCombined, 4);
KTAV_AT(RawRecord, umValue, 8);
KTAV_AT(RawRecord, edgeA, 12);
KTAV_AT(RawRecord, edgeB, 14);
KTAV_AT(RawRecord, inputs, 20);
KTAV_AT(RawRecord, hwTolerance, 22);
KTAV_AT(RawRecord, startA, 24);
KTAV_AT(RawRecord, endA, 26);
KTAV_AT(RawRecord, startB, 28);
KTAV_AT(RawRecord, endB, 30);
KTAV_AT(RawRecord, powerA, 32);
KTAV_AT(RawRecord, powerB, 34);
KTAV_AT(RawRecord, milliA, 36);
KTAV_AT(RawRecord, milliB, 38);
KTAV_AT(RawRecord, umA, 40);
KTAV_AT(RawRecord, umB, 44);
KTAV_AT(RawRecord, umAnalog1, 56);
KTAV_AT(RawRecord, umAnalog23, 60);

static_assert(sizeof(HwInfo) == 32);
KTAV_AT(HwInfo, slavetype, 4);
KTAV_AT(HwInfo, linetype, 8);
KTAV_AT(HwInfo, serialno, 12);
KTAV_AT(HwInfo, fwversion, 14);
KTAV_AT(HwInfo, pixelCount, 16);
KTAV_AT(HwInfo, subpixels, 18);
KTAV_AT(HwInfo, adcrange, 24);

static_assert(sizeof(CalibHeader) == 32);
KTAV_AT(CalibHeader, param1, 4);
KTAV_AT(CalibHeader, param2, 6);
KTAV_AT(CalibHeader, tableLength, 8);
KTAV_AT(CalibHeader, reserved, 10);
KTAV_AT(CalibHeader, virtOffset, 20);
KTAV_AT(CalibHeader, range, 24);
KTAV_AT(CalibHeader, offset, 28);

static_assert(sizeof(TriggerRecord) == 24);
KTAV_AT(TriggerRecord, umB, 4);
KTAV_AT(TriggerRecord, umValue, 8);
KTAV_AT(TriggerRecord, edgeA, 12);
KTAV_AT(TriggerRecord, edgeB, 14);
KTAV_AT(TriggerRecord, posA, 16);
KTAV_AT(TriggerRecord, posB, 18);
KTAV_AT(TriggerRecord, posCombined, 20);
#undef KTAV_AT

// Order codes of the protocol.
enum Order : uint8_t {
    ORD_ERROR = 0,
    ORD_SEND_RAM = 1,
    ORD_GET_RAM = 2,
    ORD_SEND_EEPROM = 3,
    ORD_GET_EEPROM = 4,
    ORD_ECHO = 5,
    ORD_TEACH = 6,
    ORD_VERSION = 7,
    ORD_RAW = 8,
    ORD_VIDEO = 9,
    ORD_HWINFO = 10,
    ORD_RESET = 11,
    ORD_VTHD_MASTER = 13,
    ORD_VTHD_SLAVE = 14,
    ORD_TRIGGER = 18,
    ORD_LINEARISATION = 19,
    ORD_CALIB_WRITE = 23,
    ORD_CALIB_READ = 24,
    ORD_XF_ERASE_SLAVE = 100,
    ORD_XF_WRITE_SLAVE = 102,
    ORD_XF_ERASE = 180,
    ORD_XF_WRITE = 182,
    ORD_XF_READ = 184,
    ORD_BAUDRATE = 190,
};

constexpr int FRAME_HEADER_SIZE = 8;
constexpr int FRAME_BUFFER_SIZE = 1024;                                // request and reply buffers
constexpr int FRAME_MAX_DATA = FRAME_BUFFER_SIZE - FRAME_HEADER_SIZE;  // 1016 data bytes
