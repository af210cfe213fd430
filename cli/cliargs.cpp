#include "cliargs.h"

#include <QDateTime>
#include <cmath>

#include "core/measure/recfile.h"
#include "core/state/flags.h"
#include "core/state/programdir.h"

namespace {

// Options every command accepts; the others belong to the commands that name them.
const QStringList kCommonOptions = {"tcp", "com", "baud", "dir", "verbose", "audit", "no-audit"};

constexpr int kMaxPicture = 10000;  // pixels on a side of a plot

const char *const kDescription =
    "Talks to the K-TAV-PX MASTER/SLAVE sensor pair without windows, through the program's own\n"
    "link, parameter and file code. Status texts go to standard error as the program shows them,\n"
    "data to standard output.\n"
    "\n"
    "Connection: --tcp or --com; without them the connection stored in the settings file\n"
    "PX-MS-Vista.ini of --dir (default: the tool's directory).\n"
    "\n"
    "Commands:\n"
    "  identify     identifies the pair like the program at connection time and prints the\n"
    "               firmware text, version, serial number, firmware number, line type,\n"
    "               subpixels, the MASTER and SLAVE model lines and both calibration headers\n"
    "  get          reads the general, master and slave parameter sets [--target] and writes\n"
    "               them as a parameter file (K-TAV-PARA.ini format) to --out (an existing file\n"
    "               only with --force) or standard output\n"
    "  send         reads the three sets from the sensor, applies the parameter file --in (fields\n"
    "               the file does not store keep the sensor's values) and sends the sets\n"
    "               [--target]; nothing is sent when the file cannot be read, is not a regular\n"
    "               file or holds no parameter\n"
    "  run          prints one line per measurement record [--count, --interval], until the\n"
    "               count or Ctrl-C: time stamp, MA, SL, VAL [um], MA-E, SL-E, MA-PIX, SL-PIX,\n"
    "               VAL-PIX, separated by tabs\n"
    "  record       records to the recorder file --out (never overwritten): polled every\n"
    "               --interval seconds (default 0: as fast as the link allows) up to --count\n"
    "               samples (default and limit 32000), or with --trigger the trigger records\n"
    "               the sensor sends by itself (it must be in RS-232 output mode 1 already;\n"
    "               nothing is set on it), dropping those whose data is damaged (their\n"
    "               number is told at the end); the sample count goes to standard error as\n"
    "               it grows; Ctrl-C ends the recording with every sample taken so far; a\n"
    "               write that fails (also past a file size limit) leaves the file ending in a\n"
    "               whole line. A damaged or missing reply is asked for again at once and never\n"
    "               becomes a sample; three failed exchanges in a row mean a lost sensor (run,\n"
    "               record and publish alike)\n"
    "  video        prints the two video profiles: 128 lines of x position, MASTER value and\n"
    "               SLAVE value, separated by tabs\n"
    "  teach        TEACH: the current positions become the teach values; prints them\n"
    "  reset        RESET of the analog/digital outputs (max/min values)\n"
    "  calib-read   reads and prints the calibration headers of MASTER and SLAVE and checks\n"
    "               their tables as identify does\n"
    "  calib-write  identifies the pair, reads the calibration file --file for --sensor and\n"
    "               writes its header (--header: the file's six fields over the sensor's own\n"
    "               header) and linearisation table (--table) into that sensor's flash as the\n"
    "               calibration pop-up's WRITE does, printing each step; a table in the\n"
    "               MASTER's flash is read back and compared; SIGINT and SIGTERM wait for the\n"
    "               table's end; nothing is sent when the file is not valid (the line at fault\n"
    "               is named)\n"
    "  linearize    off|master|slave: switches the pair's linearisation\n"
    "  line-test    sends the echo request and reports whether the line works\n"
    "  publish      the pair on the plant network: identifies it, then runs RUN cycles and\n"
    "               publishes to the MQTT broker --mqtt under the topic prefix --topic, until\n"
    "               SIGINT or SIGTERM: PREFIX/measurement (the objects of run --json, every\n"
    "               record or --every N-th, cycles paced by --rate), PREFIX/identity and\n"
    "               PREFIX/parameters (retained: the objects of identify --json and get --json,\n"
    "               sent again when they change and on every connection to the broker) and\n"
    "               PREFIX/status (retained: online once broker and pair are there;\n"
    "               sensor-lost and reconnecting after a loss; offline, the broker's last will)\n"
    "               and PREFIX/audit (QoS 1, not retained: each line this host appends to the\n"
    "               audit log meanwhile). A lost sensor or broker, or one not there at the\n"
    "               start, does not end the run: it is tried again (a sensor at once, then)\n"
    "               after 1 s, doubling up to 30 s, as standard error says, and the pair\n"
    "               identified again. The password file must be a regular file of at most 4 KiB\n"
    "               and the CA file a PEM file the TLS library takes, or the run ends at once.\n"
    "               Nothing is subscribed: no message from the broker reaches the sensor. Exit\n"
    "               status 0 when ended by a signal, 2 for a device or firmware this program\n"
    "               does not serve\n"
    "\n"
    "Commands without a connection:\n"
    "  audit        the audit log's entries as a table (--json: its lines), those of --serial N\n"
    "               and --since T (ISO 8601 date or time) only; --verify checks its chain and\n"
    "               names the first broken line (exit status 6)\n"
    "  ports        lists the serial ports of the system: the program's port number (from\n"
    "               KTAV_COM<N>, else /dev/ttyS<N-1>), device, description, USB vendor:product\n"
    "               and serial number; devices named by KTAV_COM<N> are listed too\n"
    "  stats FILE   figures of a recorder file (desktop or touch recorder), read in one pass\n"
    "               whatever its size: the mode (polled every N s, polled as fast as the link\n"
    "               allowed, external trigger); per column MA, SL and VAL the count, min, max,\n"
    "               mean and standard deviation (of the sample, n-1) in mm; with --upper/--lower\n"
    "               the share of samples outside set-point + upper / set-point - lower, Pp and\n"
    "               Ppk (from the overall spread). The set-point is --setpoint, else the "
    "recording's: a set-point of 0 in\n"
    "               the header means it was not made in set-point mode, and tolerances then need\n"
    "               --setpoint. The times of the first and last sample, the mean interval, the\n"
    "               largest gap between two time stamps and, polled at an increment, the\n"
    "               intervals certainly longer than 1.5 increments. The time stamps are whole\n"
    "               seconds: the mean interval is the whole seconds between the first and the\n"
    "               last stamp over the samples stamped within them, and a gap counts as long\n"
    "               when the stamps lie more than 1.5 increments + 1 s apart. A stamp more than\n"
    "               12 h before the one before it is the next day, a smaller step back a clock\n"
    "               set back\n"
    "  plot FILE    the recording as a PNG picture --out [--width, --height], never written over\n"
    "               FILE and over another existing file only with --force: VAL over time (thick\n"
    "               green), MA (blue) and SL (red) as thin traces, each pixel column showing the\n"
    "               lowest and highest value of its samples; the set-point (black) when there is\n"
    "               one (as for stats) and with --upper/--lower the tolerance band. The value\n"
    "               axis covers the data and the band; the time axis is in s, min or h; the\n"
    "               samples of one whole-second time stamp are spread over that second\n"
    "               With --chart imr|xbar-r [--subgroup N, --column]: the control chart of a\n"
    "               column instead: values (or subgroup means) with centre line, control limits,\n"
    "               the tolerance band's limits, rule breaks in red; moving ranges (or ranges)\n"
    "               below on the same axis; the figures in a box\n"
    "  capability FILE  capability of one --column (VAL, MA, SL) of a recorder file, in one\n"
    "               pass:\n"
    "               count, mean, min, max, the overall sigma (n-1) and the sigma within\n"
    "               (--subgroup 1: MR-bar / 1.128 of single values; 2..10: R-bar / d2 of\n"
    "               subgroups), Cp and Cpk from the sigma within, Pp and Ppk from the overall,\n"
    "               against --lower/--upper or --setpoint (else the recording's) with\n"
    "               --tol-upper/--tol-lower [mm]; one limit gives only Cpk and Ppk. The control\n"
    "               limits of the I-MR or X-bar-R chart and the points that break rule 1 (beyond\n"
    "               the limits), rule 2 (9 in a row on one side of the centre line) and rule 3\n"
    "               (6 in a row rising or falling). A figure that cannot be had shows \"-\" and\n"
    "               why. --json for scripts, --pdf FILE a one-page report\n"
    "  gauge-study  type-1 gauge study of a part of --reference MM held still under the pair:\n"
    "               --count values (default 50) of --column, one RUN record every --interval\n"
    "               seconds, or the values of the recorder file --from FILE; against --tolerance\n"
    "               MM: bias, repeatability s, Cg = 0.2 T / (6 s), Cgk = (0.1 T - |bias|) /\n"
    "               (3 s), %RE = --resolution (default 0.001 mm) / T; the verdict \"capable\"\n"
    "               when Cg and Cgk are at least 1.33 and %RE at most 5 %; the serial number,\n"
    "               models and calibration headers of the pair, the time. --json, --chart\n"
    "               FILE.png (the run of values with the reference and reference +- 0.1 T, and a\n"
    "               histogram), --pdf FILE a one-page report\n"
    "\n"
    "stats, plot and capability leave out a last line cut off without its line end (a power\n"
    "cut), with a warning that names it.\n"
    "\n"
    "JSON (--json on identify, get, calib-read, run, video, record, capability, gauge-study):\n"
    "one object a line on\n"
    "standard output instead of the text; numbers stay numbers, distances are whole micrometres\n"
    "in fields ending in Um, pixel positions end in Pix, time stamps (time) are ISO 8601 in UTC\n"
    "with milliseconds. A calibration header is {typeCode, param1, param2, tableLength, reserved\n"
    "(five numbers), virtualOffsetUm, rangeUm, offsetUm}.\n"
    "  identify     {accepted, firmware, version, serialNumber, firmwareNumber, lineType,\n"
    "               subpixels, master, slave, warning}: master and slave each {modelCode, model\n"
    "               (null when unknown), calibration}; warning only when a calibration table\n"
    "               is incomplete. A refused device (exit status 2): {accepted false, firmware,\n"
    "               version, serialNumber, refused (\"other series\" or \"firmware number\"),\n"
    "               message (the program's text), firmwareNumber (when refused for it)}\n"
    "  get          {general, master, slave}: the three parameter sets, every field of the\n"
    "               sensors' image: general {evalMode, optionSwitch, hardwareMode,\n"
    "               measurementMode, triggerMode, average, polarity, analogOutMode,\n"
    "               analogOutZoom, rs232OutMode, upperToleranceUm, lowerToleranceUm,\n"
    "               setpointUm}, master and slave {power, powerMode, intTime, videoThreshold,\n"
    "               teachValuePix, evalBeginPix, evalEndPix, baudrateIndex, modeSelect,\n"
    "               ccdOpMode, teachValueUm}; with --out the file is written as well\n"
    "  calib-read   {master, slave, warning}: the two calibration headers; warning as identify\n"
    "  run          one object per record: {time, masterUm, slaveUm, valueUm, masterEdge,\n"
    "               slaveEdge, masterPix, slavePix, valuePix, masterMm, slaveMm, valueMm,\n"
    "               tolerance}: the distances also in mm; tolerance \"in\", \"above\" or\n"
    "               \"below\": the value the analog-output mode selects against the\n"
    "               thresholds of the sensor's parameter sets (RAM), read before the first\n"
    "               record\n"
    "  video        one object per profile pair: {time, x, master, slave}, three arrays of 128\n"
    "  record       one object per sample as it is taken: the fields of run and sample (its\n"
    "               number in the file); then {end (\"completed\", \"stopped\", \"timeout\" or\n"
    "               \"file error\"), file, samples (written to the file), dropped, cause (after\n"
    "               a time-out or a failed write)}\n"
    "  capability   {file, column, subgroup, count, meanMm, minMm, maxMm, sigmaOverallMm,\n"
    "               sigmaWithinMm, sigmaWithinFrom, d2, cp, cpk, pp, ppk, leftOut, lowerMm,\n"
    "               upperMm, controlLimitsMm {centre, upper, lower, rangeCentre, rangeUpper,\n"
    "               rangeLower}, rules {beyond, run, trend, rangeBeyond: {count, first}},\n"
    "               reasons}: a figure without a value is null, and reasons names why\n"
    "  gauge-study  {time, column, referenceMm, toleranceMm, resolutionMm, count, meanMm,\n"
    "               biasMm, repeatabilityMm, cg, cgk, resolutionPercent, capable, verdict\n"
    "               (\"capable\" or \"not capable\"), why (what falls short), identity (the\n"
    "               object of identify) or file}\n"
    "\n"
    "Audit log: send, teach, reset, calib-write and linearize (and the program) write every\n"
    "change to a sensor to the audit log before its outcome is shown: one JSON object a line,\n"
    "chained by SHA-256, with who, where, which pair, what (old and new values) and the outcome.\n"
    "It is --audit FILE, else \"LOG FILE\" of the section AUDIT of the settings file, else\n"
    "$XDG_DATA_HOME/K-TAV-PX-MS-Vista/audit.jsonl; a log that cannot be written stops the change\n"
    "before anything reaches the sensor (exit status 73). --no-audit (or \"LOG ON = 0\") switches\n"
    "it off, as the status texts then say. record writes a sidecar FILE.json beside its recorder\n"
    "file: the pair, both calibration headers, the parameter sets in RAM, the program and the\n"
    "audit log's last hash; stats, plot and capability show its pair and calibration.\n"
    "\n"
    "A table write that was begun and not ended (link lost, program killed, power cut) is\n"
    "recorded per user and pair; identify and calib-read then warn, naming the side, and so\n"
    "they do for a table in the MASTER's flash that reads back erased.\n"
    "\n"
    "Exit status: 0 success (record: completed or ended by Ctrl-C; calib-write: written and\n"
    "verified); 1 the transport did not open, the sensor did not answer (record: a time-out) or\n"
    "a flash step failed (calib-write: the table in the sensor is then incomplete); 2 (identify)\n"
    "incompatible device or firmware; 3 (identify, calib-read) identified, but a calibration\n"
    "table of the pair is incomplete; 4 (calib-write) written but unverified: the table could\n"
    "not be read back (always so for a SLAVE table in the SLAVE's own flash); 5 (calib-write)\n"
    "the table reads back different; 6 (audit --verify) the chain of the audit log is broken;\n"
    "64 bad command line (stats, plot: also tolerances without\n"
    "a set-point); 65 (stats, plot, capability) not a recorder file, the line that does not\n"
    "fit is named, (plot --chart) no control chart (fewer than 2 values or no subgroup),\n"
    "(send) a parameter file without any parameter; 66 a file cannot be read or is not a\n"
    "regular file (publish: also a password file over 4 KiB, CA certificates the TLS library\n"
    "refuses); 69 (plot, capability --pdf, gauge-study --chart/--pdf, publish) the module that "
    "draws the picture or publishes cannot be\n"
    "loaded; 73 the output\n"
    "file cannot be written or exists already (without --force), or the audit log cannot be\n"
    "written (nothing sent).";

// The broker, topic and pace of publish; an empty text when usable.
QString publishProblem(const QCommandLineParser &parser) {
    const QString topic = parser.value("topic");
    if (parser.value("mqtt").isEmpty()) return "publish needs --mqtt HOST[:PORT]";
    if (topic.isEmpty() || topic.contains('#') || topic.contains('+'))
        return QString("publish needs --topic PREFIX without # and +, not '%1'").arg(topic);
    if (parser.isSet("qos") && parser.value("qos") != "0" && parser.value("qos") != "1")
        return QString("--qos needs 0 or 1, not '%1'").arg(parser.value("qos"));
    if (parser.isSet("every") && parser.isSet("rate")) return "give only one of --every and --rate";
    bool ok = true;
    if (parser.isSet("every") && (parser.value("every").toUInt(&ok) < 1 || !ok))
        return QString("--every needs a whole number of 1 or more, not '%1'")
            .arg(parser.value("every"));
    const double rate = parser.value("rate").toDouble(&ok);
    if (parser.isSet("rate") && (!ok || !std::isfinite(rate) || rate <= 0))
        return QString("--rate needs cycles per second above 0, not '%1'")
            .arg(parser.value("rate"));
    if (parser.isSet("password-file") && parser.value("user").isEmpty())
        return "--password-file needs --user";
    return {};
}

// A number of millimetres of the option `name` that is finite (and, with `positive`, above 0).
bool isMillimetres(const QCommandLineParser &parser, const char *name, bool positive) {
    bool ok = true;
    const double mm = parser.value(name).toDouble(&ok);
    return ok && std::isfinite(mm) && (!positive || mm > 0);
}

// The options of capability, plot --chart and gauge-study; an empty text when usable.
QString statisticsProblem(const QCommandLineParser &parser, const QString &command) {
    const QString column = parser.value("column").toUpper();
    if (parser.isSet("column") && column != "VAL" && column != "MA" && column != "SL")
        return QString("--column needs VAL, MA or SL, not '%1'").arg(parser.value("column"));
    bool ok = true;
    const int subgroup = parser.value("subgroup").toInt(&ok);
    if (parser.isSet("subgroup") && (!ok || subgroup < 1 || subgroup > 10))
        return QString("--subgroup needs 1 to 10, not '%1'").arg(parser.value("subgroup"));
    if (command == "plot") {
        const QString chart = parser.value("chart");
        if (parser.isSet("chart") && chart != "imr" && chart != "xbar-r")
            return QString("--chart needs imr or xbar-r, not '%1'").arg(chart);
        if ((parser.isSet("subgroup") || parser.isSet("column")) && !parser.isSet("chart"))
            return "--subgroup and --column need --chart";
        if (chart == "imr" && parser.isSet("subgroup") && subgroup != 1)
            return "--chart imr takes single values: --subgroup 1";
        if (chart == "xbar-r" && parser.isSet("subgroup") && subgroup < 2)
            return "--chart xbar-r needs --subgroup 2 to 10";
    }
    if (command == "capability") {
        for (const char *name : {"lower", "upper", "tol-upper", "tol-lower"})
            if (parser.isSet(name) && !isMillimetres(parser, name, false))
                return QString("--%1 needs millimetres, not '%2'").arg(name, parser.value(name));
        if ((parser.isSet("lower") || parser.isSet("upper")) &&
            (parser.isSet("tol-upper") || parser.isSet("tol-lower") || parser.isSet("setpoint")))
            return "give the limits either as --lower/--upper or as --setpoint with "
                   "--tol-upper/--tol-lower";
        if (parser.isSet("lower") && parser.isSet("upper") &&
            parser.value("lower").toDouble() >= parser.value("upper").toDouble())
            return "--lower must lie below --upper";
    }
    if (command == "gauge-study") {
        if (!parser.isSet("reference") || !isMillimetres(parser, "reference", false))
            return "gauge-study needs --reference MM";
        if (!parser.isSet("tolerance") || !isMillimetres(parser, "tolerance", true))
            return "gauge-study needs --tolerance MM above 0";
        if (parser.isSet("resolution") && !isMillimetres(parser, "resolution", true))
            return "--resolution needs millimetres above 0";
        if (parser.isSet("from") && (parser.isSet("count") || parser.isSet("interval")))
            return "--from takes neither --count nor --interval";
        if (parser.isSet("count") && parser.value("count").toUInt() < 2)
            return "--count of gauge-study needs 2 values or more";
    }
    return {};
}

// The options of audit; an empty text when usable.
QString auditProblem(const QCommandLineParser &parser) {
    bool ok = true;
    if (parser.isSet("serial") && (parser.value("serial").toInt(&ok), !ok))
        return QString("--serial needs a serial number, not '%1'").arg(parser.value("serial"));
    if (parser.isSet("since") &&
        !QDateTime::fromString(parser.value("since"), Qt::ISODate).isValid())
        return QString("--since needs an ISO 8601 date or time, not '%1'")
            .arg(parser.value("since"));
    if (parser.isSet("verify") && (parser.isSet("serial") || parser.isSet("since")))
        return "--verify checks the whole chain: it takes neither --serial nor --since";
    return {};
}

}  // namespace

void DeclareOptions(QCommandLineParser &parser) {
    parser.setApplicationDescription(kDescription);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {"tcp", "Connect over TCP to HOST[:PORT] (port 10001 when omitted).", "HOST[:PORT]"},
        {"com",
         "Connect over RS-232 port number N (device: $KTAV_COM<N>, else /dev/ttyS<N-1>) or over "
         "the serial device DEVICE (/dev/ttyUSB0).",
         "N|DEVICE"},
        {"baud", "Baud-rate index 0..4 of the RS-232 line (9600..115200; default 4).", "INDEX"},
        {"dir", "Directory of the settings file PX-MS-Vista.ini (default: the tool's directory).",
         "DIR"},
        {"target", "get, send: sensor memory ram (default) or eeprom.", "ram|eeprom"},
        {"out",
         "get: write the parameter file to FILE instead of standard output; record: the "
         "recorder file; plot: the PNG picture to write.",
         "FILE"},
        {"force", "get, plot, capability, gauge-study: write over an existing output file."},
        {"in", "send: the parameter file to send.", "FILE"},
        {"count",
         "run: stop after N records (default: until Ctrl-C); record: N samples; gauge-study: N "
         "values (default 50).",
         "N"},
        {"interval",
         "run, record, gauge-study: seconds between two records (default 0: as fast as the link "
         "allows).",
         "S"},
        {"trigger", "record: take the trigger records the sensor sends in RS-232 output mode 1."},
        {"reconnect",
         "record: a lost sensor does not end the recording; it is tried again at once, then "
         "after 1 s and at doubling waits of at most 30 s, and the recording goes on in the same "
         "file. A sensor that does not answer at the start is waited for likewise."},
        {"setpoint",
         "stats, plot, capability: the set-point [mm] (default: the recording's, when it was made "
         "in set-point mode).",
         "MM"},
        {"upper",
         "stats, plot: upper tolerance above the set-point [mm] (default: none); capability: the "
         "upper tolerance limit [mm].",
         "MM"},
        {"lower",
         "stats, plot: lower tolerance below the set-point [mm] (default: none); capability: the "
         "lower tolerance limit [mm].",
         "MM"},
        {"tol-upper", "capability: upper limit = set-point + MM.", "MM"},
        {"tol-lower", "capability: lower limit = set-point - MM.", "MM"},
        {"column", "capability, plot --chart, gauge-study: the column VAL (default), MA or SL.",
         "VAL|MA|SL"},
        {"subgroup",
         "capability, plot --chart: 1 = single values and the I-MR chart (default), 2..10 = "
         "subgroups of N consecutive values and the X-bar-R chart (plot --chart xbar-r: 5).",
         "N"},
        {"chart",
         "plot: the control chart imr or xbar-r instead of the traces; gauge-study: a PNG picture "
         "of the run of values and their histogram.",
         "imr|xbar-r|FILE"},
        {"pdf", "capability, gauge-study: write a one-page PDF report to FILE.", "FILE"},
        {"reference", "gauge-study: the reference value of the part [mm].", "MM"},
        {"tolerance", "gauge-study: the tolerance T of the characteristic [mm].", "MM"},
        {"resolution",
         "gauge-study: the step of the values [mm] (default 0.001: whole micrometres).", "MM"},
        {"from", "gauge-study: the values of a recorder file instead of the live pair.", "FILE"},
        {"width", "plot: width of the picture in pixels (default 800).", "W"},
        {"height", "plot: height of the picture in pixels (default 500).", "H"},
        {"file", "calib-write: the calibration file (XF-LINEAR.DAT format).", "FILE"},
        {"sensor", "calib-write: the sensor the file is for.", "master|slave"},
        {"header", "calib-write: write the file's calibration header."},
        {"table", "calib-write: write the file's linearisation table."},
        {"json",
         "identify, get, calib-read, run, video, record, capability, gauge-study: print the "
         "results as JSON, one object a line (see above)."},
        {"mqtt", "publish: the MQTT broker (port 1883, with --tls-ca 8883, when omitted).",
         "HOST[:PORT]"},
        {"topic", "publish: the prefix of the topics (head/1 gives head/1/measurement, ...).",
         "PREFIX"},
        {"qos", "publish: MQTT quality of service of the messages (default 0).", "0|1"},
        {"every", "publish: publish every N-th measurement record (default 1: each).", "N"},
        {"rate", "publish: RUN cycles per second (default: as fast as the link allows).", "HZ"},
        {"user", "publish: user name at the broker.", "USER"},
        {"password-file",
         "publish: the first line of FILE (a regular file of at most 4 KiB) is the password of "
         "--user.",
         "FILE"},
        {"tls-ca", "publish: talk TLS to the broker, checking it against these CA certificates.",
         "FILE"},
        {"verbose", "Print every request and reply frame in hexadecimal on standard error."},
        {"audit", "The audit log the changes to the sensor go to (default: see above).", "FILE"},
        {"no-audit", "Record no change in the audit log (the status texts say so)."},
        {"verify", "audit: check the chain of the log instead of listing it."},
        {"serial", "audit: only the entries of the pair of serial number N.", "N"},
        {"since", "audit: only the entries from T on (2026-06-12 or 2026-06-12T13:00).", "T"},
    });
    parser.addPositionalArgument(
        "command",
        "identify, get, send, run, video, record, teach, reset, "
        "calib-read, calib-write, linearize MODE, line-test, publish, gauge-study, audit, ports, "
        "stats FILE, plot FILE or capability FILE (see above).");
}

QString OptionProblem(const QCommandLineParser &parser, const QString &command,
                      const QStringList &commandOptions) {
    for (const QString &name : parser.optionNames()) {
        if (!kCommonOptions.contains(name) && !commandOptions.contains(name))
            return QString("option --%1 does not apply to %2").arg(name, command);
    }
    if (parser.isSet("tcp") && parser.isSet("com")) return "give only one of --tcp and --com";
    // The program's own folder rule: a settings file name cut to fit would name another file.
    const QByteArray dir = parser.value("dir").toLocal8Bit();
    if (const char *tooLong =
            parser.isSet("dir") ? ProgramDirectoryTooLong(dir.constData()) : nullptr)
        return "--dir: a path too long for the program's files: " + QString::fromLocal8Bit(tooLong);
    if (parser.isSet("audit") && parser.isSet("no-audit"))
        return "give only one of --audit and --no-audit";
    if (const QString problem = auditProblem(parser); !problem.isEmpty()) return problem;
    if (parser.isSet("target") && TargetOf(parser) == 0)
        return QString("unknown target '%1' (ram or eeprom)").arg(parser.value("target"));
    if (command == "send" && parser.value("in").isEmpty()) return "send needs --in FILE";
    if (command == "record" && parser.value("out").isEmpty()) return "record needs --out FILE";
    if (command == "record" && parser.isSet("trigger") &&
        (parser.isSet("interval") || parser.isSet("count")))
        return "--trigger takes neither --interval nor --count";
    if (command == "record" && parser.isSet("trigger") && parser.isSet("reconnect"))
        return "--reconnect serves a polled recording, not --trigger";
    if (command == "calib-write") {
        const QString sensor = parser.value("sensor").toLower();
        if (parser.value("file").isEmpty()) return "calib-write needs --file FILE";
        if (sensor != "master" && sensor != "slave")
            return "calib-write needs --sensor master|slave";
        if (!parser.isSet("header") && !parser.isSet("table"))
            return "calib-write needs --header, --table or both";
    }
    if (command == "plot" && parser.value("out").isEmpty()) return "plot needs --out PICTURE.png";
    if (command == "publish") {
        if (const QString problem = publishProblem(parser); !problem.isEmpty()) return problem;
    }
    if (const QString problem = statisticsProblem(parser, command); !problem.isEmpty())
        return problem;
    bool setpointOk = true;
    const double setpoint = parser.value("setpoint").toDouble(&setpointOk);
    if (parser.isSet("setpoint") && (!setpointOk || !std::isfinite(setpoint)))
        return QString("--setpoint needs millimetres, not '%1'").arg(parser.value("setpoint"));
    for (const char *side : {"upper", "lower"}) {
        bool ok = true;
        const double mm = parser.value(side).toDouble(&ok);
        if (command != "capability" && parser.isSet(side) &&
            (!ok || !(std::isfinite(mm) && mm >= 0)))
            return QString("--%1 needs millimetres of 0 or more, not '%2'")
                .arg(side, parser.value(side));
    }
    for (const char *side : {"width", "height"}) {
        bool ok = true;
        const int pixels = parser.value(side).toInt(&ok);
        if (parser.isSet(side) && (!ok || pixels < 16 || pixels > kMaxPicture))
            return QString("--%1 needs pixels 16..%2, not '%3'")
                .arg(side)
                .arg(kMaxPicture)
                .arg(parser.value(side));
    }
    bool countOk = true, intervalOk = true;
    const unsigned count = parser.value("count").toUInt(&countOk);
    const double interval = parser.value("interval").toDouble(&intervalOk);
    if (parser.isSet("count") && !countOk)
        return QString("--count needs a whole number, not '%1'").arg(parser.value("count"));
    // A recording holds at most REC_MAX_SAMPLES samples, and its header says how many.
    if (command == "record" && count > REC_MAX_SAMPLES)
        return QString("--count of record is at most %1, not %2").arg(REC_MAX_SAMPLES).arg(count);
    if (parser.isSet("interval") && (!intervalOk || !std::isfinite(interval) || interval < 0))
        return QString("--interval needs seconds of 0 or more, not '%1'")
            .arg(parser.value("interval"));
    return {};
}

int TargetOf(const QCommandLineParser &parser) {
    const QString text = parser.value("target").toLower();
    if (!parser.isSet("target") || text == "ram") return RAM;
    return text == "eeprom" ? EEPROM : 0;
}
