// The collector of multi-packet numeric and text answers fed arbitrary
// packets.
//
// Input: a series of packets, each a length byte and that many bytes (the
// answer packets are 12 bytes: 0C 83 address(2) number ...). Every answer
// handed over, complete or not, must hold no more than an answer can (255
// bytes, one per UTF-16 unit at most); a complete one must be exactly what
// its pieces say, and the collector never holds more answers than its cap.

#include "rfhub/sessionbuffercollector.h"

#include <cstddef>
#include <cstdint>

using namespace Orvexsystem;

namespace {

void check(const SessionBufferCollector::Answer &answer)
{
    if (answer.text.toUtf8().size() > SessionBufferCollector::MaximumAnswerLength * 3)
        __builtin_trap();
    if (answer.complete && answer.text.size() > 255)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SessionBufferCollector collector(nullptr, check);
    size_t at = 0;
    while (at < size) {
        const size_t length = data[at++];
        const size_t take = length < size - at ? length : size - at;
        const QByteArray packet(reinterpret_cast<const char *>(data + at), int(take));
        at += take;
        SessionBufferCollector::Answer done;
        if (collector.addPacket(packet, &done)) {
            if (!done.complete)
                __builtin_trap();
            check(done);
        }
        if (collector.answersInProgress() > SessionBufferCollector::MaximumAnswersInProgress)
            __builtin_trap();
    }
    collector.expireAll();
    if (collector.answersInProgress() != 0)
        __builtin_trap();
    return 0;
}
