// The settings file of the legacy hubs fed arbitrary text: what a group
// holds is bounded and well formed, and replacing one group's lists gives
// back exactly those lists and leaves every other group as it was.

#include "legacy/legacysettingsfile.h"

#include <QtCore/QSet>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace Orvexsystem;

namespace {

using Registrations = LegacySettingsFile::Registrations;

const QString Groups[] = {QStringLiteral("LegacyVoteHub"), QStringLiteral("1278945817")};

void checkWellFormed(const Registrations &r)
{
    QSet<quint32> ids;
    for (quint32 id : r.votes)
        if (id == 0 || ids.contains(id))
            std::abort();
        else
            ids.insert(id);
    QSet<quint32> slates;
    for (const auto &slate : r.slates)
        if (slate.id == 0 || slate.id > 255 || slates.contains(slate.id)
            || !LegacySettingsFile::isValidPin(slate.pin))
            std::abort();
        else
            slates.insert(slate.id);
}

bool same(const Registrations &a, const Registrations &b)
{
    return a.votes == b.votes && a.slates == b.slates;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 64 * 1024)
        return 0;
    const QByteArray text(reinterpret_cast<const char *>(data), int(size));
    const Registrations before[2] = {LegacySettingsFile::parseGroup(text, Groups[0]),
                                     LegacySettingsFile::parseGroup(text, Groups[1])};
    checkWellFormed(before[0]);
    checkWellFormed(before[1]);

    // New lists for the first group, taken from what the second one held.
    Registrations fresh;
    fresh.votes = before[1].votes;
    fresh.votes.append(0x7FFFFF);
    fresh.slates = before[1].slates;
    const bool onlyVotes = size % 3 == 1;
    const bool onlySlates = size % 3 == 2;
    const QByteArray updated = LegacySettingsFile::updateGroup(
        text, Groups[0], onlySlates ? nullptr : &fresh.votes, onlyVotes ? nullptr : &fresh.slates);
    const Registrations after = LegacySettingsFile::parseGroup(updated, Groups[0]);
    if ((!onlySlates && after.votes != fresh.votes) || (onlySlates && after.votes != before[0].votes)
        || (!onlyVotes && after.slates != fresh.slates)
        || (onlyVotes && after.slates != before[0].slates))
        std::abort();
    if (!same(LegacySettingsFile::parseGroup(updated, Groups[1]), before[1]))
        std::abort();
    // Writing the same lists once more changes nothing.
    const QByteArray again =
        LegacySettingsFile::updateGroup(updated, Groups[0], &after.votes, &after.slates);
    if (LegacySettingsFile::updateGroup(again, Groups[0], &after.votes, &after.slates) != again)
        std::abort();
    return 0;
}
