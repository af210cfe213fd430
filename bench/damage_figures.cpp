#include "damage_figures.h"

#include <QProcess>
#include <QTemporaryDir>

#include "mosquitto_process.h"
#include "publish_figures.h"
#include "rounds.h"
#include "sim_process.h"
#include "tool_rounds.h"

namespace {

// About 2 % of the replies damaged: every 99th with a wrong header CRC, every 101st with a
// wrong data byte under its CRC.
const QStringList kDamage = {"--corrupt-header-every", "99", "--corrupt-data-every", "101"};
constexpr int kSamples = 200;  // of one record round
const QString kPace = "50";    // samples or cycles a second asked for

QStringList tcpTo(const SimProcess &sim) {
    return {"--tcp", QString("127.0.0.1:%1").arg(sim.tcpPort())};
}

// One round of record --reconnect --json into a new file: its samples per second.
double recordRound(const SimProcess &sim) {
    QTemporaryDir dir;
    QProcess record;
    endWithTest(record);
    record.setStandardErrorFile(QProcess::nullDevice());
    record.start(KTAV_CLI_PATH, tcpTo(sim) + QStringList{"record", "--reconnect", "--json", "--out",
                                                         dir.filePath("R.DAT"), "--interval",
                                                         QString::number(1.0 / kPace.toDouble()),
                                                         "--count", QString::number(kSamples)});
    if (!record.waitForFinished(60000) || record.exitCode() != 0) return -1;
    return RateOfStamps(record.readAllStandardOutput(), "\"sample\"");
}

}  // namespace

bool RecordDamageFigure(int rounds) {
    SimProcess clean, damaging;
    if (!clean.start() || !damaging.start(kDamage)) return false;
    const Comparison c = Alternate([&] { return recordRound(damaging); },
                                   [&] { return recordRound(clean); }, rounds);
    PrintRatio("record --reconnect at 50/s: 2 % damaged replies / none", c, {Goal::AtLeast, 0.9},
               "damaged", "undamaged", "samples/s");
    return true;
}

bool PublishDamageFigure(int rounds) {
    MosquittoProcess broker;
    SimProcess clean, damaging;
    if (!broker.start() || !clean.start() || !damaging.start(kDamage)) return false;
    const QStringList pace = {"--rate", kPace};
    const Comparison c =
        Alternate([&] { return PublishRound(tcpTo(damaging), broker.port(), pace); },
                  [&] { return PublishRound(tcpTo(clean), broker.port(), pace); }, rounds);
    PrintRatio("publish at 50/s: 2 % damaged replies / none", c, {Goal::AtLeast, 0.9}, "damaged",
               "undamaged", "records/s");
    return true;
}
