#include "gui/app/logo.h"

#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include <cstdio>

#include "core/params/inifile.h"
#include "gui/panels/handles.h"
#include "gui/runtime/screen.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

const char szSoftName[] = "K-TAV-PX-MS-Vista";
const char szSoftBuildDate[] = "Build: V4.2.1  05/Oct/2015";
const char szProgramVersion[] = "V4.2";

namespace {

constexpr int kBannerBlue = 0x0080FF;
constexpr int kWhite = 0xFFFFFF;

struct Identity {
    char maker[128] = "Laser line sensor systems";
    char telephone[128] = "";
    char web[128] = "";
    char logo[260] = "";
};

Identity readIdentity(const QString &folder) {
    Identity id;
    IniOwner ini = NewIniOwner();
    const QByteArray path = QDir(folder).filePath("identity.ini").toLocal8Bit();
    if (!ini || Ini_ReadFromFile(ini.get(), path.constData()) < 0) return id;
    const auto read = [&](const char *tag, char *buffer, size_t size) {
        char value[260] = "";
        if (Ini_GetStringIntoBuffer(ini.get(), "IDENTITY", tag, value, sizeof value) == 1)
            std::snprintf(buffer, size, "%s", value);
    };
    read("Maker", id.maker, sizeof id.maker);
    read("Telephone", id.telephone, sizeof id.telephone);
    read("Web", id.web, sizeof id.web);
    read("Logo", id.logo, sizeof id.logo);
    return id;
}

}  // namespace

int ShowInfoText(int backgroundColor, int textColor, const char *text, int left, int top,
                 int pointSize) {
    const int control = NewCtrl(pPA, CTRL_TEXT_MSG, text, top, left);
    if (control < 0) return control;
    SetCtrlAttribute(pPA, control, ATTR_TEXT_BGCOLOR, backgroundColor);
    SetCtrlAttribute(pPA, control, ATTR_TEXT_COLOR, textColor);
    SetCtrlAttribute(pPA, control, ATTR_TEXT_POINT_SIZE, pointSize);
    SetCtrlAttribute(pPA, control, ATTR_TOOLTIP_TEXT, szSoftBuildDate);
    SizeCtrlToText(pPA, control);
    return control;
}

void ShowLogo(int variant) {
    if (variant != 2) return;
    const QString folder = QCoreApplication::applicationDirPath();
    const Identity id = readIdentity(folder);
    SetCtrlAttribute(pPA, PANEL_BANNER, ATTR_TEXT_BGCOLOR, kBannerBlue);
    const bool logo =
        id.logo[0] &&
        DisplayImageFile(pPA, PANEL_LOGO,
                         QDir(folder).filePath(id.logo).toLocal8Bit().constData()) == 0;
    SetCtrlAttribute(pPA, PANEL_LOGO, ATTR_VISIBLE, logo ? 1 : 0);
    ShowInfoText(kBannerBlue, kWhite, id.maker, 15, 10, 11);
    ShowInfoText(kBannerBlue, kWhite, id.telephone, 15, 25, 11);
    ShowInfoText(kBannerBlue, kWhite, id.web, 15, 40, 11);
    const int name = ShowInfoText(kBannerBlue, kWhite, szSoftName, 250, 35, 18);
    // The version stands right of the name, further right when the name's font runs wider.
    int top = 0, left = 0, height = 0, width = 0;
    GetCtrlBoundingRect(pPA, name, &top, &left, &height, &width);
    ShowInfoText(kBannerBlue, kWhite, szProgramVersion, std::max(430, left + width + 8), 41, 11);
}
