// The reply receiver and its frame checks, on RS-232 through a scripted line. The first input
// byte is the order of the request; then steps follow, each led by one byte whose low two bits
// say what it is and whose other bits give the pause before it in 10 ms units:
//   0: raw bytes, their count in the next byte, then the bytes;
//   1: line errors (bits 2..4 of the lead: input lost, parity, framing), pause in bits 5..7;
//   2: the device vanishes;
//   3: a well-formed reply: its order, its data count, then the data.
// Every exchange must end within its two waits (header, then data or drain) plus 0.5 s, leave
// a terminated status text, and succeed only with a correct frame of the request's order that
// arrived as it is (trigger records in front of it may have been skipped).
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/link/frame.h"
#include "core/link/status.h"
#include "core/link/transport.h"
#include "core/state/flags.h"
#include "input_file.h"
#include "scripted_line.h"
#include "wire/crc8.h"

namespace {

constexpr int PORT = 7;

std::vector<ScriptedLine::Step> stepsOf(const uint8_t *data, size_t size) {
    std::vector<ScriptedLine::Step> steps;
    double at = 0.0;
    for (size_t i = 0; i < size;) {
        const uint8_t lead = data[i++];
        ScriptedLine::Step step{};
        const int kind = lead & 3;
        at += 0.001 + 0.01 * (kind == 1 ? lead >> 5 : lead >> 2);
        step.at = at;
        if (kind == 0 && i < size) {
            const size_t want = data[i++];
            const size_t n = std::min(want, size - i);
            step.bytes.assign(data + i, data + i + n);
            i += n;
        } else if (kind == 1) {
            constexpr int bits[] = {kComInputLost, kComParity, kComFraming};
            for (int b = 0; b < 3; ++b)
                if (lead & (4 << b)) step.lineErrors |= bits[b];
        } else if (kind == 2) {
            step.vanish = true;
        } else if (kind == 3 && i + 1 < size) {
            const uint8_t order = data[i++];
            const size_t want = data[i++];
            const size_t n = std::min(want, size - i);
            uint8_t frame[FRAME_HEADER_SIZE + 256] = {0x55, order, 0, 0, uint8_t(n), 0, 0, 0};
            std::memcpy(frame + FRAME_HEADER_SIZE, data + i, n);
            frame[6] = crc8Update(frame, FRAME_HEADER_SIZE, static_cast<int>(n));
            frame[7] = crc8Update(frame, 0, 7);
            step.bytes.assign(frame, frame + FRAME_HEADER_SIZE + n);
            i += n;
        }
        steps.push_back(std::move(step));
    }
    return steps;
}

ScriptedLine &line() {
    static ScriptedLine *installed = [] {
        static ScriptedLine l;
        static const LinkView silent{[](unsigned, const char *) {}, [](int) {}, [](bool) {}};
        SetLinkView(silent);
        l.install(PORT);
        return &l;
    }();
    return *installed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    ScriptedLine &l = line();
    comtype = 0;
    rs232port = PORT;
    exit_flag = 0;
    l.play(stepsOf(data + 1, size - 1));
    FillTxBuf(data[0], 0, nullptr, 0);
    const int result = DataExchange(FRAME_HEADER_SIZE);
    if (result != 1 && result != -1) PropertyFailed("an exchange gave neither 1 nor -1");
    if (l.now() > 2 * TIMEOUT + 0.5) PropertyFailed("an exchange outlived its time-out");
    if (std::memchr(szStatus, 0, sizeof szStatus) == nullptr)
        PropertyFailed("the status text is not terminated");
    if (l.written().size() != FRAME_HEADER_SIZE ||
        !std::equal(l.written().begin(), l.written().end(), szWriteBuf))
        PropertyFailed("the request did not go out as built");
    if (result == 1) {
        const size_t total = FRAME_HEADER_SIZE + head.len;
        if (head.len > FRAME_MAX_DATA || crc8Update(szReadBuf, 0, FRAME_HEADER_SIZE) != 0 ||
            szReadBuf[0] != 0x55 || head.order != szWriteBuf[1] ||
            std::search(l.arrived().begin(), l.arrived().end(), szReadBuf, szReadBuf + total) ==
                l.arrived().end() ||
            (head.len > 0 && crc8Update(szReadBuf, FRAME_HEADER_SIZE, head.len) != head.datacrc))
            PropertyFailed("an exchange succeeded without the correct reply");
    }
    return 0;
}
