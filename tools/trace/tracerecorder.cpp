#include "tracerecorder.h"

#include <QtCore/QFile>

#include <algorithm>
#include <chrono>

using Orvexsystem::OrvexSystem;

namespace OrvexTrace {

namespace {
// How often the writer thread empties the queue into the file.
constexpr std::chrono::milliseconds WriteInterval{20};
} // namespace

TraceRecorder::TraceRecorder(OrvexSystem &system) : m_system(system) {}

TraceRecorder::~TraceRecorder() { stop(); }

bool TraceRecorder::start(const QString &path, QString *error)
{
    if (m_file) {
        if (error)
            *error = QStringLiteral("already recording");
        return false;
    }
    m_file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!m_file) {
        if (error)
            *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    m_writeFailed = false;
    m_described.clear();
    m_count.store(0);
    m_stopWriter = false;
    m_queue.clear();
    m_startNs = OrvexSystem::tapClockNs();
    put(headerLine());
    put("# recorded by orvexsystem1 " + QByteArray::number(OrvexSystem::getLibraryVersion() >> 16)
        + '.' + QByteArray::number((OrvexSystem::getLibraryVersion() >> 8) & 0xFF) + '.'
        + QByteArray::number(OrvexSystem::getLibraryVersion() & 0xFF) + '\n');
    std::fflush(m_file);
    m_writer = std::thread([this] { writerLoop(); });
    // The tap first, then the hubs already there: a hub arriving meanwhile
    // is then described twice at worst, and the second description dropped.
    m_system.setTapCallback(&TraceRecorder::onTap, this);
    QList<Orvexsystem::DriverDeviceInfo> records;
    if (m_system.getDriverRecords(records)) {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto &record : records) {
            Item item;
            item.isHub = true;
            item.hub = HubRecord::fromDriverRecord(record);
            m_queue.push_back(std::move(item));
        }
    }
    return true;
}

bool TraceRecorder::stop()
{
    if (!m_file)
        return true;
    m_system.setTapCallback(nullptr, nullptr);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopWriter = true;
    }
    m_wake.notify_all();
    m_writer.join();
    std::vector<Item> rest;
    rest.swap(m_queue);
    writeItems(rest);
    const bool ok = std::fclose(m_file) == 0 && !m_writeFailed;
    m_file = nullptr;
    return ok;
}

void TraceRecorder::onTap(const OrvexSystem::TapEvent &event, void *context)
{
    static_cast<TraceRecorder *>(context)->tap(event);
}

void TraceRecorder::tap(const OrvexSystem::TapEvent &event)
{
    Item item;
    item.event.handle = event.handle;
    item.event.timeNs = std::max<qint64>(0, event.timeNs - m_startNs);
    switch (event.kind) {
    case OrvexSystem::Tap_Packet:
    case OrvexSystem::Tap_Write:
        item.event.kind = event.kind == OrvexSystem::Tap_Packet ? Event::Packet : Event::Write;
        item.event.bytes = QByteArray(reinterpret_cast<const char *>(event.data), int(event.length));
        item.event.accepted = event.accepted;
        if (item.event.kind == Event::Write)
            item.event.freeBytes = freeBytesOf(item.event.bytes);
        break;
    case OrvexSystem::Tap_HubReported:
        if (!event.record)
            return;
        item.isHub = true;
        item.plug = !event.atStart;
        item.hub = HubRecord::fromDriverRecord(*event.record);
        break;
    case OrvexSystem::Tap_HubGone:
        item.event.kind = Event::Unplug;
        break;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.push_back(std::move(item));
}

void TraceRecorder::writerLoop()
{
    std::vector<Item> batch;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopWriter) {
        m_wake.wait_for(lock, WriteInterval, [this] { return m_stopWriter; });
        batch.swap(m_queue);
        lock.unlock();
        writeItems(batch);
        batch.clear();
        lock.lock();
    }
}

void TraceRecorder::writeItems(std::vector<Item> &items)
{
    if (items.empty())
        return;
    // Events of one batch in time order (a write is reported after the
    // driver call, so its reply can come first); across batches the
    // reader orders them.
    std::stable_sort(items.begin(), items.end(), [](const Item &a, const Item &b) {
        return a.event.timeNs < b.event.timeNs;
    });
    for (Item &item : items) {
        if (item.isHub) {
            if (!m_described.contains(item.hub.handle)) {
                m_described << item.hub.handle;
                put(hubLine(item.hub));
            }
            if (!item.plug)
                continue;
            item.event.kind = Event::Plug;
            item.event.handle = item.hub.handle;
        }
        put(eventLine(item.event));
        m_count.fetch_add(1);
    }
    if (std::fflush(m_file) != 0)
        m_writeFailed = true;
}

void TraceRecorder::put(const QByteArray &line)
{
    if (std::fwrite(line.constData(), 1, size_t(line.size()), m_file) != size_t(line.size()))
        m_writeFailed = true;
}

} // namespace OrvexTrace
