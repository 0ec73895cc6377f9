// A quiz at each learner's own pace: three questions that every expression
// handset of a 2.4 GHz hub fetches one after the other through the enhanced
// question session. Each answer is printed as it arrives; the quiz ends
// when every handset has had all three (exit code 0), or after some seconds
// (exit code 2).
//
//   orvexquiz [seconds]
#include <orvexsystem/orvexsystem.h>

#include <QtCore/QBitArray>
#include <QtCore/QCoreApplication>
#include <QtCore/QMap>
#include <QtCore/QSet>
#include <QtCore/QTimer>

#include <cstdio>
#include <cstdlib>

using namespace Orvexsystem;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;

    OrvexSystem &system = OrvexSystem::instance();
    if (!system.initialise()) {
        std::fprintf(stderr, "the library did not start: %s\n",
                     qPrintable(OrvexSystem::errorAsString(system.getLastError())));
        return 1;
    }
    TwoPointFourGHzHub *hub = nullptr;
    QList<Hub *> hubs;
    system.getHubList(&hubs);
    for (Hub *candidate : std::as_const(hubs))
        if (!hub)
            hub = qobject_cast<TwoPointFourGHzHub *>(candidate);
    if (!hub) {
        std::fprintf(stderr, "no 2.4 GHz hub is connected\n");
        system.shutdown();
        return 1;
    }
    QMap<quint32, QString> names;
    QList<DeviceDisplayInfo> handsets;
    hub->readDeviceDisplayInfoList(Device::Type_TwoPointFourGHzOrvexexpression, &handsets);
    for (const DeviceDisplayInfo &handset : std::as_const(handsets))
        names.insert(handset.uid, handset.name);
    if (names.isEmpty()) {
        std::fprintf(stderr, "the hub has no expression handsets\n");
        system.shutdown();
        return 1;
    }

    MultichoiceQuestion planet;
    planet.questionNumber = 1;
    planet.text = QStringLiteral("Largest planet? A Mars, B Jupiter, C Venus, D Earth");
    planet.numberOfOptions = 4;
    planet.numberOfResponses = 1;
    planet.displayOption = DisplayOption_UpperCase;
    planet.answer = QStringLiteral("B");
    TrueFalseQuestion moon;
    moon.questionNumber = 2;
    moon.text = QStringLiteral("The Moon has its own light.");
    moon.answer = TrueFalseQuestion::Answer_False;
    NumericQuestion days;
    days.questionNumber = 3;
    days.text = QStringLiteral("How many days has a leap year?");
    days.maxResponseSize = 3;
    days.answer = QStringLiteral("366");
    const EnhancedQuestion *questions[] = {&planet, &moon, &days};

    // The session reports on the library's event thread; connected with
    // this thread's application as the context, its signals are handed to
    // this thread, which answers the handsets' requests and prints.
    EnhancedQuestionSession *session = hub->enhancedQuestionSession();
    QSet<quint32> finished;
    QObject::connect(session, &EnhancedQuestionSession::getQuestion, &app,
                     [&](EnhancedQuestionSession *s, quint32 uid, int number) {
                         if (number >= 1 && number <= 3) {
                             s->sendQuestion(uid, questions[number - 1]);
                         } else if (s->sendNoMoreQuestionsNotification(uid, QStringLiteral("Well done!"))) {
                             finished.insert(uid);
                             if (finished.size() == names.size())
                                 app.quit();
                         }
                     });
    const auto print = [&](quint32 uid, int number, const QString &answer) {
        std::printf("%s question %d: %s\n", qPrintable(names.value(uid).leftJustified(12)), number,
                    qPrintable(answer));
    };
    QObject::connect(session, &EnhancedQuestionSession::multichoiceAnswer, &app,
                     [&](EnhancedQuestionSession *, quint32 uid, int number, QString answer) {
                         print(uid, number, answer);
                     });
    QObject::connect(session, &EnhancedQuestionSession::trueFalseAnswer, &app,
                     [&](EnhancedQuestionSession *, quint32 uid, int number, TrueFalseQuestion::Answer answer) {
                         print(uid, number, answer == TrueFalseQuestion::Answer_True    ? QStringLiteral("true")
                                            : answer == TrueFalseQuestion::Answer_False ? QStringLiteral("false")
                                                                                        : QStringLiteral("other"));
                     });
    QObject::connect(session, &EnhancedQuestionSession::numericAnswer, &app,
                     [&](EnhancedQuestionSession *, quint32 uid, int number, QString answer) {
                         print(uid, number, answer);
                     });
    // The session's parameters go to every handset that asks for them.
    session->setDefaultSessionparameters(1, 0, false, QBitArray());
    if (!session->startSession(false)) {
        std::fprintf(stderr, "the quiz did not start: %s\n", qPrintable(Hub::errorAsString(hub->getLastError())));
        system.shutdown();
        return 1;
    }
    std::printf("a quiz of 3 questions on %d expression handsets, for at most %d s\n", int(names.size()), seconds);
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    session->stopSession();
    std::printf("%d handset(s) finished the quiz\n", int(finished.size()));
    system.shutdown();
    return finished.size() == names.size() ? 0 : 2;
}
