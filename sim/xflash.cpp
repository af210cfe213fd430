#include "xflash.h"

#include <algorithm>

bool XFlash::holds(uint32_t address, size_t words) {
    return address >= BASE && address + words <= BASE + static_cast<uint32_t>(WORDS);
}

bool XFlash::erasePage(uint16_t pageAddress) {
    if (!holds(pageAddress, PAGE_WORDS) || pageAddress % PAGE_WORDS != 0) return false;
    std::fill_n(image_.begin() + (pageAddress - BASE), PAGE_WORDS, uint16_t{0xFFFF});
    return true;
}

bool XFlash::write(uint16_t address, const uint8_t *bytes, size_t count) {
    const size_t words = count / 2;
    if (count % 2 != 0 || !holds(address, words)) return false;
    for (size_t i = 0; i < words; ++i) {
        const auto value = static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        image_[address - BASE + i] &= value;
    }
    return true;
}

bool XFlash::read(uint16_t address, size_t words, Bytes &out) const {
    if (!holds(address, words)) return false;
    out.clear();
    for (uint16_t w : this->words(address, words)) {
        out.push_back(static_cast<uint8_t>(w & 0xFF));
        out.push_back(static_cast<uint8_t>(w >> 8));
    }
    return true;
}

std::span<const uint16_t> XFlash::words(uint16_t address, size_t count) const {
    return {image_.data() + (address - BASE), count};
}
