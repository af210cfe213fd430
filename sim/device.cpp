#include "device.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "noise.h"

namespace {

constexpr ParaGeneral DEFAULT_GENERAL = {.evalMode = 1,
                                         .optionSwitch = 0,
                                         .hardwareMode = 1,
                                         .measurementMode = 0,
                                         .triggerMode = 0,
                                         .average = 1,
                                         .polarity = 1,
                                         .analogOutMode = 0,
                                         .analogOutZoom = 0,
                                         .rs232OutMode = 0,
                                         .umUpperTolerance = 1000,
                                         .umLowerTolerance = 1000,
                                         .umSetpoint = 10000};

constexpr ParaSensor DEFAULT_SENSOR = {.power = 500,
                                       .powerMode = 1,
                                       .intTime = 0,
                                       .videoThreshold = 50,
                                       .teachValue = 512,
                                       .evalBegin = 1,
                                       .evalEnd = 4096,
                                       .baudrateIndex = DEFAULT_BAUD_INDEX,
                                       .modeSelect = 0,
                                       .ccdOpMode = 0,
                                       .umTeachValue = 55000,
                                       .reserved = {}};

constexpr CalibHeader DEFAULT_CALIB = {.typeCode = 610407,
                                       .param1 = 1,
                                       .param2 = 0,
                                       .tableLength = 2048,
                                       .reserved = {},
                                       .virtOffset = 0,
                                       .range = 10000,
                                       .offset = 50000};

constexpr uint16_t TWO_LINE_SLAVE_TABLE = 0x1600;
constexpr int TWO_LINE_TABLE_LENGTH = 1024;
constexpr int FULL_TABLE_LENGTH = 2048;
constexpr size_t MAX_READ_WORDS = 128;  // the most one flash read answers
constexpr char PERSIST_MAGIC[8] = {'K', 'T', 'A', 'V', 'S', 'I', 'M', '1'};

Bytes ok(const Request &r) {
    return makeFrame(r.head.order, r.head.param);
}

template <typename T>
T load(const uint8_t *bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// A calibration table as delivered: the straight line with a slight bow, as a real line shows.
Bytes defaultTable(int length, int32_t range) {
    Bytes bytes;
    for (int k = 0; k < length; ++k) {
        const double bow = 25.0 * std::sin(std::numbers::pi * k / length);
        const auto v = static_cast<uint16_t>(std::lround(double(range) * k / length + bow));
        bytes.push_back(static_cast<uint8_t>(v & 0xFF));
        bytes.push_back(static_cast<uint8_t>(v >> 8));
    }
    return bytes;
}

}  // namespace

Device::Device(const DeviceConfig &config)
    : config_(config),
      lines_{LaserLine(config.seed, 0, config.still, config.jitter),
             LaserLine(config.seed, 1, config.still, config.jitter)} {
    hw_.mastertype = config.masterType;
    hw_.slavetype = config.slaveType;
    hw_.linetype = config.lineType;
    hw_.serialno = static_cast<int16_t>(config.serial);
    hw_.fwversion = static_cast<int16_t>(config.fwVersion);
    // By default the record is consistent with itself: the line's own subpixel count, and a
    // pixel count equal to it, so that the default parameter block passes the range check.
    const int subpixels = config.subpixels            ? config.subpixels
                          : config.lineType == 306159 ? 4096
                                                      : 8192;
    hw_.subpixels = static_cast<int16_t>(subpixels);
    hw_.pixelCount = static_cast<int16_t>(config.pixelCount.value_or(subpixels));
    hw_.adcrange = static_cast<int16_t>(config.adcRange);
    adcMax_ = config.adcRange == 1024 ? 1024 : 256;

    std::string text = config.fwText;
    if (text.empty()) {
        char buf[FIRMWARE_TEXT_SIZE];
        std::snprintf(buf, sizeof buf, "K-TAV-PX-MA.V%d.%02d 2015-10-05 FW%d MASTER/SLAVE SN%d",
                      config.fwVersion / 100, config.fwVersion % 100, config.fwVersion,
                      config.serial);
        text = buf;
    }
    // The text always ends with a terminator inside its 72 bytes.
    std::memcpy(fwText_.data(), text.data(), std::min(text.size(), fwText_.size() - 1));

    eeprom_ = ParaBlock{DEFAULT_GENERAL, DEFAULT_SENSOR, DEFAULT_SENSOR};
    ram_ = eeprom_;
    writeDefaultFlash(flash_[0], 1);
    writeDefaultFlash(flash_[1], 2);
}

void Device::writeDefaultFlash(XFlash &flash, int sensor) {
    const Bytes header = bytesOf(DEFAULT_CALIB);
    flash.write(XFlash::CALIB_PAGE, header.data(), header.size());
    if (!twoLine()) {
        const Bytes table = defaultTable(FULL_TABLE_LENGTH, DEFAULT_CALIB.range);
        flash.write(XFlash::TABLE_PAGE, table.data(), table.size());
    } else if (sensor == 1) {
        const Bytes table = defaultTable(TWO_LINE_TABLE_LENGTH, DEFAULT_CALIB.range);
        flash.write(XFlash::TABLE_PAGE, table.data(), table.size());
        flash.write(TWO_LINE_SLAVE_TABLE, table.data(), table.size());
    }
}

Bytes Device::handle(const Request &request, double now) {
    static constexpr struct {
        uint8_t order;
        Handler handler;
    } routes[] = {
        {ORD_SEND_RAM, &Device::sendPara},
        {ORD_GET_RAM, &Device::getPara},
        {ORD_SEND_EEPROM, &Device::sendPara},
        {ORD_GET_EEPROM, &Device::getPara},
        {ORD_ECHO, &Device::echo},
        {ORD_TEACH, &Device::teach},
        {ORD_VERSION, &Device::version},
        {ORD_RAW, &Device::record},
        {ORD_VIDEO, &Device::video},
        {ORD_HWINFO, &Device::hardware},
        {ORD_RESET, &Device::reset},
        {ORD_VTHD_MASTER, &Device::videoThreshold},
        {ORD_VTHD_SLAVE, &Device::videoThreshold},
        {ORD_LINEARISATION, &Device::linearisation},
        {ORD_CALIB_WRITE, &Device::calibWrite},
        {ORD_CALIB_READ, &Device::calibRead},
        {ORD_XF_ERASE_SLAVE, &Device::flashErase},
        {ORD_XF_WRITE_SLAVE, &Device::flashWrite},
        {ORD_XF_ERASE, &Device::flashErase},
        {ORD_XF_WRITE, &Device::flashWrite},
        {ORD_XF_READ, &Device::flashRead},
        {ORD_BAUDRATE, &Device::baudRate},
    };
    if (!request.intact) return errorFrame(ERR_COMMUNICATION);
    for (const auto &route : routes)
        if (route.order == request.head.order) return (this->*route.handler)(request, now);
    return errorFrame(ERR_INVALID_ORDER);
}

// ---- parameter pages ----

Bytes Device::sendPara(const Request &r, double) {
    if (r.head.param > 2 || r.data.size() != sizeof(ParaSensor))
        return errorFrame(ERR_INVALID_ORDER);
    const bool toEeprom = r.head.order == ORD_SEND_EEPROM;
    auto *block = reinterpret_cast<uint8_t *>(toEeprom ? &eeprom_ : &ram_);
    std::memcpy(block + 32 * r.head.param, r.data.data(), r.data.size());
    if (toEeprom) ++revision_;
    return ok(r);
}

Bytes Device::getPara(const Request &r, double) {
    if (r.head.param > 2) return errorFrame(ERR_INVALID_ORDER);
    const Bytes block = bytesOf(r.head.order == ORD_GET_EEPROM ? eeprom_ : ram_);
    return makeFrame(r.head.order, r.head.param, block.data() + 32 * r.head.param, 32);
}

Bytes Device::videoThreshold(const Request &r, double) {
    (r.head.order == ORD_VTHD_MASTER ? eeprom_.ma : eeprom_.sl).videoThreshold = r.head.param;
    ++revision_;
    return ok(r);
}

// ---- identity ----

Bytes Device::echo(const Request &r, double) {
    return makeFrame(r.head.order, static_cast<uint16_t>(config_.serial));
}

Bytes Device::version(const Request &r, double) {
    return makeFrame(r.head.order, static_cast<uint16_t>(config_.serial),
                     reinterpret_cast<const uint8_t *>(fwText_.data()), fwText_.size());
}

Bytes Device::hardware(const Request &r, double) {
    return makeFrame(r.head.order, r.head.param, bytesOf(hw_));
}

Bytes Device::baudRate(const Request &r, double) {
    if (r.head.param > DEFAULT_BAUD_INDEX) return errorFrame(ERR_INVALID_ORDER);
    baudIndex_ = r.head.param;  // the caller sends this reply before listening at the new speed
    ram_.ma.baudrateIndex = r.head.param;
    return ok(r);
}

// ---- measuring ----

Device::Snapshot Device::measure(double now) const {
    Snapshot s;
    s.ma = lines_[0].scan(ram_.ma, hw_.subpixels, adcMax_, now);
    s.sl = lines_[1].scan(ram_.sl, hw_.subpixels, adcMax_, now);
    const CalibHeader ma = calibHeader(1), sl = calibHeader(2);
    s.umA = toMicrometres(ma, linTable(1), linMode_ == 1, s.ma.position, hw_.pixelCount);
    s.umB = toMicrometres(sl, linTable(2), linMode_ == 2, s.sl.position, hw_.pixelCount);
    s.pair =
        evaluatePair(ram_.ge, ma, sl, s.umA, s.umB, s.ma.position, s.sl.position, hw_.subpixels);
    return s;
}

// The measured value averaged over `Average` milliseconds (the analog output's filter).
int32_t Device::averagedValue(double now) const {
    constexpr int SAMPLES = 8;
    const double window = std::min<int>(ram_.ge.average, 2048) / 1000.0;
    if (window <= 0.001) return measure(now).pair.value;
    int64_t sum = 0;
    for (int k = 0; k < SAMPLES; ++k) sum += measure(now - window * k / SAMPLES).pair.value;
    return static_cast<int32_t>(sum / SAMPLES);
}

uint16_t Device::inputWord(double now) const {
    // The inputs change every few seconds; most of the time none is active.
    const auto slot = static_cast<uint64_t>(std::floor(now / 3.0));
    const uint64_t h = mix64(config_.seed * 7919 + slot) % 8;
    return h < 5 ? 0 : static_cast<uint16_t>(h - 4);
}

RawRecord Device::rawRecord(double now) {
    const Snapshot s = measure(now);
    if (!holdValid_) maxHold_ = minHold_ = s.pair.value;
    holdValid_ = true;
    maxHold_ = std::max(maxHold_, s.pair.value);
    minHold_ = std::min(minHold_, s.pair.value);

    RawRecord raw{};
    raw.posA = s.ma.position;
    raw.posB = s.sl.position;
    raw.posCombined = s.pair.combined;
    raw.umValue = s.pair.value;
    raw.edgeA = s.ma.edge;
    raw.edgeB = s.sl.edge;
    raw.inputs = inputWord(now);
    raw.hwTolerance = hardwareTolerance(ram_.ge.hardwareMode);
    raw.startA = s.ma.start;
    raw.endA = s.ma.end;
    raw.startB = s.sl.start;
    raw.endB = s.sl.end;
    raw.powerA = s.ma.powerValue;
    raw.powerB = s.sl.powerValue;
    raw.milliA = s.ma.exposureUs;
    raw.milliB = s.sl.exposureUs;
    raw.umA = s.umA;
    raw.umB = s.umB;
    raw.umAnalog1 = averagedValue(now);
    raw.umAnalog23 = ram_.ge.analogOutMode == 3 ? minHold_ : maxHold_;
    return raw;
}

Bytes Device::record(const Request &r, double now) {
    return makeFrame(r.head.order, r.head.param, bytesOf(rawRecord(now)));
}

Bytes Device::video(const Request &r, double now) {
    const Snapshot s = measure(now);
    Bytes data = bytesOf(s.ma.profile);
    const Bytes slave = bytesOf(s.sl.profile);
    data.insert(data.end(), slave.begin(), slave.end());
    return makeFrame(r.head.order, r.head.param, data);
}

Bytes Device::teach(const Request &r, double now) {
    const Snapshot s = measure(now);
    const TeachRecord t{.posA = s.ma.position, .posB = s.sl.position, .umA = s.umA, .umB = s.umB};
    ram_.ma.teachValue = t.posA;
    ram_.sl.teachValue = t.posB;
    ram_.ma.umTeachValue = t.umA;
    ram_.sl.umTeachValue = t.umB;
    return makeFrame(r.head.order, r.head.param, bytesOf(t));
}

Bytes Device::reset(const Request &r, double) {
    holdValid_ = false;  // max/min hold starts again
    return ok(r);
}

std::optional<Bytes> Device::pollTrigger(double now) {
    if (ram_.ge.rs232OutMode != 1 || config_.triggerHz <= 0.0) {
        nextTrigger_ = 0.0;
        return std::nullopt;
    }
    const double period = 1.0 / config_.triggerHz;
    if (nextTrigger_ == 0.0) nextTrigger_ = now + period;
    if (now < nextTrigger_) return std::nullopt;
    nextTrigger_ += period;
    if (nextTrigger_ <= now) nextTrigger_ = now + period;  // fell behind: skip missed pulses

    const RawRecord raw = rawRecord(now);
    const TriggerRecord rec{.umA = raw.umA,
                            .umB = raw.umB,
                            .umValue = raw.umValue,
                            .edgeA = raw.edgeA,
                            .edgeB = raw.edgeB,
                            .posA = raw.posA,
                            .posB = raw.posB,
                            .posCombined = raw.posCombined,
                            .unused22 = {}};
    return makeFrame(ORD_TRIGGER, 0, bytesOf(rec));
}

// ---- calibration and linearisation ----

bool Device::twoLine() const {
    return hw_.mastertype == TWO_LINE_TYPE || calibHeader(1).typeCode == TWO_LINE_TYPE;
}

CalibHeader Device::calibHeader(int sensor) const {
    Bytes bytes;
    flash_[sensor == 1 ? 0 : 1].read(XFlash::CALIB_PAGE, sizeof(CalibHeader) / 2, bytes);
    return load<CalibHeader>(bytes.data());
}

std::span<const uint16_t> Device::linTable(int sensor) const {
    // A header with table length 0 says there is no table: the sensor measures without one.
    if (calibHeader(sensor).tableLength == 0) return {};
    if (twoLine())
        return flash_[0].words(sensor == 1 ? XFlash::TABLE_PAGE : TWO_LINE_SLAVE_TABLE,
                               TWO_LINE_TABLE_LENGTH);
    const int length = calibHeader(sensor).tableLength == 1024 ? 1024 : FULL_TABLE_LENGTH;
    return flash_[sensor == 1 ? 0 : 1].words(XFlash::TABLE_PAGE, length);
}

Bytes Device::linearisation(const Request &r, double) {
    if (r.head.param > 2) return errorFrame(ERR_INVALID_ORDER);
    linMode_ = r.head.param;
    return ok(r);
}

XFlash *Device::flashOf(uint16_t sensorParam) {
    if (sensorParam == 1) return &flash_[0];
    if (sensorParam == 2) return &flash_[1];
    return nullptr;
}

Bytes Device::calibWrite(const Request &r, double) {
    XFlash *flash = flashOf(r.head.param);
    if (!flash || r.data.size() > XFlash::PAGE_WORDS * 2u || r.data.size() % 2 != 0)
        return errorFrame(ERR_INVALID_ORDER);
    flash->erasePage(XFlash::CALIB_PAGE);
    flash->write(XFlash::CALIB_PAGE, r.data.data(), r.data.size());
    ++revision_;
    return ok(r);
}

Bytes Device::calibRead(const Request &r, double) {
    const XFlash *flash = flashOf(r.head.param);
    if (!flash) return errorFrame(ERR_INVALID_ORDER);
    Bytes data;
    flash->read(XFlash::CALIB_PAGE, 32, data);  // the header first, then what follows it
    return makeFrame(r.head.order, r.head.param, data);
}

// ---- external flash ----

Bytes Device::flashErase(const Request &r, double) {
    XFlash &flash = flash_[r.head.order == ORD_XF_ERASE ? 0 : 1];
    if (!flash.erasePage(r.head.param)) return errorFrame(ERR_INVALID_ORDER);
    ++revision_;
    return ok(r);
}

Bytes Device::flashWrite(const Request &r, double) {
    XFlash &flash = flash_[r.head.order == ORD_XF_WRITE ? 0 : 1];
    const auto inPage = [&](int page) {
        return page >= 0 &&
               r.head.param / XFlash::PAGE_WORDS == XFlash::BASE / XFlash::PAGE_WORDS + page;
    };
    if (r.data.size() > XFlash::PAGE_WORDS * 2u || inPage(config_.failWritePage) ||
        !flash.write(r.head.param, r.data.data(), r.data.size()))
        return errorFrame(ERR_INVALID_ORDER);
    if (inPage(config_.corruptWritePage) && !r.data.empty())
        flash.image()[r.head.param - XFlash::BASE] ^= 0x0100;  // reported as written all the same
    ++revision_;
    return ok(r);
}

Bytes Device::flashRead(const Request &r, double) {
    // The word count comes as two bytes of which only the low byte is carried: 1 to 128 words
    // are answered, a count of 0 (or above 128) is refused.
    if (r.data.size() != 2) return errorFrame(ERR_INVALID_ORDER);
    const size_t words = load<uint16_t>(r.data.data());
    Bytes data;
    if (words == 0 || words > MAX_READ_WORDS || !flash_[0].read(r.head.param, words, data))
        return errorFrame(ERR_INVALID_ORDER);
    return makeFrame(r.head.order, r.head.param, data);
}

// ---- persistence ----

Bytes Device::persistentImage() const {
    Bytes image(PERSIST_MAGIC, PERSIST_MAGIC + sizeof PERSIST_MAGIC);
    const Bytes eeprom = bytesOf(eeprom_);
    image.insert(image.end(), eeprom.begin(), eeprom.end());
    for (const XFlash &flash : flash_) {
        const Bytes words = bytesOf(flash.image());
        image.insert(image.end(), words.begin(), words.end());
    }
    return image;
}

bool Device::restorePersistent(const Bytes &image) {
    const size_t expected = sizeof PERSIST_MAGIC + sizeof(ParaBlock) + 2 * XFlash::WORDS * 2;
    if (image.size() != expected || !std::equal(PERSIST_MAGIC, PERSIST_MAGIC + 8, image.begin()))
        return false;
    const uint8_t *p = image.data() + sizeof PERSIST_MAGIC;
    std::memcpy(&eeprom_, p, sizeof eeprom_);
    p += sizeof eeprom_;
    for (XFlash &flash : flash_) {
        std::memcpy(flash.image().data(), p, XFlash::WORDS * 2);
        p += XFlash::WORDS * 2;
    }
    ram_ = eeprom_;  // a device starts with its EEPROM pages in RAM
    return true;
}
