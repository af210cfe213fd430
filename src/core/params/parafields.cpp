#include "core/params/parafields.h"

#include <limits>

#include "core/params/paramblock.h"

namespace {

// A field of a set: a 16-bit word or a 32-bit signed number.
template <class Set>
struct ParaField {
    const char *name;
    uint16_t Set::*word = nullptr;
    int32_t Set::*number = nullptr;
    constexpr ParaField(const char *n, uint16_t Set::*w) : name(n), word(w) {}
    constexpr ParaField(const char *n, int32_t Set::*l) : name(n), number(l) {}

    int64_t get(const Set &set) const { return word ? set.*word : set.*number; }
    bool holds(int64_t value) const {
        if (word) return value >= 0 && value <= std::numeric_limits<uint16_t>::max();
        return value >= std::numeric_limits<int32_t>::min() &&
               value <= std::numeric_limits<int32_t>::max();
    }
    void put(Set &set, int64_t value) const {
        if (word)
            set.*word = static_cast<uint16_t>(value);
        else
            set.*number = static_cast<int32_t>(value);
    }
};

constexpr ParaField<ParaGeneral> kGeneralFields[] = {
    {"evalMode", &ParaGeneral::evalMode},
    {"optionSwitch", &ParaGeneral::optionSwitch},
    {"hardwareMode", &ParaGeneral::hardwareMode},
    {"measurementMode", &ParaGeneral::measurementMode},
    {"triggerMode", &ParaGeneral::triggerMode},
    {"average", &ParaGeneral::average},
    {"polarity", &ParaGeneral::polarity},
    {"analogOutMode", &ParaGeneral::analogOutMode},
    {"analogOutZoom", &ParaGeneral::analogOutZoom},
    {"rs232OutMode", &ParaGeneral::rs232OutMode},
    {"upperToleranceUm", &ParaGeneral::umUpperTolerance},
    {"lowerToleranceUm", &ParaGeneral::umLowerTolerance},
    {"setpointUm", &ParaGeneral::umSetpoint},
};

constexpr ParaField<ParaSensor> kSensorFields[] = {
    {"power", &ParaSensor::power},
    {"powerMode", &ParaSensor::powerMode},
    {"intTime", &ParaSensor::intTime},
    {"videoThreshold", &ParaSensor::videoThreshold},
    {"teachValuePix", &ParaSensor::teachValue},
    {"evalBeginPix", &ParaSensor::evalBegin},
    {"evalEndPix", &ParaSensor::evalEnd},
    {"baudrateIndex", &ParaSensor::baudrateIndex},
    {"modeSelect", &ParaSensor::modeSelect},
    {"ccdOpMode", &ParaSensor::ccdOpMode},
    {"teachValueUm", &ParaSensor::umTeachValue},
};

// The record of set `set` in `block`: the general set, or the master's or the slave's.
template <class Set>
Set &recordOf(ParaBlock &block, int set);
template <>
ParaGeneral &recordOf(ParaBlock &block, int) {
    return block.ge;
}
template <>
ParaSensor &recordOf(ParaBlock &block, int set) {
    return set == 1 ? block.ma : block.sl;
}

template <class Set, size_t n>
std::string setField(ParaBlock &block, int set, const ParaField<Set> (&fields)[n],
                     std::string_view name, int64_t value, int16_t pixelCount) {
    const std::string where = std::string(PARA_SET_NAMES[set]) + "." + std::string(name);
    for (const ParaField<Set> &field : fields) {
        if (name != field.name) continue;
        if (!field.holds(value)) return where + ": " + std::to_string(value) + " does not fit";
        // The block's own range check is the judge: a value it would replace is refused.
        ParaBlock probe = block;
        field.put(recordOf<Set>(probe, set), value);
        CheckParaRanges(probe, pixelCount);
        if (field.get(recordOf<Set>(probe, set)) != value)
            return where + ": " + std::to_string(value) + " is out of range";
        field.put(recordOf<Set>(block, set), value);
        return "";
    }
    return where + ": no such field";
}

}  // namespace

int ParaSetOfName(std::string_view name) {
    for (int set = 0; set < PARA_PAGES; ++set)
        if (name == PARA_SET_NAMES[set]) return set;
    return -1;
}

void ForEachParaField(const ParaBlock &block, int set,
                      const std::function<void(const char *name, int64_t value)> &take) {
    if (set == 0) {
        for (const auto &field : kGeneralFields) take(field.name, field.get(block.ge));
        return;
    }
    const ParaSensor &record = set == 1 ? block.ma : block.sl;
    for (const auto &field : kSensorFields) take(field.name, field.get(record));
}

std::string SetParaField(ParaBlock &block, int set, std::string_view name, int64_t value,
                         int16_t pixelCount) {
    if (set == 0) return setField(block, set, kGeneralFields, name, value, pixelCount);
    return setField(block, set, kSensorFields, name, value, pixelCount);
}
