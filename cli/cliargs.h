// The tool's command line: its options, their checks and the help text.
#pragma once
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// Exit statuses of the tool.
enum ExitStatus {
    EXIT_OK = 0,                // the command succeeded
    EXIT_LINK = 1,              // the transport did not open or the sensor did not answer correctly
    EXIT_INCOMPATIBLE = 2,      // identify: a device or firmware this program does not serve
    EXIT_INCOMPLETE_TABLE = 3,  // identify, calib-read: a calibration table is incomplete
    EXIT_UNVERIFIED = 4,        // calib-write: the table was written but could not be read back
    EXIT_TABLE_DIFFERS = 5,     // calib-write: the table reads back different from the file
    EXIT_AUDIT_BROKEN = 6,      // audit --verify: the chain of the audit log is broken
    EXIT_USAGE = 64,            // unknown command or option, bad option value
    EXIT_DATA = 65,             // stats, plot: not a recorder file; send: no parameter in the file
    EXIT_NO_INPUT = 66,         // an input file cannot be read or is not a regular file
    EXIT_UNAVAILABLE = 69,      // plot, publish: the module they need cannot be loaded
    EXIT_CANT_CREATE = 73,      // the output file cannot be written or exists (without --force)
};

// Declares every option and the help text on `parser`.
void DeclareOptions(QCommandLineParser &parser);

// Checks the options of a parsed command line for `command`: only the common ones and
// `commandOptions`, at most one of --tcp and --com, usable values. An empty text when they are
// usable, else the problem.
QString OptionProblem(const QCommandLineParser &parser, const QString &command,
                      const QStringList &commandOptions);

// Transfer target of --target: RAM or EEPROM; 0 when the text names neither.
int TargetOf(const QCommandLineParser &parser);
