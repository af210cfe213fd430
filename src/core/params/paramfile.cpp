#include "core/params/paramfile.h"

#include <span>

namespace {

template <class Set>
struct SetKeys {
    std::span<const std::pair<const char *, uint16_t Set::*>> words;
    std::span<const std::pair<const char *, int32_t Set::*>> longs;
};

constexpr std::pair<const char *, uint16_t ParaGeneral::*> generalWords[] = {
    {"Eval-Mode", &ParaGeneral::evalMode},
    {"Trigger-Mode", &ParaGeneral::triggerMode},
    {"Analog-Out-Mode", &ParaGeneral::analogOutMode},
    {"Hardware-Mode", &ParaGeneral::hardwareMode},
    {"Average", &ParaGeneral::average},
    {"Polarity", &ParaGeneral::polarity},
    {"Analog-Out-Zoom", &ParaGeneral::analogOutZoom},
    {"Measurement-Mode", &ParaGeneral::measurementMode},
};
constexpr std::pair<const char *, int32_t ParaGeneral::*> generalLongs[] = {
    {"um-Lower-Tolerance", &ParaGeneral::umLowerTolerance},
    {"um-Upper-Tolerance", &ParaGeneral::umUpperTolerance},
    {"um-Setpoint", &ParaGeneral::umSetpoint},
};
constexpr std::pair<const char *, uint16_t ParaSensor::*> sensorWords[] = {
    {"Power", &ParaSensor::power},
    {"Power-Mode", &ParaSensor::powerMode},
    {"Video-Threshold", &ParaSensor::videoThreshold},
    {"Teach-Value [pix]", &ParaSensor::teachValue},
    {"Eval-Begin [pix]", &ParaSensor::evalBegin},
    {"Eval-End [pix]", &ParaSensor::evalEnd},
    {"CCD-OP-Mode", &ParaSensor::ccdOpMode},
};
constexpr std::pair<const char *, int32_t ParaSensor::*> sensorLongs[] = {
    {"um-Teach-Value", &ParaSensor::umTeachValue},
};

constexpr SetKeys<ParaGeneral> generalKeys{generalWords, generalLongs};
constexpr SetKeys<ParaSensor> sensorKeys{sensorWords, sensorLongs};

template <class Set>
void putSet(IniText ini, const char *section, const Set &set, const SetKeys<Set> &keys) {
    for (auto [key, field] : keys.words) Ini_PutInt(ini, section, key, set.*field);
    for (auto [key, field] : keys.longs) Ini_PutInt(ini, section, key, set.*field);
}

template <class Set>
int getSet(IniText ini, const char *section, Set &set, const SetKeys<Set> &keys) {
    int32_t value = 0;
    int taken = 0;
    for (auto [key, field] : keys.words) {
        if (Ini_GetInt(ini, section, key, &value) != 1) continue;
        set.*field = static_cast<uint16_t>(value);
        ++taken;
    }
    for (auto [key, field] : keys.longs) {
        if (Ini_GetInt(ini, section, key, &value) != 1) continue;
        set.*field = value;
        ++taken;
    }
    return taken;
}

}  // namespace

void PutIniParaTags(IniText ini, const ParaBlock &block) {
    putSet(ini, "PARA0", block.ge, generalKeys);
    putSet(ini, "PARA1", block.ma, sensorKeys);
    putSet(ini, "PARA2", block.sl, sensorKeys);
}

int GetIniParaTags(IniText ini, ParaBlock &block) {
    return getSet(ini, "PARA0", block.ge, generalKeys) +
           getSet(ini, "PARA1", block.ma, sensorKeys) + getSet(ini, "PARA2", block.sl, sensorKeys);
}

int WriteParaToIniFile(const ParaBlock &block, const char *path) {
    IniOwner ini = NewIniOwner();
    if (!ini) return -1;
    PutIniParaTags(ini.get(), block);
    return Ini_WriteToFile(ini.get(), path) < 0 ? -1 : 1;
}

int ReadParaFromIniFile(ParaBlock &block, const char *path) {
    IniOwner ini = NewIniOwner();
    if (!ini || Ini_ReadFromFile(ini.get(), path) < 0) return -1;
    GetIniParaTags(ini.get(), block);
    return 1;
}
