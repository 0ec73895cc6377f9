#ifndef ORVEX_TESTS_SESSIONS_TRANSPORTFIXTURE_H
#define ORVEX_TESTS_SESSIONS_TRANSPORTFIXTURE_H

// The simulated default classroom with fast handsets, the library
// initialised on it, and a record of reports from whichever thread made
// them.

#include "support/wait.h"

#include <orvexsim.h>
#include <orvexsystem/system.h>
#include <orvexsystem/twopointfourghzhub.h>

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace OrvexTest {

const quint32 Amelie = 0x09B20001; // expression handset, address 0x0201
const quint32 Ben = 0x09B20002;    // expression handset, address 0x0202

// Reports as (uid, bytes), each noting whether it came on another thread.
struct Reports
{
    std::mutex mutex;
    QList<QPair<quint32, QByteArray>> entries;
    bool allElsewhere = true;
    const std::thread::id test = std::this_thread::get_id();

    void add(quint32 uid, const QByteArray &data)
    {
        std::lock_guard<std::mutex> lock(mutex);
        entries.append({uid, QByteArray(data.constData(), data.size())});
        allElsewhere = allElsewhere && std::this_thread::get_id() != test;
    }
    int size()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return int(entries.size());
    }
    QList<QByteArray> of(quint32 uid)
    {
        std::lock_guard<std::mutex> lock(mutex);
        QList<QByteArray> out;
        for (const auto &e : std::as_const(entries))
            if (e.first == uid)
                out << e.second;
        return out;
    }
};

inline void recordReport(Orvexsystem::Hub *, quint32 uid, const QByteArray &data, void *context)
{
    static_cast<Reports *>(context)->add(uid, data);
}

class SimTransport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(orvexsim_reset(), 0);
        ASSERT_EQ(orvexsim_set_handset_delay_ms(ORVEXSIM_ALL_HUBS, ORVEXSIM_ALL_HANDSETS, 0, 0), 0);
        ASSERT_EQ(orvexsim_use_default_classroom(), 0);
        // Handsets run question sets by themselves only where a test says so.
        ASSERT_EQ(orvexsim_set_handset_enhanced(1, ORVEXSIM_ALL_HANDSETS, 0), 0);
        ASSERT_TRUE(Orvexsystem::OrvexSystem::instance().initialise());
        QList<Orvexsystem::Hub *> hubs;
        Orvexsystem::OrvexSystem::instance().getHubList(&hubs);
        for (Orvexsystem::Hub *h : hubs)
            if (h->handle() == 1)
                hub = qobject_cast<Orvexsystem::TwoPointFourGHzHub *>(h);
        ASSERT_NE(hub, nullptr);
    }
    void TearDown() override { Orvexsystem::OrvexSystem::instance().shutdown(); }

    // What the handset received whole, oldest first.
    static QList<QByteArray> received(quint32 uid)
    {
        QList<QByteArray> messages;
        for (int i = 0; i < orvexsim_device_message_count(1, uid); ++i) {
            QByteArray m(16384, '\0');
            m.resize(orvexsim_get_device_message(1, uid, i, reinterpret_cast<uint8_t *>(m.data()),
                                                 int(m.size())));
            messages << m;
        }
        return messages;
    }
    // Every write to the hub that starts with prefix.
    static QList<QByteArray> writesStartingWith(const QByteArray &prefix)
    {
        QList<QByteArray> out;
        for (int i = 0; i < orvexsim_write_count(1); ++i) {
            QByteArray w(16384, '\0');
            w.resize(orvexsim_get_write(1, i, reinterpret_cast<uint8_t *>(w.data()), int(w.size())));
            if (w.startsWith(prefix))
                out << w;
        }
        return out;
    }

    Orvexsystem::TwoPointFourGHzHub *hub = nullptr;
    Reports reports;
};

} // namespace OrvexTest

#endif
