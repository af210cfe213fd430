// K-TAV-PX-MS-Vista: control and monitoring program of the MASTER/SLAVE laser line sensor pair.
#include <QApplication>
#include <QCommandLineParser>

#include "app/shell.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("K-TAV-PX-MS-Vista");
    QApplication::setApplicationVersion("4.2.1");

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Control and monitoring program of the K-TAV-PX MASTER/SLAVE laser line sensor pair.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {"dir", "Program directory: settings file and recorder file (default: the program's "
                "folder).", "DIR"},
        {"log", "Write every status text shown, with a time stamp, to FILE.", "FILE"},
        {"screenshot", "After start-up, save a PNG of the active surface to FILE and close.",
         "FILE"},
    });
    parser.process(app);

    ProgramOptions options;
    options.dir = parser.value("dir").toStdString();
    options.logFile = parser.value("log").toStdString();
    options.screenshot = parser.value("screenshot").toStdString();
    return WinMain(options);
}
