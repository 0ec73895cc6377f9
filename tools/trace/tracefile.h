// The trace file of a recorded session: its data, and the text form that
// docs/trace-format.md describes. Used by tools that record (TraceRecorder)
// or show traces; the simulated driver reads the same form with a reader of
// its own.
#ifndef ORVEXTRACE_TRACEFILE_H
#define ORVEXTRACE_TRACEFILE_H

#include <orvexsystem/driverdeviceinfo.h>

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>

class QIODevice;

namespace OrvexTrace {

// The first line of every trace: the format's name and version.
constexpr const char *FormatName = "orvextrace";
constexpr int FormatVersion = 1;

// Reader limits.
constexpr int MaximumEventBytes = 65536; // a packet's or a write's bytes
constexpr int MaximumHubs = 64;
constexpr int MaximumLineLength = 4 * MaximumEventBytes + 256;
constexpr qint64 MaximumTimeNs = qint64(1) << 62;

// A hub as the driver's device record describes it.
struct HubRecord
{
    qint32 handle = 0;
    int kind = 0;       // 1, 2 legacy hubs; 3 2.4 GHz hub; 4 virtual 2.4 GHz hub
    int connection = 2; // 1 serial, 2 USB
    int version = 0;
    quint64 uid = 0;
    QString description;
    QString driverVersion;

    static HubRecord fromDriverRecord(const Orvexsystem::DriverDeviceInfo &record);
    bool operator==(const HubRecord &o) const;
};

struct Event
{
    enum Kind {
        Packet, // a packet from the hub
        Write,  // a write to the hub
        Plug,   // the driver reports the hub from now on
        Unplug  // the driver no longer reports the hub
    };
    Kind kind = Packet;
    qint64 timeNs = 0; // since the recording began
    qint32 handle = 0;
    QByteArray bytes;      // Packet, Write
    QByteArray freeBytes;  // Write: 1 where a byte is free (ignored in comparison), else empty
    bool accepted = true;  // Write: the driver accepted it

    bool isFree(int index) const { return index < freeBytes.size() && freeBytes.at(index) != 0; }
};

struct Trace
{
    QList<HubRecord> hubs; // in the order of their lines
    QList<Event> events;   // ordered by time; equal times in file order
};

// The bytes of a write that are random by design and so free in the
// trace: the entity id of a 2.4 GHz question (":XP005" CR 01 ...). Returns
// a mask as Event::freeBytes, empty when no byte is free.
QByteArray freeBytesOf(const QByteArray &write);

// The text lines (each with its newline).
QByteArray headerLine();
QByteArray hubLine(const HubRecord &hub);
QByteArray eventLine(const Event &event);

// Writes a whole trace.
bool writeTrace(QIODevice &device, const Trace &trace);

// Reads a trace; on failure false, with "line N: what" in *error (N
// counted from 1; 0 for the file as a whole).
bool readTrace(const QByteArray &text, Trace &trace, QString *error);
bool readTraceFile(const QString &path, Trace &trace, QString *error);

} // namespace OrvexTrace

#endif
