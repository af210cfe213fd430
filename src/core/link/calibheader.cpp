#include "core/link/calibheader.h"

CalibHeader calib[2];
CalibHeader calibToWrite[2];
int calibfile_flagA, calibfile_flagB;

const CalibHeader &ShownCalibHeader(int index) {
    const int loaded = index == 0 ? calibfile_flagA : calibfile_flagB;
    return loaded == 1 ? calibToWrite[index] : calib[index];
}

CalibHeader DefaultCalibHeader() {
    CalibHeader header{};
    header.typeCode = 610407;
    header.param1 = 1;
    header.tableLength = 2048;
    header.range = 10000;
    header.offset = 50000;
    return header;
}
