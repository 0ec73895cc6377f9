// Feeds arbitrary description texts (UTF-8) to the split of a virtual hub's
// description, checking the parts against the fields of the text.

#include "virtual/virtualhubdescription.h"

#include <QtCore/QStringList>

#include <cstdint>
#include <cstdlib>

using namespace Orvexsystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const VirtualHubDescription parts = VirtualHubDescription::parse(text);
    const QStringList fields = text.split(QLatin1Char(':'));
    if (fields.size() < VirtualHubDescription::MinimumParts) {
        if (!parts.host.isEmpty() || !parts.part2.isEmpty() || !parts.part3.isEmpty()
            || !parts.part4.isEmpty())
            std::abort();
    } else if (parts.host.contains(QLatin1Char('/'))
               || parts.host != QString(fields.at(1)).remove(QLatin1Char('/'))
               || parts.part2 != fields.at(2) || parts.part3 != fields.at(3)
               || parts.part4 != fields.at(4)) {
        std::abort();
    }
    const QString details = parts.details(QStringLiteral("N"));
    if (details.size() != 5 + parts.host.size() + parts.part2.size() + parts.part3.size()
                              + parts.part4.size())
        std::abort();
    return 0;
}
