// Feeds arbitrary bytes, in pieces of a size taken from the first byte, to
// the development response server's request splitter.

#include "serverprotocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace ResponseServerProtocol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype piece = 1 + data[0] % 64;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size) - 1);

    RequestSplitter splitter;
    bool open = true;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        QList<Request> requests;
        const bool ok = splitter.feed(bytes.mid(at, piece), requests);
        if (!open && (ok || !requests.isEmpty()))
            std::abort();
        open = ok;
        for (const Request &request : std::as_const(requests)) {
            if (request.text.size() > MaxRequestSize || request.text.contains(EndOfRequest))
                std::abort();
            if (request.kind == Request::Kind_EndRegistration && !request.text.isEmpty())
                std::abort();
        }
    }
    return 0;
}
