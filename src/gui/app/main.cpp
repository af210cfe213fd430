// K-TAV-PX-MS-Vista: control and monitoring program of the MASTER/SLAVE laser line sensor pair.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

#include "core/state/programdir.h"
#include "core/system/timing.h"
#include "gui/app/shell.h"

namespace {

constexpr double kMaxScreenshotDelay = 3600.0;  // seconds

// Whether the folder that `file` is to be written into exists.
bool folderExists(const QString &file) {
    return QFileInfo(QFileInfo(file).absolutePath()).isDir();
}

// Refuses an option on standard error; exit status 1, as for an option the parser does not know.
int refuse(const QString &why) {
    std::fprintf(stderr, "%s: %s\n",
                 qPrintable(QFileInfo(QCoreApplication::applicationFilePath()).fileName()),
                 qPrintable(why));
    return 1;
}

// The program's options and its description, for the --help text.
void describeOptions(QCommandLineParser &parser) {
    parser.setApplicationDescription(
        "Control and monitoring program of the K-TAV-PX MASTER/SLAVE laser line sensor pair.\n"
        "Exit status: 0 after an orderly close; 1 for an option refused; 2 when the settings "
        "file or the screenshot could not be written.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {"dir",
         "Program directory: settings file and recorder file (default: the program's "
         "folder).",
         "DIR"},
        {"log",
         "Write the status texts shown, with a time stamp, to FILE (a loop's cycle texts once, "
         "then its number of cycles; FILE moves aside to FILE.1 past 4 MB).",
         "FILE"},
        {"screenshot", "After start-up, save a PNG of the active surface to FILE and close.",
         "FILE"},
        {"screenshot-delay", "Take the screenshot SECONDS (0 to 3600) after start-up (default 0).",
         "SECONDS", "0"},
        {"run", "Start RUN right after start-up, as if the RUN button had been pressed."},
        {"video", "Start VIDEO right after start-up, as if the VIDEO button had been pressed."},
        {"touch", "Start on the full-screen touch surface, whatever the settings file says."},
        {"record",
         "Open the recorder pop-up and start a recording right after start-up, as if its START "
         "button had been pressed."},
    });
}

void nameApplication() {
    QCoreApplication::setApplicationName("K-TAV-PX-MS-Vista");
    QCoreApplication::setApplicationVersion(KTAV_VERSION);
}

// Whether the command line asks for the help text or the version, which need no display.
bool asksHelpOrVersion(int argc, char **argv) {
    for (int i = 1; i < argc; ++i)
        for (const char *option : {"-h", "-?", "--help", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], option) == 0) return true;
    return false;
}

}  // namespace

int main(int argc, char **argv) {
    SelectEventDispatcher();
    if (asksHelpOrVersion(argc, argv)) {
        // Answered before the windows' application starts, which needs a display.
        QCoreApplication app(argc, argv);
        nameApplication();
        QCommandLineParser parser;
        describeOptions(parser);
        parser.process(app);  // prints and ends the program
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setStyle("Fusion");  // the panels' colours look the same on every desktop
    nameApplication();

    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(app);

    bool isNumber = false;
    const QString delay = parser.value("screenshot-delay");
    const double seconds = delay.toDouble(&isNumber);
    if (!isNumber || !(seconds >= 0.0 && seconds <= kMaxScreenshotDelay))
        return refuse("--screenshot-delay takes 0 to 3600 seconds, not " + delay);
    for (const char *name : {"screenshot", "log"}) {
        const QString file = parser.value(name);
        if (!file.isEmpty() && !folderExists(file))
            return refuse(QString("--%1: no folder %2").arg(name, QFileInfo(file).absolutePath()));
    }

    const QByteArray dir = parser.value("dir").toLocal8Bit();
    if (const char *tooLong =
            parser.isSet("dir") ? ProgramDirectoryTooLong(dir.constData()) : nullptr)
        return refuse("--dir: a path too long for the program's files: " +
                      QString::fromLocal8Bit(tooLong));

    ProgramOptions options;
    options.dir = parser.value("dir").toStdString();
    options.logFile = parser.value("log").toStdString();
    options.screenshot = parser.value("screenshot").toStdString();
    options.screenshotDelay = seconds;
    options.run = parser.isSet("run");
    options.video = parser.isSet("video");
    options.touch = parser.isSet("touch");
    options.record = parser.isSet("record");
    return WinMain(options);
}
