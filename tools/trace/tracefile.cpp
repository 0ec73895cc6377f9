#include "tracefile.h"

#include <QtCore/QFile>
#include <QtCore/QHash>
#include <QtCore/QIODevice>

#include <algorithm>
#include <limits>
#include <optional>

namespace OrvexTrace {

namespace {

const char HexDigits[] = "0123456789abcdef";

QByteArray quoted(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out("\"");
    for (char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            out += "\\x";
            out += HexDigits[u >> 4];
            out += HexDigits[u & 15];
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

QByteArray hexNumber(quint64 value, int digits)
{
    return "0x" + QByteArray::number(value, 16).rightJustified(digits, '0');
}

// One line being read: a cursor over its bytes.
class LineReader
{
public:
    explicit LineReader(const QByteArray &line) : m_line(line) {}

    bool atEnd()
    {
        skipSpace();
        return m_pos >= m_line.size();
    }

    // The next run of non-blank bytes (stops at '=' when asked).
    QByteArray word(bool stopAtEquals = false)
    {
        skipSpace();
        const int start = m_pos;
        while (m_pos < m_line.size() && !isSpace(m_line.at(m_pos))
               && !(stopAtEquals && m_line.at(m_pos) == '='))
            ++m_pos;
        return m_line.mid(start, m_pos - start);
    }

    bool take(char c)
    {
        if (m_pos < m_line.size() && m_line.at(m_pos) == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    // A double-quoted text with \\, \" and \xHH escapes, as UTF-8.
    std::optional<QString> quotedText()
    {
        if (!take('"'))
            return std::nullopt;
        QByteArray bytes;
        while (m_pos < m_line.size()) {
            const char c = m_line.at(m_pos++);
            if (c == '"')
                return QString::fromUtf8(bytes);
            if (c != '\\') {
                bytes += c;
                continue;
            }
            if (m_pos >= m_line.size())
                return std::nullopt;
            const char e = m_line.at(m_pos++);
            if (e == '"' || e == '\\') {
                bytes += e;
            } else if (e == 'x' && m_pos + 2 <= m_line.size()) {
                bool ok = false;
                const int v = m_line.mid(m_pos, 2).toInt(&ok, 16);
                if (!ok || !isHexDigit(m_line.at(m_pos)) || !isHexDigit(m_line.at(m_pos + 1)))
                    return std::nullopt;
                bytes += char(v);
                m_pos += 2;
            } else {
                return std::nullopt;
            }
        }
        return std::nullopt; // no closing quote
    }

    static bool isHexDigit(char c)
    {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }

private:
    static bool isSpace(char c) { return c == ' ' || c == '\t'; }
    void skipSpace()
    {
        while (m_pos < m_line.size() && isSpace(m_line.at(m_pos)))
            ++m_pos;
    }

    const QByteArray &m_line;
    int m_pos = 0;
};

// A number in decimal, or in hexadecimal after 0x, within [low, high].
template <class T>
std::optional<T> number(const QByteArray &word, T low, T high)
{
    if (word.isEmpty() || word.size() > 20)
        return std::nullopt;
    bool ok = false;
    if (word.startsWith("0x") || word.startsWith("0X")) {
        const QByteArray digits = word.mid(2);
        if (digits.isEmpty()
            || !std::all_of(digits.begin(), digits.end(), LineReader::isHexDigit))
            return std::nullopt;
        const quint64 v = digits.toULongLong(&ok, 16);
        if (!ok)
            return std::nullopt;
        if (std::is_signed<T>::value) {
            if (v > quint64(std::numeric_limits<qint64>::max()) || qint64(v) < qint64(low)
                || qint64(v) > qint64(high))
                return std::nullopt;
        } else if (v < quint64(low) || v > quint64(high)) {
            return std::nullopt;
        }
        return T(v);
    }
    const bool negative = word.startsWith('-');
    const QByteArray digits = negative ? word.mid(1) : word;
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), [](char c) {
            return c >= '0' && c <= '9';
        }))
        return std::nullopt;
    if (std::is_signed<T>::value) {
        const qint64 v = word.toLongLong(&ok, 10);
        if (!ok || v < qint64(low) || v > qint64(high))
            return std::nullopt;
        return T(v);
    }
    if (negative)
        return std::nullopt;
    const quint64 v = word.toULongLong(&ok, 10);
    if (!ok || v < quint64(low) || v > quint64(high))
        return std::nullopt;
    return T(v);
}

std::optional<qint32> handleWord(const QByteArray &word)
{
    const auto handle = number<qint32>(word, std::numeric_limits<qint32>::min(),
                                       std::numeric_limits<qint32>::max());
    if (!handle || *handle == 0)
        return std::nullopt;
    return handle;
}

struct Failure
{
    int line;
    QString what;
};

bool readHub(LineReader &in, HubRecord &hub, QString &what)
{
    const auto handle = handleWord(in.word());
    if (!handle) {
        what = QStringLiteral("a hub line needs a non-zero handle");
        return false;
    }
    hub.handle = *handle;
    bool haveKind = false;
    bool haveUid = false;
    QList<QByteArray> seen;
    while (!in.atEnd()) {
        const QByteArray key = in.word(true);
        if (!in.take('=')) {
            what = QStringLiteral("expected key=value, found \"%1\"").arg(QString::fromUtf8(key));
            return false;
        }
        if (seen.contains(key)) {
            what = QStringLiteral("%1 given twice").arg(QString::fromUtf8(key));
            return false;
        }
        seen << key;
        if (key == "description" || key == "driver") {
            const auto text = in.quotedText();
            if (!text) {
                what = QStringLiteral("%1 needs a quoted text").arg(QString::fromLatin1(key));
                return false;
            }
            (key == "description" ? hub.description : hub.driverVersion) = *text;
            continue;
        }
        const QByteArray value = in.word();
        if (key == "kind") {
            const auto v = number<int>(value, 1, 4);
            if (!v) {
                what = QStringLiteral("kind must be 1 to 4");
                return false;
            }
            hub.kind = *v;
            haveKind = true;
        } else if (key == "uid") {
            const auto v = number<quint64>(value, 0, std::numeric_limits<quint64>::max());
            if (!v) {
                what = QStringLiteral("bad uid");
                return false;
            }
            hub.uid = *v;
            haveUid = true;
        } else if (key == "connection" || key == "version") {
            const auto v = number<int>(value, std::numeric_limits<int>::min(),
                                       std::numeric_limits<int>::max());
            if (!v) {
                what = QStringLiteral("bad %1").arg(QString::fromLatin1(key));
                return false;
            }
            (key == "connection" ? hub.connection : hub.version) = *v;
        } else {
            what = QStringLiteral("unknown key \"%1\"").arg(QString::fromUtf8(key));
            return false;
        }
    }
    if (!haveKind || !haveUid) {
        what = QStringLiteral("a hub line needs kind= and uid=");
        return false;
    }
    return true;
}

bool readBytes(LineReader &in, Event &event, bool freeAllowed, QString &what)
{
    QByteArray mask;
    bool anyFree = false;
    while (!in.atEnd()) {
        QByteArray word = in.word();
        const bool isFree = word.startsWith('~');
        if (isFree) {
            if (!freeAllowed) {
                what = QStringLiteral("only a write's bytes can be marked free");
                return false;
            }
            word = word.mid(1);
        }
        if (word.size() != 2 || !LineReader::isHexDigit(word.at(0))
            || !LineReader::isHexDigit(word.at(1))) {
            what = QStringLiteral("bad byte \"%1\": two hexadecimal digits expected")
                       .arg(QString::fromUtf8(word.left(16)));
            return false;
        }
        if (event.bytes.size() >= MaximumEventBytes) {
            what = QStringLiteral("more than %1 bytes").arg(MaximumEventBytes);
            return false;
        }
        event.bytes += char(word.toInt(nullptr, 16));
        mask += char(isFree ? 1 : 0);
        anyFree = anyFree || isFree;
    }
    if (anyFree)
        event.freeBytes = mask;
    return true;
}

bool readEvent(LineReader &in, const QByteArray &timeWord, Event &event, QString &what)
{
    const auto time = number<qint64>(timeWord, 0, MaximumTimeNs);
    if (!time) {
        what = QStringLiteral("expected a hub line or an event starting with its time in "
                              "nanoseconds, found \"%1\"")
                   .arg(QString::fromUtf8(timeWord.left(32)));
        return false;
    }
    event.timeNs = *time;
    const QByteArray kind = in.word();
    const auto handle = handleWord(in.word());
    if (!handle) {
        what = QStringLiteral("an event needs a non-zero hub handle");
        return false;
    }
    event.handle = *handle;
    if (kind == "packet") {
        event.kind = Event::Packet;
        return readBytes(in, event, false, what);
    }
    if (kind == "write") {
        event.kind = Event::Write;
        const QByteArray result = in.word();
        if (result != "ok" && result != "refused") {
            what = QStringLiteral("a write is \"ok\" or \"refused\"");
            return false;
        }
        event.accepted = result == "ok";
        return readBytes(in, event, true, what);
    }
    if (kind == "plug" || kind == "unplug") {
        event.kind = kind == "plug" ? Event::Plug : Event::Unplug;
        if (!in.atEnd()) {
            what = QStringLiteral("nothing may follow the handle of %1").arg(QString::fromLatin1(kind));
            return false;
        }
        return true;
    }
    what = QStringLiteral("unknown event \"%1\"").arg(QString::fromUtf8(kind.left(32)));
    return false;
}

} // namespace

HubRecord HubRecord::fromDriverRecord(const Orvexsystem::DriverDeviceInfo &record)
{
    HubRecord hub;
    hub.handle = record.handle;
    hub.kind = record.kind;
    hub.connection = record.connectionType;
    hub.version = record.version;
    hub.uid = record.uid();
    hub.description = record.descriptionText();
    hub.driverVersion = record.driverVersionText();
    return hub;
}

bool HubRecord::operator==(const HubRecord &o) const
{
    return handle == o.handle && kind == o.kind && connection == o.connection
        && version == o.version && uid == o.uid && description == o.description
        && driverVersion == o.driverVersion;
}

QByteArray freeBytesOf(const QByteArray &write)
{
    // ":XP005" CR, then the block: length, 01, entity id, ...
    static const QByteArray question(":XP005\r");
    const int entity = question.size() + 2;
    if (write.startsWith(question) && write.size() > entity && write.at(question.size() + 1) == 1) {
        QByteArray mask(write.size(), '\0');
        mask[entity] = 1;
        return mask;
    }
    return QByteArray();
}

QByteArray headerLine()
{
    return QByteArray(FormatName) + ' ' + QByteArray::number(FormatVersion) + '\n';
}

QByteArray hubLine(const HubRecord &hub)
{
    return "hub " + QByteArray::number(hub.handle) + " kind=" + QByteArray::number(hub.kind)
        + " connection=" + QByteArray::number(hub.connection)
        + " version=" + QByteArray::number(hub.version) + " uid=" + hexNumber(hub.uid, 16)
        + " description=" + quoted(hub.description) + " driver=" + quoted(hub.driverVersion)
        + '\n';
}

QByteArray eventLine(const Event &event)
{
    QByteArray line = QByteArray::number(event.timeNs) + ' ';
    switch (event.kind) {
    case Event::Packet:
        line += "packet " + QByteArray::number(event.handle);
        break;
    case Event::Write:
        line += "write " + QByteArray::number(event.handle)
            + (event.accepted ? " ok" : " refused");
        break;
    case Event::Plug:
        return line + "plug " + QByteArray::number(event.handle) + '\n';
    case Event::Unplug:
        return line + "unplug " + QByteArray::number(event.handle) + '\n';
    }
    line.reserve(line.size() + 4 * event.bytes.size() + 1);
    for (int i = 0; i < event.bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(event.bytes.at(i));
        line += ' ';
        if (event.kind == Event::Write && event.isFree(i))
            line += '~';
        line += HexDigits[b >> 4];
        line += HexDigits[b & 15];
    }
    return line + '\n';
}

bool writeTrace(QIODevice &device, const Trace &trace)
{
    bool ok = device.write(headerLine()) >= 0;
    for (const HubRecord &hub : trace.hubs)
        ok = ok && device.write(hubLine(hub)) >= 0;
    for (const Event &event : trace.events)
        ok = ok && device.write(eventLine(event)) >= 0;
    return ok;
}

bool readTrace(const QByteArray &text, Trace &trace, QString *error)
{
    trace = Trace();
    auto fail = [&](int line, const QString &what) {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(line).arg(what);
        trace = Trace();
        return false;
    };

    QHash<qint32, int> firstUse; // handle -> first line that used it
    QHash<qint32, bool> defined;
    int lineNumber = 0;
    int start = 0;
    while (start < text.size()) {
        int end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        ++lineNumber;
        if (end - start > MaximumLineLength)
            return fail(lineNumber, QStringLiteral("line longer than %1 bytes").arg(MaximumLineLength));
        QByteArray line = text.mid(start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);

        if (lineNumber == 1) {
            LineReader in(line);
            const QByteArray name = in.word();
            const QByteArray version = in.word();
            const auto v = number<int>(version, 0, std::numeric_limits<int>::max());
            if (name != FormatName || !v || !in.atEnd())
                return fail(1, QStringLiteral("not a trace: the first line must be \"%1 %2\"")
                                   .arg(QLatin1String(FormatName))
                                   .arg(FormatVersion));
            if (*v != FormatVersion)
                return fail(1, QStringLiteral("trace format version %1 is not supported "
                                              "(this reader knows version %2)")
                                   .arg(*v)
                                   .arg(FormatVersion));
            continue;
        }

        LineReader in(line);
        if (in.atEnd())
            continue;
        const QByteArray first = in.word();
        if (first.startsWith('#'))
            continue;
        QString what;
        if (first == "hub") {
            HubRecord hub;
            if (!readHub(in, hub, what))
                return fail(lineNumber, what);
            if (defined.contains(hub.handle))
                return fail(lineNumber, QStringLiteral("hub %1 is described twice").arg(hub.handle));
            if (trace.hubs.size() >= MaximumHubs)
                return fail(lineNumber, QStringLiteral("more than %1 hubs").arg(MaximumHubs));
            defined.insert(hub.handle, true);
            trace.hubs << hub;
            continue;
        }
        Event event;
        if (!readEvent(in, first, event, what))
            return fail(lineNumber, what);
        if (!firstUse.contains(event.handle))
            firstUse.insert(event.handle, lineNumber);
        trace.events << event;
    }
    if (lineNumber == 0)
        return fail(1, QStringLiteral("empty file: not a trace"));

    int missingLine = 0;
    qint32 missing = 0;
    for (auto it = firstUse.cbegin(); it != firstUse.cend(); ++it)
        if (!defined.contains(it.key()) && (missingLine == 0 || it.value() < missingLine)) {
            missingLine = it.value();
            missing = it.key();
        }
    if (missingLine)
        return fail(missingLine, QStringLiteral("no hub line describes hub %1").arg(missing));

    std::stable_sort(trace.events.begin(), trace.events.end(),
                     [](const Event &a, const Event &b) { return a.timeNs < b.timeNs; });
    return true;
}

bool readTraceFile(const QString &path, Trace &trace, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        trace = Trace();
        if (error)
            *error = QStringLiteral("line 0: cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    return readTrace(file.readAll(), trace, error);
}

} // namespace OrvexTrace
