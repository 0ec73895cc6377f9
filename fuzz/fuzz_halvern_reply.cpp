// Feeds arbitrary bytes, in pieces of a size taken from the first byte, to
// the response-server reply reader, checking that it never takes a byte
// beyond the reply nor holds more than a PIN reply.

#include "virtual/halvernprotocol.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace Orvexsystem::HalvernProtocol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype piece = 1 + data[0] % 8;
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    const qsizetype total = qsizetype(size) - 1;

    ReplyReader reader;
    qsizetype at = 0;
    while (at < total) {
        const qsizetype offered = std::min(piece, total - at);
        const qsizetype taken = reader.feed(bytes + at, offered);
        // All of it while the reply is incomplete; only the reply's own
        // bytes (checked below) once it is done.
        if (taken < 0 || taken > offered
            || (reader.status() == ReplyReader::Status_NeedMore && taken != offered))
            std::abort();
        if (taken == 0)
            break;
        at += taken;
    }
    if (reader.body().size() > MaxReplyLength)
        std::abort();
    switch (reader.status()) {
    case ReplyReader::Status_Complete:
        if (at != LengthFieldSize + reader.body().size()
            || quint32(reader.body().size()) != reader.length()
            || reader.body() != QByteArray(bytes + LengthFieldSize, reader.body().size()))
            std::abort();
        break;
    case ReplyReader::Status_TooLong:
        if (at != LengthFieldSize || reader.length() <= quint32(MaxReplyLength) || reader.missing() != 0)
            std::abort();
        break;
    case ReplyReader::Status_NeedMore:
        if (at != total || reader.missing() <= 0)
            std::abort();
        break;
    }
    return 0;
}
