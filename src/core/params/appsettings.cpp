#include "core/params/appsettings.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "core/audit/audittrail.h"
#include "core/link/transport.h"
#include "core/params/inifile.h"

namespace {

constexpr char CONNECTION[] = "CONNECTION";
constexpr char ADDRESSES[] = "IP ADDRESSES";
constexpr char APPLICATION[] = "APPLICATION";
constexpr char AUDIT[] = "AUDIT";
constexpr char RECONNECT[] = "RECONNECT";
constexpr char RECONNECT_KEY[] = "Reconnect lost pair";
constexpr size_t ADDRESS_SIZE = 1024;
constexpr size_t PATH_SIZE = 4096;

std::string addressKey(int k) {
    char key[24];
    std::snprintf(key, sizeof key, "IP ADDR %d", k);
    return key;
}

std::optional<int> intItem(IniText ini, const char *section, const char *tag) {
    int32_t value = 0;
    if (Ini_GetInt(ini, section, tag, &value) != 1) return std::nullopt;
    return value;
}

// Takes an integer item into `target` when it lies within [low, high].
void takeInRange(IniText ini, const char *tag, int low, int high, int &target) {
    std::optional<int> value = intItem(ini, CONNECTION, tag);
    if (value && *value >= low && *value <= high) target = *value;
}

std::optional<std::string> stringItem(IniText ini, const char *section, const char *tag,
                                      size_t size) {
    std::string buffer(size, '\0');
    if (Ini_GetStringIntoBuffer(ini, section, tag, buffer.data(), size) != 1) return std::nullopt;
    buffer.resize(std::string_view(buffer.c_str()).size());
    return buffer;
}

void readAddresses(IniText ini, AppSettings &values) {
    std::optional<int> count = intItem(ini, ADDRESSES, "LIST ITEMS");
    if (!count) return;
    values.recentAddresses.clear();
    for (int k = 1; k <= std::min(*count, MAX_RECENT_ADDRESSES); ++k) {
        auto address = stringItem(ini, ADDRESSES, addressKey(k).c_str(), ADDRESS_SIZE);
        if (address) values.recentAddresses.push_back(std::move(*address));
    }
}

std::optional<bool> flagItem(IniText ini, const char *tag) {
    std::optional<int> value = intItem(ini, APPLICATION, tag);
    if (!value) return std::nullopt;
    return *value == 1;
}

void readPlacement(IniText ini, AppSettings &values) {
    values.panelMaximised = flagItem(ini, "Panel max");
    if (values.panelMaximised == false) {
        auto left = intItem(ini, APPLICATION, "Panel pos. x");
        auto top = intItem(ini, APPLICATION, "Panel pos. y");
        if (left && top) {
            values.panelLeft = left;
            values.panelTop = top;
        }
        auto width = intItem(ini, APPLICATION, "Panel width");
        auto height = intItem(ini, APPLICATION, "Panel height");
        if (width && height) {
            values.panelWidth = width;
            values.panelHeight = height;
        }
    }
    if (auto touch = flagItem(ini, "Panel touchscreen")) values.touchSurface = touch;
    if (auto zoom = flagItem(ini, "Zoom button-state")) values.zoom = zoom;
}

}  // namespace

int ReadAppSettings(const char *path, AppSettings &values) {
    IniOwner ini = NewIniOwner();
    if (!ini || Ini_ReadFromFile(ini.get(), path) < 0) {
        const AppSettings defaults;
        values.comtype = defaults.comtype;
        values.rs232port = defaults.rs232port;
        values.rs232baudrate = defaults.rs232baudrate;
        values.hostName = defaults.hostName;
        values.portText = defaults.portText;
        return -1;
    }
    takeInRange(ini.get(), "COMM TYPE", 0, 1, values.comtype);
    takeInRange(ini.get(), "RS232 PORT", 1, 255, values.rs232port);
    takeInRange(ini.get(), "RS232 BAUDRATE", 0, 4, values.rs232baudrate);
    readAddresses(ini.get(), values);
    values.hostName = stringItem(ini.get(), CONNECTION, "IP ADDRESS", HOST_TEXT_SIZE).value_or("");
    values.portText =
        stringItem(ini.get(), CONNECTION, "PORT NUMBER", HOST_TEXT_SIZE).value_or("10001");
    readPlacement(ini.get(), values);
    if (auto log = stringItem(ini.get(), AUDIT, "LOG FILE", PATH_SIZE)) values.auditLog = log;
    if (auto on = intItem(ini.get(), AUDIT, "LOG ON")) values.auditOn = *on != 0;
    if (auto reconnect = intItem(ini.get(), RECONNECT, RECONNECT_KEY))
        values.reconnect = *reconnect != 0;
    return 1;
}

int WriteAppSettings(const char *path, const AppSettings &values, std::string *whyNot) {
    IniOwner ini = NewIniOwner();
    if (!ini) return -1;
    IniText h = ini.get();
    Ini_PutInt(h, CONNECTION, "COMM TYPE", values.comtype);
    Ini_PutInt(h, CONNECTION, "RS232 PORT", values.rs232port);
    Ini_PutInt(h, CONNECTION, "RS232 BAUDRATE", values.rs232baudrate);
    Ini_PutString(h, CONNECTION, "IP ADDRESS", values.hostName.c_str());
    Ini_PutString(h, CONNECTION, "PORT NUMBER", values.portText.c_str());

    const int count = std::min<int>(values.recentAddresses.size(), MAX_RECENT_ADDRESSES);
    Ini_PutInt(h, ADDRESSES, "LIST ITEMS", count);
    for (int k = 1; k <= count; ++k) {
        Ini_PutString(h, ADDRESSES, addressKey(k).c_str(), values.recentAddresses[k - 1].c_str());
    }

    Ini_PutInt(h, APPLICATION, "Panel max", values.panelMaximised.value_or(false));
    Ini_PutInt(h, APPLICATION, "Panel touchscreen", values.touchSurface.value_or(false));
    Ini_PutInt(h, APPLICATION, "Zoom button-state", values.zoom.value_or(false));
    Ini_PutInt(h, APPLICATION, "Panel pos. x", values.panelLeft.value_or(0));
    Ini_PutInt(h, APPLICATION, "Panel pos. y", values.panelTop.value_or(0));
    Ini_PutInt(h, APPLICATION, "Panel width ", values.panelWidth.value_or(0));  // trailing blank
    Ini_PutInt(h, APPLICATION, "Panel height", values.panelHeight.value_or(0));
    if (values.auditLog || values.auditOn) {
        Ini_PutString(h, AUDIT, "LOG FILE", values.auditLog.value_or("").c_str());
        Ini_PutInt(h, AUDIT, "LOG ON", values.auditOn.value_or(true));
    }
    Ini_PutInt(h, RECONNECT, RECONNECT_KEY, values.reconnect ? 1 : 0);
    return Ini_WriteToFile(h, path, whyNot);
}

void ApplyAuditSettings(const AppSettings &values) {
    SetAuditLog(QString::fromStdString(values.auditLog.value_or("")),
                values.auditOn.value_or(true));
}

int TcpPortOfSettings(const AppSettings &values) {
    return PortNumberOfText(values.portText.c_str());
}
