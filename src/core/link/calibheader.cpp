#include "core/link/calibheader.h"

CalibHeader calib[2];

CalibHeader DefaultCalibHeader() {
    CalibHeader header{};
    header.typeCode = 610407;
    header.param1 = 1;
    header.tableLength = 2048;
    header.range = 10000;
    header.offset = 50000;
    return header;
}
