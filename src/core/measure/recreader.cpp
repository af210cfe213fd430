#include "core/measure/recreader.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <string_view>

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

// Reads the next line without its CR LF into the reader's buffer and counts it: 1 with the line
// in `line`, 0 at the end of the file, -1 when the line does not fit the buffer (no recorder
// line is that long) or the file cannot be read.
int nextLine(RecReader &r, std::string_view &line) {
    r.in->getline(r.buffer, sizeof r.buffer);
    const std::streamsize length = r.in->gcount();
    ++r.line;
    if (r.in->bad()) return -1;
    if (r.in->fail()) return length == 0 && r.in->eof() ? 0 : -1;
    line = std::string_view(r.buffer, static_cast<size_t>(length) - (r.in->eof() ? 0 : 1));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return 1;
}

int notRecord(RecReader &r, const std::string &problem) {
    r.errorLine = r.line;
    r.problem = problem;
    return REC_READ_NOT_RECORD;
}

}  // namespace

int ReadRecHeader(RecReader &r, std::istream &in, RecFileHeader &h) {
    r.in = &in;
    h = {};
    std::string_view line, v;
    // The next line (or with `again` the current one again), checked by `fits`; a line that is
    // missing or too long fits nothing.
    auto take = [&](const std::string &what, auto fits, bool again = false) {
        if (!again && nextLine(r, line) <= 0) {
            if (r.in->bad()) return int(REC_READ_NO_FILE);
            line = {};
        }
        return fits() ? int(REC_READ_OK) : notRecord(r, what);
    };
    int got = take("expected \"Date:\" and a date",
                   [&] { return valueAfter(line, "Date:\t", v) && !v.empty(); });
    if (got != REC_READ_OK) return got;
    h.date = std::string(v);
    got = take("expected \"Time:\" and hh:mm:ss",
               [&] { return valueAfter(line, "Time:\t", v) && secondsOfTime(v) >= 0; });
    if (got != REC_READ_OK) return got;
    h.time = std::string(v);
    got = take("expected \"Time-Increment[s]:\" and seconds", [&] {
        return valueAfter(line, kIncrement, v) && parseNumber(v, h.increment) &&
               std::isfinite(h.increment) && h.increment >= 0.0;
    });
    if (got != REC_READ_OK) return got;
    // Line 4, the sample count, is left out in trigger mode and by the touch recorder; a line
    // that does not name it is taken again as the set-point line.
    uint16_t count = 0;
    got = take("expected a sample count after \"Number of Samples:\"",
               [&] { return !valueAfter(line, kSampleCount, v) || parseNumber(v, count); });
    if (got != REC_READ_OK) return got;
    const bool withoutCount = !valueAfter(line, kSampleCount, v);
    if (!withoutCount) h.sampleCount = count;
    int32_t *const values[] = {&h.setpoint, &h.offsetMaster, &h.offsetSlave, &h.rangeMaster,
                               &h.rangeSlave};
    for (size_t k = 0; k < std::size(kIntegerLines); ++k) {
        const IntegerLine &l = kIntegerLines[k];
        got = take(
            std::string("expected \"") + l.name + "\" and a whole number",
            [&] { return valueAfter(line, l.label, v) && parseNumber(v, *values[k]); },
            k == 0 && withoutCount);
        if (got != REC_READ_OK) return got;
    }
    return take(
        "expected the column row TIME, MA[µm], SL[µm], VAL[µm], MA-E, SL-E, MA-PIX, "
        "SL-PIX, VAL-PIX",
        [&] { return line == kColumnRow; });
}

int OpenRecFile(RecReader &r, const std::string &path, RecFileHeader &h) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) return REC_READ_NO_FILE;
    // Opening a FIFO would wait for a writer, and a device never ends.
    if (!std::filesystem::is_regular_file(status)) return REC_READ_NOT_FILE;
    r.file.open(path, std::ios::binary);
    if (!r.file) return REC_READ_NO_FILE;
    return ReadRecHeader(r, r.file, h);
}

int ReadRecSample(RecReader &r, RecSample &sample) {
    std::string_view line;
    const int got = nextLine(r, line);
    if (got < 0 && r.in->bad()) return REC_READ_NO_FILE;
    if (got == 0) return REC_READ_END;
    // One empty line at the very end is the end of the last line, not a sample.
    if (got > 0 && line.empty() && r.in->peek() == std::char_traits<char>::eof())
        return REC_READ_END;
    if (got > 0 && r.in->eof()) {  // no line end: cut off
        r.cutLine = r.line;
        return REC_READ_END;
    }
    if (got < 0 || !parseSample(line, sample))
        return notRecord(
            r, "expected a sample: hh:mm:ss and MA, SL, VAL, MA-E, SL-E, MA-PIX, SL-PIX, VAL-PIX");
    const int clock = static_cast<int>(sample.elapsed);
    if (r.clock >= 0) {
        int step = clock - r.clock;
        if (step < -kSecondsPerDay / 2) step += kSecondsPerDay;  // midnight passed
        r.elapsed += step;
    }
    r.clock = clock;
    sample.elapsed = r.elapsed;
    return REC_READ_OK;
}
