// The simulator's request parser with its device model. The input arrives in chunks with
// pauses between them (each chunk is led by one byte: its length and the pause before it);
// every request that comes out is answered by a fresh device, and every answer must be one
// well-formed reply frame: header CRC, data length and data CRC right, within the frame buffer,
// and the communication error for a request that was not intact. Triggers are polled as well.
#include <algorithm>
#include <cstdint>

#include "device.h"
#include "frame_parser.h"
#include "frames.h"
#include "input_file.h"
#include "wire/crc8.h"

namespace {

void checkReply(const Bytes &reply) {
    if (reply.size() < FRAME_HEADER_SIZE || reply.size() > FRAME_BUFFER_SIZE)
        PropertyFailed("a reply is shorter than a header or longer than a frame");
    const FrameHeader h = headerOf(reply);
    if (reply[0] != 0x55 || crc8Update(reply.data(), 0, FRAME_HEADER_SIZE) != 0)
        PropertyFailed("a reply header does not check");
    if (h.len != reply.size() - FRAME_HEADER_SIZE) PropertyFailed("a reply length is wrong");
    if (h.len > 0 && crc8Update(reply.data(), FRAME_HEADER_SIZE, h.len) != h.datacrc)
        PropertyFailed("a reply's data do not check");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Device device(DeviceConfig{});
    FrameParser parser;
    double now = 1.0;
    for (size_t at = 0; at < size;) {
        const uint8_t lead = data[at++];
        now += (lead >> 6) * 0.04;  // 0, 40, 80 or 120 ms: inside a burst, past its gap, ...
        const size_t count = std::min<size_t>((lead & 0x3F) + 1, size - at);
        for (const Request &request : parser.feed(data + at, count, now)) {
            const Bytes reply = device.handle(request, now);
            checkReply(reply);
            if (!request.intact && (reply[1] != ORD_ERROR || reply[2] != ERR_COMMUNICATION))
                PropertyFailed("a broken request is not answered with the communication error");
        }
        while (const auto trigger = device.pollTrigger(now)) checkReply(*trigger);
        at += count;
    }
    parser.expire(now + FrameParser::PARTIAL_TIMEOUT + 1);
    return 0;
}
