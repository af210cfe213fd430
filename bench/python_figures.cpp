#include "python_figures.h"

#include <QProcess>

#include "rounds.h"
#include "sim_process.h"
#include "tool_rounds.h"

namespace {

// One round of run_array(records) in Debian's python3 with the module of the build tree: the
// records per second between the first record's time and the last's.
constexpr const char *kRunArray = R"(
import sys, ktav
where, address, records = sys.argv[1:]
with ktav.Pair(**{where: address}) as pair:
    times = pair.run_array(int(records))["time"]
print((len(times) - 1) / (times[-1] - times[0]))
)";

double runArrayRate(const QString &where, const QString &address, int records) {
    QProcess python;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &setting : QString(KTAV_PYTHON_ENV).split('|'))
        env.insert(setting.section('=', 0, 0), setting.section('=', 1));
    python.setProcessEnvironment(env);
    python.start(KTAV_PYTHON, {"-c", kRunArray, where, address, QString::number(records)});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) return -1;
    return python.readAllStandardOutput().trimmed().toDouble();
}

}  // namespace

bool PythonFigure(int rounds, bool paced) {
    SimProcess sim;
    if (!sim.start(paced ? QStringList{"--wire-baud", "115200"} : QStringList{})) return false;
    const QString pty = QString::fromStdString(sim.ptyPath());
    const QString tcp = QString("127.0.0.1:%1").arg(sim.tcpPort());
    const int records = paced ? 150 : 10000;  // about a second a round
    const Comparison c = Alternate(
        [&] {
            return paced ? runArrayRate("com", pty, records) : runArrayRate("tcp", tcp, records);
        },
        [&] {
            return CliRunRate(paced ? QStringList{"--com", pty} : QStringList{"--tcp", tcp},
                              records);
        },
        rounds);
    PrintRatio(paced ? "ktav run_array / run --json at 115200 baud (pty)"
                     : "ktav run_array / run --json (TCP)",
               c, {Goal::AtLeast, paced ? 0.95 : 0.8}, "run_array", "run --json", "records/s");
    return true;
}
