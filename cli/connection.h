// Opening and closing the transport to the sensor pair: from --tcp or --com, or else from the
// connection stored in the settings file of --dir.
#pragma once

class QCommandLineParser;
class QString;

// Sets up and opens the transport. EXIT_OK when it is open, else the exit status; `problem`
// then names the reason (the transport's own status text has been shown already).
int OpenConnection(const QCommandLineParser &args, QString &problem);

// The settings file the connection is taken from without --tcp and --com: PX-MS-Vista.ini of
// --dir, else of the tool's directory.
QString SettingsFilePath(const QCommandLineParser &args);

// Closes whatever transport is open.
void CloseConnection();
