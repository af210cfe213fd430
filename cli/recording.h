// What stats and plot share: the recorder file named on the command line, read one sample at a
// time, and the set-point and tolerances the figures are taken against.
#pragma once
#include <QCommandLineParser>
#include <functional>
#include <optional>
#include <string>

#include "core/measure/recreader.h"

// The recorder file of the command line: the word after the command, or --from.
QString RecordingPath(const QCommandLineParser &args);

// Opens the recorder file of the command line and reads its header: EXIT_OK, EXIT_NO_INPUT when
// it cannot be read or is no regular file, EXIT_DATA when a line does not fit (the problem and
// its line number are shown).
int OpenRecording(const QCommandLineParser &args, RecReader &reader, RecFileHeader &header);

// Hands every sample of the opened recording to `take`, in file order: EXIT_OK at the end (a
// last line cut off is left out with a warning naming it), EXIT_DATA or EXIT_NO_INPUT as
// OpenRecording.
int ForEachSample(const QCommandLineParser &args, RecReader &reader,
                  const std::function<void(const RecSample &)> &take);

// The set-point and the tolerances around it [µm]; what is not given stays empty.
struct Tolerances {
    std::optional<double> setpoint;  // --setpoint, else the header's of a set-point recording
    std::optional<double> upper, lower;
};

// A header set-point of 0 means the recording was not made in set-point mode.
bool HasSetpointMode(const RecFileHeader &header);

// The tolerances of the command line for `header`: EXIT_OK, or EXIT_USAGE (shown) when
// --upper/--lower come without a set-point to take them from.
int TolerancesOf(const QCommandLineParser &args, const RecFileHeader &header, Tolerances &tol);

// What the recording's sidecar names (core/measure/recsidecar.h): "serial number 1001, MASTER
// PX-M4, SLAVE PX-M5"; empty when the recording has none.
std::string SidecarPair(const QCommandLineParser &args);
// The calibration the recording was made with: the sidecar's headers with their tables' SHA-256,
// else the offsets and ranges of the file's header.
std::string CalibrationOf(const QCommandLineParser &args, const RecFileHeader &header);
