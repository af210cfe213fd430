#include "measure/recreader.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>

namespace {

// The labels of header lines 3 to 9 and the column row, as the recorders write them.
constexpr std::string_view kIncrement = "Time-Increment[s]:\t";
constexpr std::string_view kSampleCount = "Number of Samples:\t";
// Lines 5 to 9: the label as written (Latin-1) and as named in a message (UTF-8).
struct IntegerLine {
    std::string_view label;
    const char *name;
};
constexpr IntegerLine kIntegerLines[] = {
    {"Setpoint-Value [\xB5m]:\t", "Setpoint-Value [µm]:"},
    {"Offset-Master [\xB5m]:\t", "Offset-Master [µm]:"},
    {"Offset-Slave [\xB5m]:\t", "Offset-Slave [µm]:"},
    {"Range-Master [\xB5m]:\t", "Range-Master [µm]:"},
    {"Range-Slave [\xB5m]:\t", "Range-Slave [µm]:"},
};
constexpr std::string_view kColumnRow =
    "TIME\t\tMA[\xB5m]\tSL[\xB5m]\tVAL[\xB5m]\tMA-E\tSL-E\tMA-PIX\tSL-PIX\tVAL-PIX";
constexpr int kSecondsPerDay = 24 * 3600;

// The file split into lines without their CR LF; a last line without a line end counts.
std::vector<std::string_view> splitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        bytes.remove_prefix(end + 1);
    }
    return lines;
}

template <typename T>
bool parseNumber(std::string_view text, T &value) {
    const char *end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && p == end && !text.empty();
}

// The value after `label`, when the line starts with it.
bool valueAfter(std::string_view line, std::string_view label, std::string_view &value) {
    if (line.substr(0, label.size()) != label) return false;
    value = line.substr(label.size());
    return true;
}

// "hh:mm:ss" as seconds since midnight; -1 when the text is not such a time.
int secondsOfTime(std::string_view text) {
    int h = 0, m = 0, s = 0;
    if (text.size() != 8 || text[2] != ':' || text[5] != ':' ||
        !parseNumber(text.substr(0, 2), h) || !parseNumber(text.substr(3, 2), m) ||
        !parseNumber(text.substr(6, 2), s) || h > 23 || m > 59 || s > 59)
        return -1;
    return h * 3600 + m * 60 + s;
}

// Fields of a sample line: the time and eight numbers, separated by single tabs.
bool parseSample(std::string_view line, RecSample &out) {
    std::string_view fields[9];
    for (int i = 0; i < 9; ++i) {
        const size_t tab = line.find('\t');
        if ((tab == std::string_view::npos) != (i == 8)) return false;
        fields[i] = line.substr(0, tab);
        if (tab != std::string_view::npos) line.remove_prefix(tab + 1);
    }
    const int seconds = secondsOfTime(fields[0]);
    if (seconds < 0) return false;
    out.time = std::string(fields[0]);
    out.elapsed = seconds;  // made relative by the caller
    return parseNumber(fields[1], out.ma) && parseNumber(fields[2], out.sl) &&
           parseNumber(fields[3], out.val) && parseNumber(fields[4], out.maEdge) &&
           parseNumber(fields[5], out.slEdge) && parseNumber(fields[6], out.maPix) &&
           parseNumber(fields[7], out.slPix) && parseNumber(fields[8], out.valPix);
}

// Reads the header lines; returns the index of the column row, or -1 with the line that does
// not fit in `bad` and what belongs there in `problem`.
int parseHeader(const std::vector<std::string_view> &lines, RecFileHeader &h, size_t &bad,
                std::string &problem) {
    size_t i = 0;
    auto expect = [&](bool ok, const char *what) {
        if (!ok) {
            bad = i;
            problem = what;
        }
        return ok;
    };
    auto line = [&]() { return i < lines.size() ? lines[i] : std::string_view(); };
    std::string_view v;
    if (!expect(valueAfter(line(), "Date:\t", v) && !v.empty(), "expected \"Date:\" and a date"))
        return -1;
    h.date = std::string(v);
    ++i;
    if (!expect(valueAfter(line(), "Time:\t", v) && secondsOfTime(v) >= 0,
                "expected \"Time:\" and hh:mm:ss"))
        return -1;
    h.time = std::string(v);
    ++i;
    if (!expect(valueAfter(line(), kIncrement, v) && parseNumber(v, h.increment) &&
                    std::isfinite(h.increment) && h.increment >= 0.0,
                "expected \"Time-Increment[s]:\" and seconds"))
        return -1;
    ++i;
    h.sampleCount = -1;
    if (valueAfter(line(), kSampleCount, v)) {
        uint16_t count = 0;
        if (!expect(parseNumber(v, count), "expected a sample count after \"Number of Samples:\""))
            return -1;
        h.sampleCount = count;
        ++i;
    }
    int32_t *const values[] = {&h.setpoint, &h.offsetMaster, &h.offsetSlave, &h.rangeMaster,
                               &h.rangeSlave};
    for (size_t k = 0; k < std::size(kIntegerLines); ++k, ++i) {
        if (!(valueAfter(line(), kIntegerLines[k].label, v) && parseNumber(v, *values[k]))) {
            bad = i;
            problem = std::string("expected \"") + kIntegerLines[k].name + "\" and a whole number";
            return -1;
        }
    }
    if (!expect(line() == kColumnRow,
                "expected the column row TIME, MA[µm], SL[µm], VAL[µm], MA-E, SL-E, MA-PIX, "
                "SL-PIX, VAL-PIX"))
        return -1;
    return static_cast<int>(i);
}

}  // namespace

int ParseRecFile(std::string_view bytes, RecFile &out, int &errorLine, std::string &problem) {
    out = {};
    const std::vector<std::string_view> lines = splitLines(bytes);
    size_t bad = 0;
    const int columnRow = parseHeader(lines, out.header, bad, problem);
    if (columnRow < 0) {
        errorLine = static_cast<int>(bad) + 1;
        return REC_READ_NOT_RECORD;
    }
    int day = 0, previous = 0, first = 0;
    for (size_t i = static_cast<size_t>(columnRow) + 1; i < lines.size(); ++i) {
        if (lines[i].empty() && i + 1 == lines.size()) break;  // the end of the last line
        RecSample sample;
        if (!parseSample(lines[i], sample)) {
            errorLine = static_cast<int>(i) + 1;
            problem =
                "expected a sample: hh:mm:ss and MA, SL, VAL, MA-E, SL-E, MA-PIX, SL-PIX, VAL-PIX";
            return REC_READ_NOT_RECORD;
        }
        const int clock = sample.elapsed;
        if (out.samples.empty()) first = clock;
        if (clock < previous) day += kSecondsPerDay;
        previous = clock;
        sample.elapsed = clock + day - first;
        out.samples.push_back(std::move(sample));
    }
    return REC_READ_OK;
}

int ReadRecFile(const std::string &path, RecFile &out, int &errorLine, std::string &problem) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return REC_READ_NO_FILE;
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return REC_READ_NO_FILE;
    return ParseRecFile(bytes, out, errorLine, problem);
}
