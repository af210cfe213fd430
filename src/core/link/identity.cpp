#include "core/link/identity.h"

#include <algorithm>

HwInfo hwinfo;
char szFirmwareVersion[VERSION_TEXT_SIZE + 1];
char szVersion[VERSION_TEXT_SIZE + 1];
char szHwLine[3][HW_LINE_SIZE];
int hwok_flag;
int pixB = 1, pixE = 4096;
double MIN_ITIME = 5.0, MAX_ITIME = 50.0;
double xArray8[XBAR_COUNT];

namespace {

// Static start values, so that code running before the shell's defaults sees them too.
struct StartValues {
    StartValues() { ResetHwInfo(); }
} startValues;

}  // namespace

void ResetHwInfo() {
    hwinfo = HwInfo{};
    hwinfo.pixelCount = 1024;
    hwinfo.subpixels = 4096;
}

int PixelCount() {
    return std::max<int>(hwinfo.subpixels, 256);
}
