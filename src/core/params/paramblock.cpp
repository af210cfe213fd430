#include "core/params/paramblock.h"

#include <cstring>
#include <initializer_list>

ParaBlock para;
TeachRecord teach;

namespace {

// Static start values, so that code running before ResetParaBlock() sees them too.
struct StartValues {
    StartValues() { ResetParaBlock(); }
} startValues;

constexpr ParaSensor defaultSensorSet() {
    ParaSensor set{};
    set.power = 500;
    set.powerMode = 1;
    set.videoThreshold = 50;
    set.teachValue = 512;
    set.evalBegin = 1;
    set.evalEnd = 4096;
    set.baudrateIndex = 4;
    set.umTeachValue = 55000;
    return set;
}

// A field with a fixed upper limit and the value that replaces anything above it.
template <class Set>
struct FixedLimit {
    uint16_t Set::*field;
    uint16_t max;
    uint16_t replacement;
};

constexpr FixedLimit<ParaGeneral> generalLimits[] = {
    {&ParaGeneral::evalMode, 6, 1},      {&ParaGeneral::optionSwitch, 1, 0},
    {&ParaGeneral::hardwareMode, 4, 1},  {&ParaGeneral::measurementMode, 1, 1},
    {&ParaGeneral::triggerMode, 5, 0},   {&ParaGeneral::average, 2048, 1},
    {&ParaGeneral::polarity, 1, 1},      {&ParaGeneral::analogOutMode, 4, 0},
    {&ParaGeneral::analogOutZoom, 7, 0}, {&ParaGeneral::rs232OutMode, 3, 0},
};

constexpr FixedLimit<ParaSensor> sensorLimits[] = {
    {&ParaSensor::power, 1000, 500},         {&ParaSensor::powerMode, 2, 0},
    {&ParaSensor::videoThreshold, 255, 128}, {&ParaSensor::modeSelect, 4, 0},
    {&ParaSensor::ccdOpMode, 1, 0},
};

template <class Set, size_t n>
void applyLimits(Set &set, const FixedLimit<Set> (&limits)[n]) {
    for (const auto &limit : limits) {
        if (set.*limit.field > limit.max) set.*limit.field = limit.replacement;
    }
}

// The pixel fields compare against N as signed values, as the sensors report N.
void checkPixelFields(ParaSensor &set, int16_t n) {
    if (set.teachValue > n) set.teachValue = static_cast<uint16_t>(n / 2);
    if (set.evalBegin > n) set.evalBegin = 1;
    if (set.evalEnd > n) set.evalEnd = static_cast<uint16_t>(n);
}

bool validPage(int page) {
    return page >= 0 && page < PARA_PAGES;
}

}  // namespace

void ResetParaBlock() {
    para = {};
    para.ge.evalMode = 1;
    para.ge.hardwareMode = 1;
    para.ge.average = 1;
    para.ge.polarity = 1;
    para.ge.umUpperTolerance = 1000;
    para.ge.umLowerTolerance = 1000;
    para.ge.umSetpoint = 10000;
    para.ma = para.sl = defaultSensorSet();
    teach = {};
}

int GetParaPage(const ParaBlock &block, int page, uint8_t *bytes) {
    if (!validPage(page)) return -1;
    std::memcpy(bytes, reinterpret_cast<const uint8_t *>(&block) + page * PARA_PAGE_SIZE,
                PARA_PAGE_SIZE);
    return 1;
}

int PutParaPage(ParaBlock &block, int page, const uint8_t *bytes) {
    if (!validPage(page)) return -1;
    std::memcpy(reinterpret_cast<uint8_t *>(&block) + page * PARA_PAGE_SIZE, bytes, PARA_PAGE_SIZE);
    return 1;
}

void CheckParaRanges(ParaBlock &block, int16_t pixelCount) {
    applyLimits(block.ge, generalLimits);
    for (ParaSensor *set : {&block.ma, &block.sl}) {
        applyLimits(*set, sensorLimits);
        checkPixelFields(*set, pixelCount);
    }
    if (block.ma.baudrateIndex > 4) block.ma.baudrateIndex = 4;
}
