#include "fault_soak.h"

#include <array>
#include <cstring>
#include <functional>

#include "core/link/commands.h"
#include "core/link/status.h"
#include "core/params/paramblock.h"
#include "core/params/transfer.h"
#include "core/state/flags.h"
#include "sim_process.h"

namespace {

using Page = std::array<uint8_t, PARA_PAGE_SIZE>;
using Pages = std::array<Page, PARA_PAGES>;

// The longest an exchange may take on TCP: the header wait (the time-out and the half second
// the TCP line gets on top) and then the data wait, plus the half second of grace.
constexpr double EXCHANGE_LIMIT = (TIMEOUT + 0.5) + TIMEOUT + 0.5;

struct Soak {
    SoakCounts &c;
    Pages known{};  // every set as the sensor holds it, by the last read-back

    bool violation(const std::string &what) {
        if (c.violations.size() < 20) c.violations.push_back(what);
        return false;
    }

    // Runs one exchange through `operation` and times it; true when it gave a good reply.
    bool timed(int &kind, const std::function<bool()> &operation) {
        const double start = Timer();
        const bool ok = operation();
        const double took = Timer() - start;
        ++c.exchanges;
        ++kind;
        c.failed += !ok;
        c.longest = std::max(c.longest, took);
        if (took > EXCHANGE_LIMIT) violation("an exchange took " + std::to_string(took) + " s");
        return ok;
    }

    bool get(uint16_t set, Page &page) {
        return timed(c.gets, [&] {
            PushGET(RAM, set);
            if (std::strncmp(szStatus, "Parameter-frame received!", 25) != 0) return false;
            GetParaPage(para, set, page.data());
            return true;
        });
    }

    // Every set as the sensor holds it, each by GETs until one succeeds (20 at most).
    bool readBack(Pages &pages) {
        for (uint16_t set = 0; set < PARA_PAGES; ++set)
            for (int attempt = 0; !get(set, pages[set]);)
                if (++attempt == 20)
                    return violation("no GET of set " + std::to_string(set) + " succeeded");
        return true;
    }

    void run() {
        for (int i = 0; i < 5; ++i) timed(c.runs, [] { return GetRAW() == 1; });
    }

    void getAll() {
        for (uint16_t set = 0; set < PARA_PAGES; ++set) {
            Page page;
            if (get(set, page) && page != known[set])
                violation("GET of set " + std::to_string(set) + " gave bytes never sent to it");
        }
    }

    // New values in every set (MASTER's and SLAVE's differ), sent set by set, then read back.
    void sendAll(uint32_t round) {
        para.ge.umSetpoint = static_cast<int32_t>(round * 37 + 1000);
        para.ge.umLowerTolerance = static_cast<int32_t>(round % 500);
        para.ge.umUpperTolerance = static_cast<int32_t>(round % 700 + 1);
        para.ma.power = static_cast<uint16_t>(100 + round % 800);
        para.sl.power = static_cast<uint16_t>(101 + (round * 7) % 800);
        para.ma.umTeachValue = static_cast<int32_t>(50000 + round);
        para.sl.umTeachValue = static_cast<int32_t>(40000 + round * 3);
        Pages sent, now;
        bool ok[PARA_PAGES];
        for (uint16_t set = 0; set < PARA_PAGES; ++set) {
            GetParaPage(para, set, sent[set].data());
            ok[set] = timed(c.sends, [&] {
                PushSEND(RAM, set);
                return std::strncmp(szStatus, "Transmission successful", 23) == 0;
            });
            if (!ok[set] && std::strcmp(szStatus, "Transmission error [SEND]!") != 0)
                violation("a failed SEND was reported as \"" + std::string(szStatus) + "\"");
        }
        c.failedSends += !(ok[0] && ok[1] && ok[2]);
        if (!readBack(now)) return;
        for (uint16_t set = 0; set < PARA_PAGES; ++set) {
            if (ok[set] && now[set] != sent[set])
                violation("set " + std::to_string(set) + " after a successful SEND differs");
            if (!ok[set] && now[set] != sent[set] && now[set] != known[set])
                violation("a failed SEND left set " + std::to_string(set) + " neither old nor new");
        }
        known = now;
    }
};

}  // namespace

SoakCounts RunFaultSoak(double seconds, double faultRate, uint64_t seed) {
    SoakCounts counts;
    SimProcess sim;
    if (!sim.start({"--fault-rate", QString::number(faultRate), "--seed", QString::number(seed)})) {
        counts.violations.push_back("the simulator did not start");
        return counts;
    }
    static const LinkView silent{[](unsigned, const char *) {}, [](int) {}, [](bool) {}};
    const LinkView previous = CurrentLinkView();
    SetLinkView(silent);
    Soak soak{counts};
    if (!sim.openTcp()) {
        soak.violation("no connection to the simulator");
    } else if (soak.readBack(soak.known)) {
        const double end = Timer() + seconds;
        for (uint32_t round = 0; Timer() < end && counts.violations.empty(); ++round) {
            if (round % 3 == 0) soak.run();
            if (round % 3 == 1) soak.getAll();
            if (round % 3 == 2) soak.sendAll(round);
        }
    }
    CloseTCP();
    SetLinkView(previous);
    sim.stop();
    for (const QString &line : QString::fromUtf8(sim.process().readAllStandardOutput()).split('\n'))
        if (line.startsWith("FAULTS ")) counts.faults = line.mid(7).toStdString();
    std::printf(
        "exchanges=%d (run %d, get %d, send %d) failed=%d failed-sends=%d longest=%.2f s "
        "violations=%zu; simulator: %s\n",
        counts.exchanges, counts.runs, counts.gets, counts.sends, counts.failed, counts.failedSends,
        counts.longest, counts.violations.size(),
        counts.faults.empty() ? "-" : counts.faults.c_str());
    for (const std::string &v : counts.violations) std::printf("VIOLATION: %s\n", v.c_str());
    return counts;
}
