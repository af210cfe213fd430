// Reads a recorder file: the 10-line header (9 lines in trigger mode and from the touch
// recorder, which leave out the sample count) and the tab-separated sample lines, in the bytes
// the recorders write (Latin-1, "µ" as the byte 0xB5, CR LF line ends). Plain C++.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The header of a recorder file.
struct RecFileHeader {
    std::string date;          // month-day-year of the start
    std::string time;          // hours:minutes:seconds of the start
    double increment = 0.0;    // seconds between samples; 0 in trigger mode
    int sampleCount = -1;      // the requested count; -1 where the line is left out
    int32_t setpoint = 0;      // [µm], 0 unless the set-point mode was on
    int32_t offsetMaster = 0;  // calibration offsets and ranges of both sensors [µm]
    int32_t offsetSlave = 0;
    int32_t rangeMaster = 0;
    int32_t rangeSlave = 0;
};

// One sample line.
struct RecSample {
    std::string time;  // hours:minutes:seconds as written
    int elapsed = 0;   // seconds since the first sample; a stamp that goes back is the next day
    int32_t ma = 0;    // MASTER value [µm]
    int32_t sl = 0;    // SLAVE value [µm]
    int32_t val = 0;   // measured value [µm]
    uint16_t maEdge = 0, slEdge = 0;
    uint16_t maPix = 0, slPix = 0, valPix = 0;
};

struct RecFile {
    RecFileHeader header;
    std::vector<RecSample> samples;
};

// Results of the readers.
enum RecReadResult {
    REC_READ_OK = 1,
    REC_READ_NO_FILE = -1,     // the file cannot be opened or read
    REC_READ_NOT_RECORD = -2,  // a line does not fit the format: errorLine and problem say which
};

// Reads the recorder file at `path` into `out`. On REC_READ_NOT_RECORD `errorLine` holds the
// 1-based number of the first line that does not fit and `problem` what was expected there.
int ReadRecFile(const std::string &path, RecFile &out, int &errorLine, std::string &problem);

// The same from the file's bytes.
int ParseRecFile(std::string_view bytes, RecFile &out, int &errorLine, std::string &problem);
