#include "options.h"

#include <charconv>
#include <cstdlib>
#include <functional>
#include <map>

const char *const HELP_TEXT =
    R"(k-tav-sim: simulator of the K-TAV-PX MASTER/SLAVE laser line sensor pair.
Serves the sensor protocol over TCP (like a serial-to-Ethernet converter, one client at a time;
a new client replaces the old one) and, on request, over a pseudo-terminal.
Prints "TCP <host>:<port>", "PTY <path>" (with --pty) and "READY" once it serves.

Transports and state:
  --tcp [HOST:]PORT          listen address (default 127.0.0.1:10001; port 0 picks a free one)
  --pty [LINK]               also serve a pseudo-terminal; LINK becomes a symbolic link to it
  --wire-baud N              the pseudo-terminal carries bytes no faster than a line of N baud,
                             10 bits a byte, both ways (default: the speed the program set)
  --state FILE               keep EEPROM pages and both sensors' flash in FILE across restarts
Device:
  --seed N                   seed of the simulated laser lines (default 1)
  --fw-text TEXT             firmware text (default "K-TAV-PX-MA.V4.21 2015-10-05 FW421 ...")
  --fw-version N             firmware number in the hardware record (default 421)
  --line-type N              CCD line code (default 306158; 306159 for the 4096 line)
  --subpixels N              subpixels of the CCD line (default the line's own: 8192, or
                             4096 on the 306159 line)
  --pixel-count N            pixel-count word of the hardware record (default the subpixels)
  --adc-range N              video full scale: 1024, anything else means 256 (default 256)
  --master-type N            MASTER model code (default 610407; 611632 = two-line hardware,
                             which belongs to the 4096 line: --line-type 306159)
  --slave-type N             SLAVE model code (default 610407)
  --serial N                 serial number (default 1001)
  --trigger-hz F             rate of the external trigger input (default 5)
  --still                    the part is held still: the laser lines stay at their teach
                             positions with their jitter only (a gauge study's reference part)
  --jitter PIXELS            the laser lines' jitter, uniform within +-PIXELS (default 1.5)
Faults for tests:
  --drop-every N             leave every Nth reply unsent
  --corrupt-header-every N   send every Nth reply with a wrong header CRC
  --corrupt-data-every N     send every Nth reply that carries data with a wrong data byte
  --error-reply ORDER=CODE   answer ORDER with the error reply CODE (0 or 25); repeatable
  --error-at N=CODE          answer the Nth request of a client (counted from 1) with the error
                             reply CODE instead of acting on it; repeatable
  --delay-ms MS              wait MS milliseconds before every reply
  --delay-reply N=MS         the Nth reply (counted from 1) waits MS milliseconds more, and
                             the replies behind it wait for it; repeatable
  --close-after N            close the TCP client after N replies
  --oversize-order ORDER     ORDER's reply announces 2000 data bytes, and 2000 bytes follow
  --corrupt-trigger-every N  send every Nth trigger record with a damaged MASTER value under its
                             unchanged data CRC
  --trigger-junk             send three stray bytes, a header of order 8, a header with a
                             wrong CRC and two trigger records too short to be one (no data,
                             5 bytes) before every trigger record
  --fail-flash-page K        writes into flash page K (0..15, 0x1000 + 0x100 * K) of either
                             sensor are answered with an error reply and store nothing
  --corrupt-flash-page K     writes into flash page K store their first word with a bit flipped
                             and are answered as written
  --fault-rate P             give each reply, with probability P (0..1), one random fault:
                             dropped, cut short, one bit flipped, sent 2.6 s late, or followed
                             by garbage; drawn from --seed; the counts are printed at the end
Other:
  --print-table master|slave prints the 2048 table words (0x1200..0x19FF) of that sensor's
                             flash, one a line, from the --state file, and ends
  --verbose                  one line per request and reply, in hex, on stderr
  --help                     this text
  --version                  the version of the simulator
)";

namespace {

bool toInt(const std::string &text, long min, long max, long &value) {
    const char *end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && p == end && value >= min && value <= max;
}

}  // namespace

ParseOutcome parseOptions(int argc, char **argv, SimOptions &out, std::string &error) {
    std::string value;
    auto number = [&](long min, long max, auto &target) {
        long v = 0;
        if (!toInt(value, min, max, v)) return false;
        target = static_cast<std::remove_reference_t<decltype(target)>>(v);
        return true;
    };
    // KEY=NUMBER: the key within min..max, the number within 0..`most`.
    auto keyed = [&](long min, long max, auto &key, auto &amount, long most = 65535) {
        const auto eq = value.find('=');
        if (eq == std::string::npos) return false;
        const std::string second = value.substr(eq + 1);
        value.resize(eq);
        if (!number(min, max, key)) return false;
        value = second;
        return number(0, most, amount);
    };
    using Setter = std::function<bool()>;
    const std::map<std::string, Setter> withValue = {
        {"--tcp",
         [&] {
             const auto colon = value.rfind(':');
             if (colon != std::string::npos) out.tcpHost = value.substr(0, colon);
             value = colon == std::string::npos ? value : value.substr(colon + 1);
             return !out.tcpHost.empty() && number(0, 65535, out.tcpPort);
         }},
        {"--state", [&] { return !(out.stateFile = value).empty(); }},
        {"--wire-baud", [&] { return number(50, 4000000, out.wireBaud); }},
        {"--seed", [&] { return number(0, 0x7FFFFFFFL, out.device.seed); }},
        {"--fw-text", [&] { return (out.device.fwText = value), true; }},
        {"--fw-version", [&] { return number(-32768, 32767, out.device.fwVersion); }},
        {"--line-type", [&] { return number(-0x7FFFFFFFL, 0x7FFFFFFFL, out.device.lineType); }},
        {"--subpixels", [&] { return number(256, 16384, out.device.subpixels); }},
        {"--pixel-count", [&] { return number(-32768, 32767, out.device.pixelCount.emplace()); }},
        {"--adc-range", [&] { return number(-32768, 32767, out.device.adcRange); }},
        {"--master-type", [&] { return number(-0x7FFFFFFFL, 0x7FFFFFFFL, out.device.masterType); }},
        {"--slave-type", [&] { return number(-0x7FFFFFFFL, 0x7FFFFFFFL, out.device.slaveType); }},
        {"--serial", [&] { return number(0, 65535, out.device.serial); }},
        {"--trigger-hz",
         [&] {
             char *end = nullptr;
             out.device.triggerHz = std::strtod(value.c_str(), &end);
             return !value.empty() && *end == '\0' && out.device.triggerHz >= 0.0 &&
                    out.device.triggerHz <= 1000.0;
         }},
        {"--jitter",
         [&] {
             char *end = nullptr;
             out.device.jitter = std::strtod(value.c_str(), &end);
             return !value.empty() && *end == '\0' && out.device.jitter >= 0.0 &&
                    out.device.jitter <= 1000.0;
         }},
        {"--drop-every", [&] { return number(0, 1000000, out.faults.dropEvery); }},
        {"--corrupt-header-every",
         [&] { return number(0, 1000000, out.faults.corruptHeaderEvery); }},
        {"--corrupt-data-every", [&] { return number(0, 1000000, out.faults.corruptDataEvery); }},
        {"--corrupt-trigger-every",
         [&] { return number(0, 1000000, out.faults.corruptTriggerEvery); }},
        {"--error-reply",
         [&] {
             uint8_t order = 0;
             uint16_t code = 0;
             return keyed(0, 255, order, code) && (out.faults.errorReplies[order] = code, true);
         }},
        {"--error-at",
         [&] {
             int reply = 0;
             uint16_t code = 0;
             return keyed(1, 1000000, reply, code) && (out.faults.errorAt[reply] = code, true);
         }},
        {"--delay-ms", [&] { return number(0, 60000, out.faults.delayMs); }},
        {"--delay-reply",
         [&] {
             int reply = 0, delay = 0;
             return keyed(1, 1000000, reply, delay, 60000) &&
                    (out.faults.delayReplies[reply] = delay, true);
         }},
        {"--close-after", [&] { return number(0, 1000000, out.faults.closeAfter); }},
        {"--oversize-order", [&] { return number(0, 255, out.faults.oversizeOrder); }},
        {"--fail-flash-page", [&] { return number(0, 15, out.device.failWritePage); }},
        {"--corrupt-flash-page", [&] { return number(0, 15, out.device.corruptWritePage); }},
        {"--print-table",
         [&] {
             out.printTable = value == "master" ? 1 : value == "slave" ? 2 : 0;
             return out.printTable != 0;
         }},
        {"--fault-rate",
         [&] {
             char *end = nullptr;
             out.faults.faultRate = std::strtod(value.c_str(), &end);
             return !value.empty() && *end == '\0' && out.faults.faultRate >= 0.0 &&
                    out.faults.faultRate <= 1.0;
         }},
    };

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool nextIsValue = i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0;
        if (arg == "--help") return ParseOutcome::Help;
        if (arg == "--version") return ParseOutcome::Version;
        if (arg == "--verbose") {
            out.verbose = true;
        } else if (arg == "--still") {
            out.device.still = true;
        } else if (arg == "--trigger-junk") {
            out.faults.triggerJunk = true;
        } else if (arg == "--pty") {
            out.pty = true;
            if (nextIsValue) out.ptyLink = argv[++i];
        } else if (const auto it = withValue.find(arg); it != withValue.end()) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return ParseOutcome::Error;
            }
            value = argv[++i];
            if (!it->second()) {
                error = "invalid value for " + arg + ": " + argv[i];
                return ParseOutcome::Error;
            }
        } else {
            error = "unknown option " + arg + " (see --help)";
            return ParseOutcome::Error;
        }
    }
    out.faults.seed = out.device.seed;
    return ParseOutcome::Run;
}
