// The tool's commands. Each runs on the open transport and returns the exit status.
#pragma once
#include <QFunctionPointer>
#include <memory>

class QCommandLineParser;
class QCoreApplication;

// identify, teach, reset, calib-read, line-test (device_commands.cpp).
int CmdIdentify(const QCommandLineParser &args);
int CmdTeach(const QCommandLineParser &args);
int CmdReset(const QCommandLineParser &args);
int CmdCalibRead(const QCommandLineParser &args);
int CmdLineTest(const QCommandLineParser &args);

// Closes the transport, opens it again and identifies the pair, as an unattended run does after
// a lost sensor. EXIT_OK when the pair is accepted; EXIT_LINK (try again later) or the status that
// ends the run, with `problem` saying why.
int ReopenAndIdentify(const QCommandLineParser &args, QString &problem);

// get, send (param_commands.cpp). CheckGetOutput and CheckSendInput run before the transport
// opens, so that nothing at all reaches the sensor when an existing parameter file would be
// overwritten without --force, or when the file to send is not a readable parameter file.
int CheckGetOutput(const QCommandLineParser &args);
int CmdGet(const QCommandLineParser &args);
int CheckSendInput(const QCommandLineParser &args);
int CmdSend(const QCommandLineParser &args);

// calib-write, linearize (calib_commands.cpp). CheckCalibWrite runs before the transport
// opens: nothing reaches the sensor when the calibration file is not valid.
int CheckCalibWrite(const QCommandLineParser &args);
int CmdCalibWrite(const QCommandLineParser &args);
int CmdLinearize(const QCommandLineParser &args);

// run, video (live_commands.cpp).
int CmdRun(const QCommandLineParser &args);
int CmdVideo(const QCommandLineParser &args);

// ports (port_commands.cpp), stats and plot (stats_command.cpp, plot_command.cpp): without a
// connection.
int CmdPorts(const QCommandLineParser &args);
int CmdStats(const QCommandLineParser &args);
int CmdPlot(const QCommandLineParser &args);
// capability FILE (capability_command.cpp), plot --chart (control_chart_command.cpp) and
// gauge-study (gauge_command.cpp): the statistics of the core as figures, charts and reports.
int CmdCapability(const QCommandLineParser &args);
int CmdControlChart(const QCommandLineParser &args);
int CmdGaugeStudy(const QCommandLineParser &args);

// A picture or report may go to the file of `option`: not the recording itself, and over an
// existing file only with --force. EXIT_OK or the refusal (shown).
int CheckOutputFile(const QCommandLineParser &args, const char *option);
// An entry of the plot module; nullptr with `status` EXIT_UNAVAILABLE (shown) when the module
// cannot be loaded.
QFunctionPointer PlotModuleEntry(const char *symbol, int &status);
// The application object plot needs, made by the plot module, which is loaded here; a
// QCoreApplication when the module cannot be loaded, and CmdPlot then fails.
std::unique_ptr<QCoreApplication> MakePlotApplication(int &argc, char **argv);
// record (record_command.cpp). CheckRecordOutput runs before the transport opens: an existing
// file is never overwritten. CmdRecord opens the transport itself, and with --reconnect waits
// for the pair and reopens it after a lost sensor.
int CheckRecordOutput(const QCommandLineParser &args);
int CmdRecord(const QCommandLineParser &args);

// Reads the firmware text and the hardware record, which name the pair in the audit log and in a
// recording's sidecar. EXIT_OK or EXIT_LINK (with the problem shown).
int ReadPairIdentity();

// Reads the hardware record, so that the range check of the parameter sets and the x positions
// of the video profiles follow the connected pair as after the program's identification.
// EXIT_OK or EXIT_LINK (with the problem shown).
int ReadHardwareRecord();

// publish (publish_command.cpp): identifies the pair, then publishes its identification,
// parameter sets, status and measurement records to an MQTT broker until SIGINT or SIGTERM,
// through lost sensors and lost brokers. It opens and reopens the transport itself.
int CmdPublish(const QCommandLineParser &args);

// audit (audit_command.cpp): the audit log's entries [--serial, --since, --json], or the check of
// its chain (--verify; EXIT_AUDIT_BROKEN naming the first broken line). ConfigureAuditLog puts the
// tool's log where --audit, --no-audit or the settings file's AUDIT section say, else at the
// default place; CheckAuditLog runs before the transport of a command that changes the sensor
// opens: nothing at all reaches the sensor when the log cannot be written.
int CmdAudit(const QCommandLineParser &args);
void ConfigureAuditLog(const QCommandLineParser &args);
int CheckAuditLog(const QCommandLineParser &args);
