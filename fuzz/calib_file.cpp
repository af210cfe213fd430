// Calibration-file reader: a file is read for the master and for the slave. A failed read must
// leave the table as it was and the other sensor's header alone; a read 1024-value table leaves
// entries 1024 to 2047 zero.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "calib/calibfile.h"
#include "input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string path = InputFile(data, size);
    for (int16_t sensor : {int16_t(1), int16_t(2)}) {
        ResetCalibration();
        calib[1].range = 7000;  // the two headers differ, so that a swap shows
        std::array<uint16_t, LIN_TABLE_SIZE> table;
        table.fill(0xA5A5);
        const std::array<uint16_t, LIN_TABLE_SIZE> before = table;
        const CalibHeader other = calib[sensor == 1 ? 1 : 0];
        const int result = ReadCalibrationFile(path.c_str(), table.data(), sensor);
        if (std::memcmp(&other, &calib[sensor == 1 ? 1 : 0], sizeof other) != 0)
            PropertyFailed("the other sensor's header changed");
        if (result == 0 && table != before) PropertyFailed("a failed read changed the table");
        if (result == 1 && calib[sensor == 1 ? 0 : 1].tableLength == 1024 &&
            !std::all_of(table.begin() + 1024, table.end(), [](uint16_t v) { return v == 0; }))
            PropertyFailed("a 1024-value table left entries behind it");
        if (result != 0 && result != 1) PropertyFailed("the result is neither 0 nor 1");
    }
    return 0;
}
