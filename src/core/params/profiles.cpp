#include "core/params/profiles.h"

#include <algorithm>
#include <iterator>

#include "core/params/paramblock.h"

uint16_t thdArrayA[MAXPOINT];
uint16_t thdArrayB[MAXPOINT];
uint16_t adcbufA[MAXPOINT];
uint16_t adcbufB[MAXPOINT];

void FillThresholdLine(uint16_t (&line)[MAXPOINT], uint16_t percent) {
    std::fill(std::begin(line), std::end(line),
              static_cast<uint16_t>(uint32_t{percent} * ADCMAX / 100));
}

void FillThresholdLines() {
    FillThresholdLine(thdArrayA, para.ma.videoThreshold);
    FillThresholdLine(thdArrayB, para.sl.videoThreshold);
}
