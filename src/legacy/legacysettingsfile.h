#ifndef ORVEXSYSTEM_LEGACY_LEGACYSETTINGSFILE_H
#define ORVEXSYSTEM_LEGACY_LEGACYSETTINGSFILE_H

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>

namespace Orvexsystem {

// The machine-wide settings file in which the library remembers the voting
// handsets and slates registered with legacy hubs, since those hubs keep no
// list that can be read back. It is an INI file as QSettings reads and
// writes it; each hub uses one group ("LegacyVoteHub" for every hub that is
// not mounted in a board, the hub's uid in decimal for one that is):
//
//   [LegacyVoteHub]
//   orvexvotes=1715969, 1715970
//   Slates\1\ID=5
//   Slates\1\PIN=314
//   Slates\size=1
//
// An empty handset list is written as orvexvotes=@Invalid(), as QSettings
// writes an empty string list. Everything else in the file (other groups,
// other keys, comments) is kept as it was.
//
// The file is replaced atomically (a temporary file in the same folder,
// flushed, then renamed over it), so a crash or power cut during a write
// leaves the previous registrations in place, and every read-modify-write
// holds the lock file "<file>.lock" (the one QSettings itself takes) so that
// processes and threads updating the file at once never lose each other's
// groups. Reads take no lock: they see one whole version of the file.
//
// What is read is bounded and checked: a file larger than MaximumFileSize,
// or that is no regular file (a folder, a pipe), gives empty lists and is
// never written over; handset ids that are not decimal numbers from 1 to
// 2^32 - 1, slates whose id is not from 1 to 255 or whose PIN is not three
// digits, and repeated ids are left out.
class LegacySettingsFile
{
public:
    struct Slate
    {
        quint32 id = 0;
        QString pin;
        bool operator==(const Slate &other) const { return id == other.id && pin == other.pin; }
    };
    struct Registrations
    {
        QList<quint32> votes;
        QList<Slate> slates;
    };

    static const qint64 MaximumFileSize = 1024 * 1024;
    // How long a writer waits for another to finish with the file.
    static const int LockWaitMs = 5000;

    // Below the machine-wide data folder.
    static QString relativePath();
    // The group of a hub.
    static QString groupOf(bool hasBoard, quint64 uid);

    // Reads the group from the file. A missing file reads as empty lists and
    // true; a file that cannot be read gives empty lists and false.
    static bool read(const QString &group, Registrations *out);
    // Replaces the group's handset list (when votes is set) and slate list
    // (when slates is set), keeping everything else in the file. False when
    // the file could not be locked, read within bounds or written; the file
    // is then as it was.
    static bool write(const QString &group, const QList<quint32> *votes,
                      const QList<Slate> *slates);

    // The text form, without any file: what a group of this text holds, and
    // the text with a group's lists replaced.
    static Registrations parseGroup(const QByteArray &text, const QString &group);
    static QByteArray updateGroup(const QByteArray &text, const QString &group,
                                  const QList<quint32> *votes, const QList<Slate> *slates);
    static bool isValidPin(const QString &pin);
};

} // namespace Orvexsystem

#endif
