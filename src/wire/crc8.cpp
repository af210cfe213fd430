#include "wire/crc8.h"

static_assert(crc8Array[0] == 0x00 && crc8Array[1] == 0x5E && crc8Array[2] == 0xBC &&
              crc8Array[3] == 0xE2);

uint8_t crc8Update(const uint8_t *buffer, int start, int count, const uint8_t *table) {
    uint8_t crc = 0xAA;
    for (int i = 0; i < count; ++i) crc = table[crc ^ buffer[start + i]];
    return crc;
}
