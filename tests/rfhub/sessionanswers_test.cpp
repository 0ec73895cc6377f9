// Reports of the 2.4 GHz hub's sessions as they arrive on the driver's
// thread: answers of every kind, registration and naming reports, end-user
// naming, PIN naming, and the packets handed to the event thread.

#include "rfsessionfixture.h"

#include "rfhub/answerdecoders.h"
#include "system/orvexsystem_p.h"

#include <QtCore/QScopeGuard>

#include <mutex>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

// What the host was told, in order, as text.
struct Reports
{
    std::mutex mutex;
    QStringList entries;
    void add(const QString &entry)
    {
        std::lock_guard<std::mutex> lock(mutex);
        entries << entry;
    }
    QStringList take()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(entries, QStringList());
    }
};

QString hex(quint32 uid)
{
    return QString::number(uid, 16);
}

void onYesNo(Hub *, quint32 uid, int id, Hub::YesNoResponse r, void *c)
{
    static_cast<Reports *>(c)->add(QStringLiteral("yesno %1 %2 %3").arg(hex(uid)).arg(id).arg(int(r)));
}
void onLikert(Hub *, quint32 uid, int id, int value, void *c)
{
    static_cast<Reports *>(c)->add(QStringLiteral("likert %1 %2 %3").arg(hex(uid)).arg(id).arg(value));
}
void onText(Hub *, quint32 uid, int id, const QString &text, void *c)
{
    static_cast<Reports *>(c)->add(QStringLiteral("text %1 %2 %3").arg(hex(uid)).arg(id).arg(text));
}
void onNamed(TwoPointFourGHzHub *, unsigned int uid, const QString &name, void *c)
{
    static_cast<Reports *>(c)->add(QStringLiteral("named %1 %2").arg(hex(uid), name));
}

class RfSessionAnswers : public RfSessionFixture
{
protected:
    // Signals reach the reports from the driver's thread.
    template <class Signal, class Slot>
    void listen(Signal signal, Slot slot)
    {
        QObject::connect(hub.get(), signal, hub.get(), slot, Qt::DirectConnection);
    }
    Reports reports;
};

} // namespace

TEST(AnswerDecoders, ChoicesAndYesNoReadAsTheHostSeesThem)
{
    const QByteArray choices = bytes({0x41, 0x43, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(AnswerDecoder::multichoice(choices, DisplayOption_Numeric), QStringLiteral("13"));
    EXPECT_EQ(AnswerDecoder::multichoice(choices, DisplayOption_LowerCase), QStringLiteral("ac"));
    EXPECT_EQ(AnswerDecoder::multichoice(choices, DisplayOption_UpperCase), QStringLiteral("AC"));
    EXPECT_EQ(AnswerDecoder::numericChoices(QStringLiteral("FAGz")), QStringLiteral("61Gz"));
    EXPECT_EQ(AnswerDecoder::sortInOrder(QByteArray("CAB\0DE", 6)), QStringLiteral("CAB"));
    EXPECT_EQ(AnswerDecoder::sortInOrder(QByteArray("FEDCBA")), QStringLiteral("FEDCBA"));
    EXPECT_EQ(AnswerDecoder::yesNo(0x41), Hub::YesNoResponse_Yes);
    EXPECT_EQ(AnswerDecoder::yesNo(0x42), Hub::YesNoResponse_No);
    EXPECT_EQ(AnswerDecoder::yesNo(0x43), Hub::YesNoResponse_Other);
    EXPECT_EQ(AnswerDecoder::trueFalse(0x41), Hub::TrueFalseResponse_True);
    EXPECT_EQ(AnswerDecoder::trueFalse(0x42), Hub::TrueFalseResponse_False);
    EXPECT_EQ(AnswerDecoder::trueFalse(0), Hub::TrueFalseResponse_Other);
}

TEST(PinNamingReply, FourCodesMakeTheText)
{
    auto report = [](int high, int low, int length = 11) {
        return TwoPointFourGHzPinNamingResponse(
            bytes({length, 0x67}) + be32(0x06A10001) + be16(0x0101) + bytes({high, low, 0}));
    };
    EXPECT_EQ(report(0x03, 0x1A).text(), QStringLiteral("ADCB"));
    EXPECT_EQ(report(0x00, 0x00).text(), QString());
    EXPECT_EQ(report(0x0F, 0xFF).text(), QStringLiteral("    ")); // all 7
    EXPECT_EQ(report(0x00, 0x0F).text(), QStringLiteral("A ")); // 0, 0, 1, 7
    EXPECT_EQ(report(0x03, 0x1A).uid(), 0x06A10001u);
    EXPECT_EQ(report(0x03, 0x1A).address(), 0x0101);
    EXPECT_FALSE(report(0x03, 0x1A, 12).isValidResponse());
    EXPECT_FALSE(TwoPointFourGHzPinNamingResponse::isValid(voteRecord(1, 2, "x")));
}

TEST_F(RfSessionAnswers, ByteAnswersGoToTheCallbackOrElseTheSignal)
{
    fromHub({answerPacket(Vote1Address, bytes({0, 0, 0x41}))}); // no session: ignored
    ASSERT_TRUE(hub->startYesNoSession(3, true, TimeUnit_Seconds, 10, onYesNo, &reports));
    fromHub({answerPacket(Vote1Address, bytes({0, 0, 0x41})), answerPacket(Vote2Address, bytes({0, 0, 0x42})),
             answerPacket(Vote1Address, bytes({0, 0, 0x43})),
             answerPacket(0x0999, bytes({0, 0, 0x41})), // unknown handset
             answerPacket(Vote1Address, bytes({0, 0, 0x41})).left(11)});
    EXPECT_EQ(reports.take(), QStringList({"yesno 6a10001 3 1", "yesno 6a10002 3 0", "yesno 6a10001 3 2"}));
    ASSERT_TRUE(hub->stopSession());

    listen(&Hub::trueFalseSessionResponse, [&](Hub *, quint32 uid, int id, Hub::TrueFalseResponse r) {
        reports.add(QStringLiteral("truefalse %1 %2 %3").arg(hex(uid)).arg(id).arg(int(r)));
    });
    listen(&Hub::likertSessionResponse, [&](Hub *, quint32 uid, int id, int v) {
        reports.add(QStringLiteral("likert-signal %1 %2 %3").arg(hex(uid)).arg(id).arg(v));
    });
    listen(&Hub::messageSessionResponse, [&](Hub *, quint32 uid, int id) {
        reports.add(QStringLiteral("message %1 %2").arg(hex(uid)).arg(id));
    });
    ASSERT_TRUE(hub->startTrueFalseSession(4, false, TimeUnit_Seconds, 10, nullptr, nullptr));
    fromHub({answerPacket(Vote2Address, bytes({0, 0, 0x41}))});
    ASSERT_TRUE(hub->stopSession());
    ASSERT_TRUE(hub->startLikertSession(5, 9, TimeUnit_Seconds, 10, onLikert, &reports));
    fromHub({answerPacket(Vote1Address, bytes({1, 2, 7}))});
    ASSERT_TRUE(hub->stopSession());
    ASSERT_TRUE(hub->startMessageSession(6, QStringLiteral("Read"), TimeUnit_Seconds, 10, nullptr, nullptr));
    fromHub({answerPacket(Expression1Address, bytes({0, 0, 0}))});
    ASSERT_TRUE(hub->stopSession());
    fromHub({answerPacket(Vote1Address, bytes({0, 0, 5}))}); // after the end
    EXPECT_EQ(reports.take(), QStringList({"truefalse 6a10002 4 1", "likert 6a10001 5 7",
                                           "message 9b20001 6"}));
}

TEST_F(RfSessionAnswers, EndingExpressionNamingClearsItsCallbackAndSlateNamesGoToTheSignal)
{
    listen(&TwoPointFourGHzHub::expressionDeviceNamed, [&](QString name, quint32 uid) {
        reports.add(QStringLiteral("expression-signal %1 %2").arg(hex(uid), name));
    });
    listen(&TwoPointFourGHzHub::slateDeviceNamed, [&](QString name, quint32 uid) {
        reports.add(QStringLiteral("slate-signal %1 %2").arg(hex(uid), name));
    });
    hub->setExpressionDeviceNamedCallback(onNamed, &reports);
    ASSERT_TRUE(hub->startExpressionNamingSession());
    fromHub({expressionRecord(Expression1, Expression1Address, "Eve"), voteRecord(Vote1, Vote1Address, "No")});
    ASSERT_TRUE(hub->stopExpressionNamingSession());
    ASSERT_TRUE(hub->startExpressionNamingSession());
    fromHub({expressionRecord(Expression1, Expression1Address, "Eva")}); // callback cleared: signal
    ASSERT_TRUE(hub->stopExpressionNamingSession());
    ASSERT_TRUE(hub->nameSlate(Slate1, QStringLiteral("Desk")));
    fromHub({slateRecord(Slate1, Slate1Address, "Desk")});
    EXPECT_EQ(reports.take(), QStringList({"named 9b20001 Eve", "expression-signal 9b20001 Eva",
                                           "slate-signal 7c30001 Desk"}));
}

TEST_F(RfSessionAnswers, EndUserNamesArriveWithTheUidOfTheirAddress)
{
    listen(&Hub::endUserNamingSessionResponse, [&](Hub *, quint32 uid, int id, QString name) {
        reports.add(QStringLiteral("enduser %1 %2 %3").arg(hex(uid)).arg(id).arg(name));
    });
    ASSERT_TRUE(hub->startExpressionEnduserNamingSession(11, CharacterType_Type1, 8, false, nullptr, nullptr));
    fromHub({expressionRecord(0x09FFFFFF, Expression1Address, "Max"),
             expressionRecord(0x09000077, 0x0777, "New"), voteRecord(Vote1, Vote1Address, "X")});
    EXPECT_EQ(reports.take(), QStringList({"enduser 9b20001 11 Max", "enduser 0 11 New"}));
    driver.clearLog();
    ASSERT_TRUE(hub->stopExpressionEndUserNamingSession());
    EXPECT_EQ(writes(), QList<QByteArray>({":XP004\r", ":GR09\r"})); // out of date: read again
    ASSERT_TRUE(hub->startExpressionEnduserNamingSession(12, CharacterType_Type1, 8, false, onText, &reports));
    fromHub({expressionRecord(0x09FFFFFF, Expression1Address, "Maxi")});
    EXPECT_EQ(reports.take(), QStringList({"text 9b20001 12 Maxi"}));
}

TEST_F(RfSessionAnswers, TransportAndGenericPacketsArePostedToTheEventThread)
{
    // The event thread is held busy, so that the posted events stay queued.
    OrvexSystemPrivate *events = OrvexSystemPrivate::get(&system);
    Gate gate;
    std::atomic<bool> released{false};
    events->startEventTimer(0, [&] {
        gate.block();
        released = true;
    });
    // Let go on every way out, and only once the gate is no longer in use.
    const auto letGo = qScopeGuard([&] {
        gate.open();
        waitFor([&] { return released.load(); });
    });
    ASSERT_TRUE(gate.waitEntered());
    const QByteArray request = bytes({0x03, 0x85, 0x07});
    const QByteArray generic = bytes({0x00, 1, 2, 3, 0xE1, 0x01, 0x01, 'h', 'i'});
    hub->setSessionState(SessionHub::Session_Async);
    fromHub({request, bytes({0x04, 0x85, 0x07}), generic});
    hub->setSessionState(SessionHub::Session_EnhancedGeneric);
    fromHub({request, generic});
    hub->setSessionState(SessionHub::Session_None);
    QList<QPair<int, QByteArray>> posted;
    {
        std::lock_guard<std::mutex> lock(events->eventMutex);
        for (const OrvexSystem::AsEvent &e : events->eventQueue) {
            EXPECT_EQ(e.hub, hub.get());
            posted.append({e.type, e.data});
        }
    }
    EXPECT_EQ(posted, (QList<QPair<int, QByteArray>>{{OrvexSystem::Event_AsyncPacket, request},
                                                     {OrvexSystem::Event_GenericAsyncPacket, generic}}));
}
