#include "legacy/legacysettingsfile.h"

#include "platform/platform.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QLockFile>
#include <QtCore/QMap>
#include <QtCore/QSaveFile>
#include <QtCore/QSet>

#include <mutex>

namespace Orvexsystem {

namespace {

const char VotesKey[] = "orvexvotes";
const char SlatesKey[] = "Slates";
const char DefaultGroup[] = "LegacyVoteHub";

// ---------------------------------------------------------------------------
// INI lines, split as QSettings splits them: a line ends at a line break
// that is neither escaped by a backslash nor inside double quotes; a
// semicolon outside quotes starts a comment that runs to the end of the line.

struct IniLine
{
    enum Kind { Blank, Section, KeyValue, Other };
    int begin = 0; // raw bytes of the line, its line break included
    int end = 0;
    Kind kind = Blank;
    QByteArray name;     // Section: the group, unescaped ("" for [General])
    QByteArray key;      // KeyValue: the full key, group prefix included
    QByteArray rawValue; // KeyValue: the text after '=', as written
    QByteArray terminator; // the line break that ends the line, if any
    // The text ends inside the line, in quotes, so that whatever followed
    // would belong to it.
    bool openAtEnd = false;
    // The text ends in an escape that would take in what followed: a lone
    // backslash, or an escaped line break. Its length in bytes.
    int danglingEscape = 0;
};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A key as QSettings writes it: '\' separates groups, %XX escapes a byte.
QByteArray unescapeKey(const QByteArray &raw)
{
    QByteArray key;
    key.reserve(raw.size());
    for (int i = 0; i < raw.size(); ++i) {
        const char c = raw.at(i);
        if (c == '\\') {
            key += '/';
        } else if (c == '%' && i + 2 < raw.size() && hexValue(raw.at(i + 1)) >= 0
                   && hexValue(raw.at(i + 2)) >= 0) {
            key += char(hexValue(raw.at(i + 1)) * 16 + hexValue(raw.at(i + 2)));
            i += 2;
        } else {
            key += c;
        }
    }
    return key;
}

QList<IniLine> splitLines(const QByteArray &text)
{
    QList<IniLine> lines;
    QByteArray prefix; // the current section's key prefix
    const int n = int(text.size());
    int pos = 0;
    while (pos < n) {
        IniLine line;
        line.begin = pos;
        int i = pos;
        bool inQuotes = false;
        int equals = -1;
        int contentEnd = -1;
        while (i < n) {
            const char c = text.at(i);
            if ((c == '\n' || c == '\r') && !inQuotes)
                break;
            if (c == '\\') {
                // Skips the escaped character; an escaped line break (\r\n
                // or \n\r as one) continues the line.
                if (i + 1 >= n) {
                    line.danglingEscape = 1;
                    i = n;
                    continue;
                }
                const int escape = i;
                const char next = text.at(i + 1);
                i += 2;
                if (i < n && ((next == '\r' && text.at(i) == '\n') || (next == '\n' && text.at(i) == '\r')))
                    ++i;
                if (i >= n && (next == '\r' || next == '\n'))
                    line.danglingEscape = i - escape;
                continue;
            }
            if (c == '"') {
                inQuotes = !inQuotes;
            } else if (c == '=' && equals < 0) {
                equals = i;
            } else if (c == ';' && !inQuotes) {
                contentEnd = i;
                while (i < n && text.at(i) != '\n' && text.at(i) != '\r')
                    ++i;
                break;
            }
            ++i;
        }
        if (i >= n && inQuotes)
            line.openAtEnd = true;
        if (contentEnd < 0)
            contentEnd = i;
        const int breakBegin = i;
        if (i < n && text.at(i) == '\r')
            ++i;
        if (i < n && text.at(i) == '\n')
            ++i;
        line.end = i;
        line.terminator = text.mid(breakBegin, i - breakBegin);
        pos = i;

        const QByteArray content = text.mid(line.begin, contentEnd - line.begin).trimmed();
        if (content.isEmpty()) {
            line.kind = IniLine::Blank;
        } else if (content.startsWith('[')) {
            line.kind = IniLine::Section;
            const int close = int(content.indexOf(']'));
            const QByteArray section =
                (close < 0 ? content.mid(1) : content.mid(1, close - 1)).trimmed();
            if (section.compare("general", Qt::CaseInsensitive) == 0) {
                line.name.clear();
                prefix.clear();
            } else {
                line.name = section.compare("%general", Qt::CaseInsensitive) == 0
                                ? section.mid(1)
                                : unescapeKey(section);
                prefix = line.name + '/';
            }
        } else if (equals >= 0 && equals < contentEnd) {
            line.kind = IniLine::KeyValue;
            line.key = prefix + unescapeKey(text.mid(line.begin, equals - line.begin).trimmed());
            line.rawValue = text.mid(equals + 1, contentEnd - equals - 1);
        } else {
            line.kind = IniLine::Other;
        }
        lines.append(line);
    }
    return lines;
}

// ---------------------------------------------------------------------------
// Values, as QSettings reads them: items separated by commas outside quotes,
// unquoted blanks around an item dropped, backslash escapes resolved.

void appendEscape(const QByteArray &raw, int &i, QByteArray &out)
{
    // raw.at(i) is the backslash.
    ++i;
    if (i >= raw.size())
        return;
    const char c = raw.at(i);
    switch (c) {
    case 'a': out += '\a'; ++i; return;
    case 'b': out += '\b'; ++i; return;
    case 'f': out += '\f'; ++i; return;
    case 'n': out += '\n'; ++i; return;
    case 'r': out += '\r'; ++i; return;
    case 't': out += '\t'; ++i; return;
    case 'v': out += '\v'; ++i; return;
    case '\n':
    case '\r':
        // A line continuation.
        while (i < raw.size() && (raw.at(i) == '\n' || raw.at(i) == '\r'))
            ++i;
        return;
    case 'x': {
        ++i;
        uint value = 0;
        int digits = 0;
        while (i < raw.size() && hexValue(raw.at(i)) >= 0 && digits < 4) {
            value = value * 16 + uint(hexValue(raw.at(i)));
            ++i;
            ++digits;
        }
        out += value <= 0xFF ? char(value) : '?';
        return;
    }
    default:
        break;
    }
    if (c >= '0' && c <= '7') {
        uint value = 0;
        int digits = 0;
        while (i < raw.size() && raw.at(i) >= '0' && raw.at(i) <= '7' && digits < 3) {
            value = value * 8 + uint(raw.at(i) - '0');
            ++i;
            ++digits;
        }
        out += value <= 0xFF ? char(value) : '?';
        return;
    }
    out += c; // \" \' \? \\ and anything else stand for themselves
    ++i;
}

QList<QByteArray> valueItems(const QByteArray &raw)
{
    QList<QByteArray> items;
    QByteArray current;
    int kept = 0; // length of current up to its last character that counts
    bool inQuotes = false;
    for (int i = 0; i < raw.size();) {
        const char c = raw.at(i);
        if (c == '"') {
            inQuotes = !inQuotes;
            ++i;
        } else if (c == '\\') {
            appendEscape(raw, i, current);
            kept = int(current.size());
        } else if (c == ',' && !inQuotes) {
            items.append(current.left(kept));
            current.clear();
            kept = 0;
            ++i;
        } else if (!inQuotes && (isSpace(c) || c == '\n' || c == '\r')) {
            if (!current.isEmpty())
                current += c;
            ++i;
        } else {
            current += c;
            kept = int(current.size());
            ++i;
        }
    }
    items.append(current.left(kept));
    return items;
}

// A single text value: the items joined again, as a QString reads them.
QByteArray textValue(const QByteArray &raw)
{
    QByteArray text = valueItems(raw).join(", ");
    if (text.startsWith("@@"))
        text.remove(0, 1);
    return text;
}

// A decimal number written plainly, without sign or leading zero.
bool plainNumber(const QByteArray &text, quint64 max, quint64 *value)
{
    if (text.isEmpty() || text.size() > 20 || (text.size() > 1 && text.at(0) == '0'))
        return false;
    quint64 v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + quint64(c - '0');
        if (v > max)
            return false;
    }
    *value = v;
    return true;
}

struct SlateEntry
{
    QByteArray id;
    QByteArray pin;
    bool hasId = false;
    bool hasPin = false;
};

// The keys of a group that the lists are read from: "orvexvotes" and the
// entries of the "Slates" array. Only these are carried over when a list
// is kept; anything else under those names is garbage and left out.
bool isListKey(const QByteArray &relativeKey)
{
    if (relativeKey == VotesKey || relativeKey == "Slates/size")
        return true;
    const QList<QByteArray> parts = relativeKey.split('/');
    quint64 index = 0;
    return parts.size() == 3 && parts.at(0) == SlatesKey
           && plainNumber(parts.at(1), 0xFFFFFFFFu, &index)
           && (parts.at(2) == "ID" || parts.at(2) == "PIN");
}

// The write-side text of a key below the group: groups separated by '\'.
QByteArray keyText(const QByteArray &relativeKey)
{
    QByteArray text = relativeKey;
    text.replace('/', '\\');
    return text;
}

std::mutex &writerMutex()
{
    // Threads of this process take turns before the lock file, which only
    // tells processes apart.
    static std::mutex mutex;
    return mutex;
}

// The whole file, within the size bound; a missing file is empty.
bool readWhole(const QString &path, QByteArray *text)
{
    text->clear();
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return true;
    const auto file = Platform::openFileForReading(path);
    if (!file)
        return false;
    *text = file->read(LegacySettingsFile::MaximumFileSize + 1);
    return text->size() <= LegacySettingsFile::MaximumFileSize;
}

} // namespace

QString LegacySettingsFile::relativePath()
{
    return QStringLiteral("Veltrane/OrvexSystem/OrvexSystem.ini");
}

QString LegacySettingsFile::groupOf(bool hasBoard, quint64 uid)
{
    return hasBoard ? QString::number(uid) : QString::fromLatin1(DefaultGroup);
}

bool LegacySettingsFile::isValidPin(const QString &pin)
{
    if (pin.size() != 3)
        return false;
    for (const QChar c : pin)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

LegacySettingsFile::Registrations LegacySettingsFile::parseGroup(const QByteArray &text,
                                                                 const QString &group)
{
    const QByteArray prefix = group.toUtf8() + '/';
    const QByteArray votesKey = prefix + VotesKey;
    const QByteArray slatesPrefix = prefix + SlatesKey + '/';

    QByteArray votesValue;
    bool haveVotes = false;
    QByteArray sizeValue;
    QMap<quint64, SlateEntry> entries;
    for (const IniLine &line : splitLines(text)) {
        if (line.kind != IniLine::KeyValue)
            continue;
        if (line.key == votesKey) {
            votesValue = line.rawValue;
            haveVotes = true;
            continue;
        }
        if (!line.key.startsWith(slatesPrefix))
            continue;
        const QByteArray rest = line.key.mid(slatesPrefix.size());
        if (rest == "size") {
            sizeValue = line.rawValue;
            continue;
        }
        const int slash = int(rest.indexOf('/'));
        quint64 index = 0;
        if (slash < 0 || !plainNumber(rest.left(slash), 0xFFFFFFFFu, &index))
            continue;
        const QByteArray field = rest.mid(slash + 1);
        if (field == "ID") {
            entries[index].id = line.rawValue;
            entries[index].hasId = true;
        } else if (field == "PIN") {
            entries[index].pin = line.rawValue;
            entries[index].hasPin = true;
        }
    }

    Registrations out;
    if (haveVotes) {
        const QList<QByteArray> items = valueItems(votesValue);
        QSet<quint32> seen;
        // "@Invalid()" is how an empty list is written.
        if (!(items.size() == 1 && items.first() == "@Invalid()")) {
            for (const QByteArray &item : items) {
                quint64 id = 0;
                if (plainNumber(item, 0xFFFFFFFFu, &id) && id != 0 && !seen.contains(quint32(id))) {
                    seen.insert(quint32(id));
                    out.votes.append(quint32(id));
                }
            }
        }
    }

    // Entries 1 to size, as an array is read; only those present count.
    quint64 size = 0;
    if (!plainNumber(textValue(sizeValue), 0x7FFFFFFF, &size))
        size = 0;
    QSet<quint32> seenSlates;
    for (auto it = entries.cbegin(); it != entries.cend() && it.key() <= size; ++it) {
        if (it.key() == 0 || !it->hasId || !it->hasPin)
            continue;
        quint64 id = 0;
        const QString pin = QString::fromUtf8(textValue(it->pin));
        if (!plainNumber(textValue(it->id), 255, &id) || id == 0 || !isValidPin(pin)
            || seenSlates.contains(quint32(id)))
            continue;
        seenSlates.insert(quint32(id));
        out.slates.append(Slate{quint32(id), pin});
    }
    return out;
}

QByteArray LegacySettingsFile::updateGroup(const QByteArray &text, const QString &group,
                                           const QList<quint32> *votes,
                                           const QList<Slate> *slates)
{
    const QByteArray groupName = group.toUtf8();
    const QByteArray prefix = groupName + '/';
    const QByteArray votesKey = prefix + VotesKey;
    const QByteArray slatesKey = prefix + SlatesKey;

    // The group's block: the handset list, then the slate array. A list not
    // being replaced keeps the values it has in the file.
    QByteArray votesBlock;
    QByteArray slatesBlock;
    if (votes) {
        QByteArrayList ids;
        for (quint32 id : *votes)
            ids.append(QByteArray::number(id));
        votesBlock = QByteArray(VotesKey) + '=' + (ids.isEmpty() ? QByteArray("@Invalid()")
                                                                 : ids.join(", ")) + '\n';
    }
    if (slates) {
        int index = 0;
        for (const Slate &slate : *slates) {
            if (slate.id == 0 || !isValidPin(slate.pin))
                continue;
            ++index;
            const QByteArray entry = QByteArray(SlatesKey) + '\\' + QByteArray::number(index);
            slatesBlock += entry + "\\ID=" + QByteArray::number(slate.id) + '\n';
            slatesBlock += entry + "\\PIN=" + slate.pin.toLatin1() + '\n';
        }
        slatesBlock += QByteArray(SlatesKey) + "\\size=" + QByteArray::number(index) + '\n';
    }

    // A last line left open (in quotes, or after a backslash) would take in
    // whatever is written after it; it is closed first, which leaves what it
    // says unchanged.
    QByteArray source = text;
    QList<IniLine> lines = splitLines(source);
    while (!lines.isEmpty() && lines.last().danglingEscape > 0) {
        source.chop(lines.last().danglingEscape);
        lines = splitLines(source);
    }
    if (!lines.isEmpty() && lines.last().openAtEnd) {
        source += '"';
        lines = splitLines(source);
    }
    QByteArray rest; // the file without the group's lists
    int headerEnd = -1;
    bool headerEndsLine = true;
    for (const IniLine &line : lines) {
        const QByteArray raw = source.mid(line.begin, line.end - line.begin);
        if (line.kind == IniLine::KeyValue) {
            const bool isVotes = line.key == votesKey;
            const bool isSlates = line.key == slatesKey || line.key.startsWith(slatesKey + '/');
            if (isVotes || isSlates) {
                // Kept with the line break it had: the value may end in an
                // escape that another break would turn into a continuation.
                const QByteArray relativeKey = line.key.mid(prefix.size());
                const QByteArray kept = keyText(relativeKey) + '=' + line.rawValue
                                        + (line.terminator.isEmpty() ? QByteArray("\n")
                                                                     : line.terminator);
                if (isListKey(relativeKey)) {
                    if (isVotes && !votes)
                        votesBlock += kept;
                    else if (isSlates && !slates)
                        slatesBlock += kept;
                }
                continue;
            }
        }
        rest += raw;
        if (line.kind == IniLine::Section && headerEnd < 0 && line.name == groupName) {
            headerEnd = int(rest.size());
            headerEndsLine = raw.endsWith('\n') || raw.endsWith('\r');
        }
    }

    const QByteArray block = votesBlock + slatesBlock;
    if (headerEnd >= 0) {
        rest.insert(headerEnd, headerEndsLine ? block : '\n' + block);
        return rest;
    }
    if (block.isEmpty())
        return rest;
    if (!rest.isEmpty() && !rest.endsWith('\n'))
        rest += '\n';
    if (!rest.isEmpty())
        rest += '\n';
    return rest + '[' + groupName + "]\n" + block;
}

bool LegacySettingsFile::read(const QString &group, Registrations *out)
{
    *out = Registrations();
    const QString path = Platform::machineDataFileForReading(relativePath());
    if (path.isEmpty())
        return true;
    QByteArray text;
    if (!readWhole(path, &text))
        return false;
    *out = parseGroup(text, group);
    return true;
}

bool LegacySettingsFile::write(const QString &group, const QList<quint32> *votes,
                               const QList<Slate> *slates)
{
    const QString path = Platform::machineDataFileForWriting(relativePath());
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;

    std::lock_guard<std::mutex> threads(writerMutex());
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(LockWaitMs))
        return false;
    QByteArray text;
    if (!readWhole(path, &text))
        return false;
    const QByteArray updated = updateGroup(text, group, votes, slates);
    // What could not be read back is not written.
    if (updated.size() > MaximumFileSize)
        return false;
    if (updated == text && QFileInfo::exists(path))
        return true;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(updated) != updated.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace Orvexsystem
