#include "link/identify.h"

HwInfo hwinfo;

namespace {
struct StartValues {
    StartValues() { ResetHwInfo(); }
} startValues;
}  // namespace

void ResetHwInfo()
{
    hwinfo = HwInfo{};
    hwinfo.pixelCount = 1024;
    hwinfo.subpixels = 4096;
}
