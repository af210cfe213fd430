#include "calib/calibfile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <string>
#include <string_view>

uint16_t linArrayA[LIN_TABLE_SIZE];
uint16_t linArrayB[LIN_TABLE_SIZE];
int calibfile_flagA, calibfile_flagB;
char calib_fname[CALIB_PATH_SIZE];

namespace {

// Static start values, so that code running before ResetCalibration() sees them too.
struct StartValues {
    StartValues() { ResetCalibration(); }
} startValues;

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

// Reads the items of a calibration file from a stream.
class CalibScanner {
  public:
    explicit CalibScanner(std::istream &in) : in_(in) {}

    // Next item up to white space; false when there is none or it is longer than 47 characters.
    bool item(std::string &text) {
        skipWhile(isSpace);
        text.clear();
        while (!isSpace(in_.peek()) && in_.peek() != EOF) {
            if (text.size() == MAX_ITEM) return false;
            text += static_cast<char>(in_.get());
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
        return item(label) && in_.get() == '\t' && integer(value);
    }

    // Decimal 32-bit integer after white space and, between table values, commas.
    bool integer(int32_t &value, bool commas = false) {
        skipWhile([commas](int c) { return isSpace(c) || (commas && c == ','); });
        bool negative = in_.peek() == '-';
        if (negative || in_.peek() == '+') in_.get();
        if (!isDigit(in_.peek())) return false;
        int64_t magnitude = 0;
        while (isDigit(in_.peek())) {
            magnitude = std::min<int64_t>(magnitude * 10 + (in_.get() - '0'), INT64_C(1) << 32);
        }
        const int64_t result = negative ? -magnitude : magnitude;
        if (result < INT32_MIN || result > INT32_MAX) return false;
        value = static_cast<int32_t>(result);
        return true;
    }

  private:
    template <class Pred>
    void skipWhile(Pred pred) {
        while (pred(in_.peek())) in_.get();
    }

    std::istream &in_;
};

}  // namespace

void ResetCalibration() {
    calib[0] = calib[1] = DefaultCalibHeader();
    std::fill(std::begin(linArrayA), std::end(linArrayA), 0);
    std::fill(std::begin(linArrayB), std::end(linArrayB), 0);
    calibfile_flagA = calibfile_flagB = 0;
    calib_fname[0] = '\0';
}

int ReadCalibrationFile(const char *path, uint16_t *table, int16_t sensor) {
    std::ifstream file(path);
    if (!file) return 0;
    CalibScanner scan(file);
    if (!scan.tagItem("[HEADER]")) return 0;

    CalibHeader &header = calib[sensor == 1 ? 0 : 1];
    for (FieldSetter store : headerLines) {
        int32_t value = 0;
        if (!scan.headerLine(value)) return 0;
        store(header, value);
    }
    const int count = header.tableLength == SHORT_TABLE ? SHORT_TABLE : LIN_TABLE_SIZE;
    if (!scan.tagItem("[XFLASH]")) return 0;

    std::array<uint16_t, LIN_TABLE_SIZE> values{};
    for (int i = 0; i < count; ++i) {
        int32_t value = 0;
        if (!scan.integer(value, true)) return 0;
        values[i] = static_cast<uint16_t>(value);
    }
    std::copy(values.begin(), values.end(), table);
    return 1;
}
