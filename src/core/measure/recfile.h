// The recorder file: a header of ten lines (date, time, increment, sample count, set-point and
// both sensors' calibration offsets and ranges, column names) and one tab-separated line per
// sample. Bytes of the Latin-1 character set ("µ" is the single byte 0xB5), every line ending
// in CR LF. The file is created together with its header, in one step with the check that it
// does not exist yet, so two recorders never write into one file. Every sample line is then
// appended to the existing file, which is opened and closed again for it: a recording that ends
// in any way leaves every line written so far, and a line that cannot be written whole is taken
// back, so the file always ends in a whole line. The desktop recorder, the touch recorder and the
// command line all write it through this module.
#pragma once
#include <cstddef>
#include <cstdint>

#include "wire/wire.h"

constexpr unsigned REC_MAX_SAMPLES = 32000;  // most samples a desktop recording takes
constexpr int REC_LINE_SIZE = 128;           // room for the longest sample line

// The values of header lines 3 to 9.
struct RecHeader {
    double increment;  // seconds between samples; 0 in trigger mode
    unsigned samples;  // the sample count of line 4
    bool withCount;    // line 4 is written (not in trigger mode, not by the touch recorder)
    int32_t setpoint;  // um-Setpoint in set-point mode, else 0
    int32_t offsetMaster, offsetSlave, rangeMaster, rangeSlave;
};

// The header values of the current parameter block and calibration headers.
RecHeader CurrentRecHeader(double increment, unsigned samples, bool withCount);

// The header's bytes with the given date ("MM-DD-YYYY") and time ("HH:MM:SS") into `out`;
// returns the length, or -1 when `size` is too small.
int FormatRecHeader(char *out, std::size_t size, const RecHeader &header, const char *date,
                    const char *time);

// One sample line of the record `r` taken at `time` into `out`; returns the length.
int FormatSampleLine(char (&out)[REC_LINE_SIZE], const char *time, const RawRecord &r);

// Creates `path`, which must not exist yet, with the header of today's date and the time now,
// and its sidecar (core/measure/recsidecar.h). 1, or -1 when it exists already or cannot be
// created or written; a header or sidecar that could not be written whole leaves no recorder
// file behind.
int CreateRecFile(const char *path, const RecHeader &header);

// Appends the sample line of `r` with the time now to the existing file `path`. 1, or -1 when
// it is gone or cannot be written (the disk is full, the file became read-only); the file then
// ends as it did before.
int AppendSampleLine(const char *path, const RawRecord &r);

// Why the last CreateRecFile or AppendSampleLine failed, as the system words it ("No space left
// on device", "File exists").
const char *RecFileError();

// The fields of a trigger record (order 18) copied into the measurement record at their places.
void CopyTriggerRecord(const TriggerRecord &rec, RawRecord &r);
