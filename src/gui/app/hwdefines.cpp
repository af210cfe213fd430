#include "gui/app/hwdefines.h"

#include <algorithm>
#include <iterator>

namespace {

struct TypeCodeRow {
    int32_t codes[2];  // the 51xxxx code and its 61xxxx twin
    HardwareDefaults defaults;
};

constexpr TypeCodeRow typeCodes[] = {
    {{510407, 610407}, {50000, 10000, 0, 2048, 1, 20}},
    {{510409, 610409}, {90000, 45000, 0, 2048, 1, 20}},
    {{510412, 610412}, {110000, 65000, 0, 2048, 1, 20}},
    {{510413, 610413}, {160000, 100000, 0, 2048, 1, 20}},
    {{510414, 610414}, {200000, 225000, 0, 2048, 1, 20}},
    {{510416, 610416}, {280000, 425000, 0, 2048, 1, 20}},
    {{510417, 610417}, {450000, 950000, 0, 2048, 1, 20}},
    {{510426, 610426}, {125000, 80000, 0, 2048, 1, 20}},
    {{511513, 611513}, {35000, 4000, 0, 2048, 1, 20}},
    {{511589, 611589}, {70000, 20000, 0, 2048, 1, 20}},
    {{611632, 611632}, {25000, 10000, 30000, 1024, 1, 22}},  // both tables in one sensor
};

constexpr HardwareDefaults unknownCode{35000, 4000, 0, 2048, 1, 0};

}  // namespace

HardwareDefaults HardwareDefaultsOfCode(int32_t code) {
    auto row = std::find_if(std::begin(typeCodes), std::end(typeCodes), [code](const auto &r) {
        return r.codes[0] == code || r.codes[1] == code;
    });
    return row == std::end(typeCodes) ? unknownCode : row->defaults;
}
