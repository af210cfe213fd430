#include "core/calib/calibfile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <string>
#include <string_view>

uint16_t linArrayA[LIN_TABLE_SIZE];
uint16_t linArrayB[LIN_TABLE_SIZE];
char calib_fname[CALIB_PATH_SIZE];

namespace {

// Static start values, so that code running before ResetCalibration() sees them too.
struct StartValues {
    StartValues() { ResetCalibration(); }
} startValues;

constexpr int NO_PAIR = -1;
int identifiedPair = NO_PAIR;          // the pair identified last
int filePair[2] = {NO_PAIR, NO_PAIR};  // the pair each side's loaded file belongs to

int &fileFlag(int index) {
    return index == 0 ? calibfile_flagA : calibfile_flagB;
}

constexpr size_t MAX_ITEM = 47;  // characters of a tag or label
constexpr int SHORT_TABLE = 1024;

// The six header lines in file order, each stored into its field at its width.
using FieldSetter = void (*)(CalibHeader &, int32_t);
constexpr FieldSetter headerLines[] = {
    [](CalibHeader &h, int32_t v) { h.typeCode = v; },
    [](CalibHeader &h, int32_t v) { h.param1 = static_cast<int16_t>(v); },
    [](CalibHeader &h, int32_t v) { h.range = v; },
    [](CalibHeader &h, int32_t v) { h.offset = v; },
    [](CalibHeader &h, int32_t v) { h.param2 = static_cast<int16_t>(v); },
    [](CalibHeader &h, int32_t v) { h.tableLength = static_cast<int16_t>(v); },
};

bool isSpace(int c) {
    return c != EOF && std::isspace(c);
}
bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

// Reads the items of a calibration file from a stream, counting its lines.
class CalibScanner {
  public:
    explicit CalibScanner(std::istream &in) : in_(in) {}

    int line() const { return line_; }

    // Next item up to white space; false when there is none or it is longer than 47 characters.
    bool item(std::string &text) {
        skipWhile(isSpace);
        text.clear();
        while (!isSpace(in_.peek()) && in_.peek() != EOF) {
            if (text.size() == MAX_ITEM) return false;
            text += static_cast<char>(get());
        }
        return !text.empty();
    }

    bool tagItem(std::string_view tag) {
        std::string text;
        return item(text) && text.starts_with(tag);
    }

    // "label<TAB>number" into one header field.
    bool headerLine(int32_t &value) {
        std::string label;
        int64_t number = 0;
        if (!item(label) || get() != '\t' || !integer(number)) return false;
        if (number < INT32_MIN || number > INT32_MAX) return false;
        value = static_cast<int32_t>(number);
        return true;
    }

    // Decimal integer after white space and, between table values, commas; a magnitude beyond
    // 32 bits is held at 2^32.
    bool integer(int64_t &value, bool commas = false) {
        skipWhile([commas](int c) { return isSpace(c) || (commas && c == ','); });
        bool negative = in_.peek() == '-';
        if (negative || in_.peek() == '+') get();
        if (!isDigit(in_.peek())) return false;
        int64_t magnitude = 0;
        while (isDigit(in_.peek()))
            magnitude = std::min<int64_t>(magnitude * 10 + (get() - '0'), INT64_C(1) << 32);
        value = negative ? -magnitude : magnitude;
        return true;
    }

  private:
    int get() {
        const int c = in_.get();
        if (c == '\n') ++line_;
        return c;
    }

    template <class Pred>
    void skipWhile(Pred pred) {
        while (pred(in_.peek())) get();
    }

    std::istream &in_;
    int line_ = 1;
};

std::string problem;  // why the last file was refused
// The files linArrayA and linArrayB were read from; plain arrays, ready before the start values.
char tableFiles[2][CALIB_PATH_SIZE];

// Notes why the file is refused at the scanner's line; returns 0.
int refuse(const CalibScanner &scan, const std::string &why) {
    problem = "line " + std::to_string(scan.line()) + ": " + why;
    return 0;
}

}  // namespace

void ResetCalibration() {
    calib[0] = calib[1] = DefaultCalibHeader();
    calibToWrite[0] = calibToWrite[1] = DefaultCalibHeader();
    std::fill(std::begin(linArrayA), std::end(linArrayA), 0);
    std::fill(std::begin(linArrayB), std::end(linArrayB), 0);
    calibfile_flagA = calibfile_flagB = 0;
    calib_fname[0] = '\0';
    identifiedPair = filePair[0] = filePair[1] = NO_PAIR;
    tableFiles[0][0] = tableFiles[1][0] = '\0';
}

int LoadCalibrationFile(const char *path, int sensor) {
    const int index = sensor == 1 ? 0 : 1;
    CalibHeader header = calib[index];
    if (ReadCalibrationFile(path, index == 0 ? linArrayA : linArrayB, header) != 1) {
        fileFlag(index) = 0;
        return 0;
    }
    calibToWrite[index] = header;
    fileFlag(index) = 1;
    filePair[index] = identifiedPair;
    return 1;
}

unsigned KeepCalibFilesOfPair(int serial) {
    identifiedPair = serial;
    unsigned dropped = 0;
    for (int index : {0, 1}) {
        if (fileFlag(index) != 1 || filePair[index] == serial) continue;
        fileFlag(index) = 0;
        dropped |= 1u << index;
    }
    return dropped;
}

int ReadCalibrationFile(const char *path, uint16_t *table, CalibHeader &header) {
    problem.clear();
    std::ifstream file(path);
    if (!file) {
        problem = "cannot be read";
        return 0;
    }
    CalibScanner scan(file);
    if (!scan.tagItem("[HEADER]")) return refuse(scan, "[HEADER] expected");

    CalibHeader read = header;
    for (FieldSetter store : headerLines) {
        int32_t value = 0;
        if (!scan.headerLine(value)) return refuse(scan, "a header line LABEL<TAB>NUMBER expected");
        store(read, value);
    }
    const int count = read.tableLength == SHORT_TABLE ? SHORT_TABLE : LIN_TABLE_SIZE;
    if (!scan.tagItem("[XFLASH]")) return refuse(scan, "[XFLASH] expected");

    std::array<uint16_t, LIN_TABLE_SIZE> values{};
    for (int i = 0; i < count; ++i) {
        int64_t value = 0;
        if (!scan.integer(value, true))
            return refuse(scan, "table value " + std::to_string(i + 1) + " of " +
                                    std::to_string(count) + " missing or not a number");
        // A table entry is an unsigned 16-bit word: a value outside would wrap into another.
        if (value < 0 || value > UINT16_MAX)
            return refuse(scan, "table value " + std::to_string(value) + " outside 0..65535");
        values[i] = static_cast<uint16_t>(value);
    }
    std::copy(values.begin(), values.end(), table);
    header = read;
    if (table == linArrayA || table == linArrayB)
        std::snprintf(tableFiles[table == linArrayB ? 1 : 0], CALIB_PATH_SIZE, "%s", path);
    return 1;
}

const char *CalibTableFile(int sensor) {
    return tableFiles[sensor == 2 ? 1 : 0];
}

const char *CalibFileProblem() {
    return problem.c_str();
}
