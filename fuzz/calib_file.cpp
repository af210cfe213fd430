// Calibration-file reader: a failed read must leave the table and the header as they were and
// say why; a read 1024-value table leaves entries 1024 to 2047 zero.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "core/calib/calibfile.h"
#include "input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string path = InputFile(data, size);
    std::array<uint16_t, LIN_TABLE_SIZE> table;
    table.fill(0xA5A5);
    const std::array<uint16_t, LIN_TABLE_SIZE> before = table;
    CalibHeader header = DefaultCalibHeader();
    header.range = 7000;
    const CalibHeader headerBefore = header;
    const int result = ReadCalibrationFile(path.c_str(), table.data(), header);
    if (result == 0 && table != before) PropertyFailed("a failed read changed the table");
    if (result == 0 && std::memcmp(&header, &headerBefore, sizeof header) != 0)
        PropertyFailed("a failed read changed the header");
    if (result == 0 && CalibFileProblem()[0] == '\0') PropertyFailed("a refusal says no reason");
    if (result == 1 && header.tableLength == 1024 &&
        !std::all_of(table.begin() + 1024, table.end(), [](uint16_t v) { return v == 0; }))
        PropertyFailed("a 1024-value table left entries behind it");
    if (result != 0 && result != 1) PropertyFailed("the result is neither 0 nor 1");
    return 0;
}
