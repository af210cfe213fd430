// Reads a recorder file: the 10-line header (9 lines in trigger mode and from the touch
// recorder, which leave out the sample count) and the tab-separated sample lines, in the bytes
// the recorders write (Latin-1, "µ" as the byte 0xB5, CR LF line ends). One line at a time:
// nothing of the file is kept, so a file of any size is read in bounded memory. Plain C++.
#pragma once
#include <cstdint>
#include <fstream>
#include <istream>
#include <string>

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
    std::string time;     // hours:minutes:seconds as written
    int64_t elapsed = 0;  // seconds since the first sample (see ReadRecSample)
    int32_t ma = 0;       // MASTER value [µm]
    int32_t sl = 0;       // SLAVE value [µm]
    int32_t val = 0;      // measured value [µm]
    uint16_t maEdge = 0, slEdge = 0;
    uint16_t maPix = 0, slPix = 0, valPix = 0;
};

// Results of the reader.
enum RecReadResult {
    REC_READ_OK = 1,
    REC_READ_END = 0,          // no sample line left
    REC_READ_NO_FILE = -1,     // the file cannot be opened or read
    REC_READ_NOT_RECORD = -2,  // a line does not fit the format: errorLine and problem say which
    REC_READ_NOT_FILE = -3,    // the path names a folder, a FIFO or a device, not a file
};

// Where a reading stands: the stream, the line reached and the clock of the last sample.
struct RecReader {
    std::ifstream file;          // the file opened by OpenRecFile
    std::istream *in = nullptr;  // what is read: `file` or a stream of the caller
    int64_t line = 0;            // lines read so far
    int64_t errorLine = 0;       // on REC_READ_NOT_RECORD: the 1-based line that does not fit
    std::string problem;         // and what was expected there
    int clock = -1;              // time of day of the last sample [s]; -1 before the first
    int64_t elapsed = 0;         // seconds since the first sample, at the last sample
    int64_t cutLine = 0;         // at REC_READ_END: the 1-based last line when it was cut off
                                 // (no line end, as a power cut leaves it) and left out; else 0
    char buffer[256];            // the current line; longer lines are no recorder lines
};

// Opens the recorder file at `path` and reads its header into `header`: REC_READ_OK,
// REC_READ_NOT_FILE (nothing is opened, so a FIFO cannot block), REC_READ_NO_FILE or
// REC_READ_NOT_RECORD.
int OpenRecFile(RecReader &reader, const std::string &path, RecFileHeader &header);

// The same from a stream of the caller, which must outlive the reading.
int ReadRecHeader(RecReader &reader, std::istream &in, RecFileHeader &header);

// Reads the next sample line: REC_READ_OK, REC_READ_END, REC_READ_NOT_RECORD or REC_READ_NO_FILE.
// A last line without its line end was cut off while it was written: it ends the samples
// (REC_READ_END) unread, since its last number may be cut too, and `cutLine` names it.
// A time stamp more than twelve hours before the one before it is taken as the next day
// (23:59:59 to 00:00:00 is one second); a smaller step back is the clock set back and counts as
// it stands, so `elapsed` may go back by it.
int ReadRecSample(RecReader &reader, RecSample &sample);
