// vote and ask: a voting session or a question, with a live tally.
#include "commands.h"
#include "tally.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>

#include <QtCore/QBitArray>
#include <QtCore/QSet>

#include <functional>
#include <memory>

using namespace Orvexsystem;

namespace Orvexctl {

namespace {

const int ChartWidth = 40;

// A session whose answers are tallied as they arrive. The hub calls the
// session's callbacks on the driver's thread; they only queue the answer,
// and this (the main) thread takes the queue into the tally.
class TallyRun
{
public:
    struct Answer
    {
        quint32 uid = 0;
        QString answer;
        QStringList choices;
    };

    TallyRun(Context &context, Hub *hub, const QString &title, const QStringList &fixed)
        : m_context(context), m_hub(hub), m_title(title), m_tally(fixed), m_queue(context.makeQueue<Answer>())
    {
    }

    // The devices that may answer, and everyone's name.
    void expect(const QList<Device::Type> &types)
    {
        QList<DeviceEntry> devices;
        registeredDevices(m_hub, &devices);
        for (const DeviceEntry &device : std::as_const(devices)) {
            m_names.insert(device.uid, device.name);
            if (types.contains(device.type))
                ++m_expected;
        }
    }

    // Runs on this thread whenever the queue is taken: for sessions whose
    // handsets ask for something.
    std::function<void()> poll;

    // The context to give the hub's callbacks; any thread.
    void *callbackContext() { return m_queue.get(); }
    static void post(void *context, quint32 uid, const QString &answer, const QStringList &choices)
    {
        static_cast<ReportQueue<Answer> *>(context)->push(Answer{uid, answer, choices});
    }
    static void post(void *context, quint32 uid, const QString &answer) { post(context, uid, answer, {answer}); }

    // Runs start(), then waits for the goal, the duration or Ctrl-C, then
    // runs stop(). Exit_Success, or the failure's code after reporting it.
    int run(const std::function<bool()> &start, const std::function<bool()> &stop, int goal,
            qint64 durationMs, const QString &what)
    {
        m_goal = goal;
        m_durationMs = durationMs;
        if (!start())
            return m_context.hubFailure(m_hub, QStringLiteral("%1 did not start").arg(what));
        const qint64 begin = m_context.elapsedMs();
        m_end = m_context.runUntil([&] {
            takeAnswers();
            return m_goal > 0 && m_tally.respondents() >= m_goal;
        }, durationMs, [&] {
            const qint64 left = (m_durationMs - (m_context.elapsedMs() - begin) + 999) / 1000;
            m_context.showLive(QStringList{QStringLiteral("%1: %2, %3 s left").arg(m_title, answeredText()).arg(left)}
                               + m_tally.chart(ChartWidth, unicodeTerminal()));
        });
        m_elapsedMs = m_context.elapsedMs() - begin;
        m_context.endLive();
        m_stopped = stop();
        // Answers that came before the end count; nothing more is sent.
        poll = nullptr;
        takeAnswers();
        return Exit_Success;
    }

    // The results: the chart, or one JSON document with session's fields.
    int report(QJsonObject session, bool listResponses)
    {
        if (m_context.json()) {
            session.insert(QStringLiteral("hub"), hubReference(m_hub));
            session.insert(QStringLiteral("elapsedMs"), m_elapsedMs);
            session.insert(QStringLiteral("durationMs"), m_durationMs);
            session.insert(QStringLiteral("end"), endWord(m_end));
            session.insert(QStringLiteral("goal"), m_goal > 0 ? QJsonValue(m_goal) : QJsonValue());
            session.insert(QStringLiteral("complete"), m_goal <= 0 || m_tally.respondents() >= m_goal);
            session.insert(QStringLiteral("stopped"), m_stopped);
            session.insert(QStringLiteral("expected"), m_expected);
            session.insert(QStringLiteral("respondents"), m_tally.respondents());
            session.insert(QStringLiteral("reports"), m_tally.reports());
            session.insert(QStringLiteral("tally"), m_tally.toJson());
            QJsonArray responses;
            for (quint32 uid : m_tally.uids())
                responses.append(QJsonObject{{QStringLiteral("uid"), hexUid(uid)},
                                             {QStringLiteral("name"), m_names.value(uid)},
                                             {QStringLiteral("answer"), m_tally.answerOf(uid)}});
            session.insert(QStringLiteral("responses"), responses);
            m_context.printJson(session);
        } else {
            QTextStream &out = m_context.out();
            out << m_title << ": " << answeredText() << " in "
                << QString::number(m_elapsedMs / 1000.0, 'f', 1) << " s" << Qt::endl;
            for (const QString &line : m_tally.chart(ChartWidth, unicodeTerminal()))
                out << "  " << line << Qt::endl;
            if (listResponses)
                for (quint32 uid : m_tally.uids())
                    out << "  " << m_names.value(uid, QStringLiteral("?")).leftJustified(16) << hexUid(uid) << "  "
                        << m_tally.answerOf(uid) << Qt::endl;
        }
        if (!m_stopped)
            m_context.note(QStringLiteral("%1: the session did not end cleanly (%2)")
                               .arg(hubTitle(m_hub), Hub::errorAsString(m_hub->getLastError())));
        const int code = endCode(m_context, m_end, m_goal, m_tally.respondents(), QStringLiteral("answers"));
        return code == Exit_Success && !m_stopped ? int(Exit_HubError) : code;
    }

private:
    void takeAnswers()
    {
        if (poll)
            poll();
        for (const Answer &answer : m_queue->take())
            m_tally.add(answer.uid, answer.answer, answer.choices);
    }

    QString answeredText() const
    {
        return m_expected > 0 ? QStringLiteral("%1 of %2 handsets answered").arg(m_tally.respondents()).arg(m_expected)
                              : QStringLiteral("%1 handsets answered").arg(m_tally.respondents());
    }

    Context &m_context;
    Hub *m_hub;
    QString m_title;
    Tally m_tally;
    QMap<quint32, QString> m_names;
    int m_expected = 0;
    int m_goal = 0;
    qint64 m_durationMs = 0;
    qint64 m_elapsedMs = 0;
    Context::End m_end = Context::End::Done;
    bool m_stopped = false;
    std::shared_ptr<ReportQueue<Answer>> m_queue;
};

// The question's own time on the handsets: seconds up to 127, else whole
// minutes (at most 127).
void hubDuration(qint64 durationMs, TimeUnit *unit, int *duration)
{
    const qint64 seconds = (durationMs + 999) / 1000;
    if (seconds <= 127) {
        *unit = TimeUnit_Seconds;
        *duration = int(seconds);
    } else {
        *unit = TimeUnit_Minutes;
        *duration = int(std::min<qint64>((seconds + 59) / 60, 127));
    }
}

QString title(const QString &what, Hub *hub)
{
    return QStringLiteral("%1 on %2").arg(what, hubTitle(hub));
}

// --- vote ---------------------------------------------------------------

void addOptionsVote(QCommandLineParser &parser)
{
    addHubOption(parser);
    parser.addOption({QStringLiteral("mode"), QStringLiteral("Voting mode: vb or vm (default vb)."),
                      QStringLiteral("mode"), QStringLiteral("vb")});
    parser.addOption({QStringLiteral("options"),
                      QStringLiteral("Keys shown in the tally even before anyone presses them (1-6, default 6)."),
                      QStringLiteral("n"), QStringLiteral("6")});
    parser.addOption({QStringLiteral("responses"), QStringLiteral("List each handset's vote.")});
    addDurationOptions(parser, 60, QStringLiteral("n handsets have voted"));
}

int checkTimed(const QCommandLineParser &parser, QString *error)
{
    qint64 durationMs = 0;
    int count = 0;
    if (!durationOptions(parser, &durationMs, &count, error))
        return Exit_Usage;
    if (durationMs <= 0) {
        *error = QStringLiteral("--duration must be at least 1 second");
        return Exit_Usage;
    }
    return Exit_Success;
}

int checkVote(const QCommandLineParser &parser, QString *error)
{
    QString mode;
    int options = 0;
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
        return Exit_Usage;
    }
    if (!choiceOption(parser, QStringLiteral("mode"), {QStringLiteral("vb"), QStringLiteral("vm")}, &mode, error)
        || !intOption(parser, QStringLiteral("options"), 1, 6, 6, &options, error))
        return Exit_Usage;
    return checkTimed(parser, error);
}

int runVote(Context &context, const QCommandLineParser &parser)
{
    int code = Exit_Success;
    Hub *hub = context.selectHub(parser.value(QStringLiteral("hub")), HubNeed::Voting, &code);
    if (!hub)
        return code;
    QString mode, error;
    int options = 6, goal = 0;
    qint64 durationMs = 0;
    choiceOption(parser, QStringLiteral("mode"), {QStringLiteral("vb"), QStringLiteral("vm")}, &mode, &error);
    intOption(parser, QStringLiteral("options"), 1, 6, 6, &options, &error);
    durationOptions(parser, &durationMs, &goal, &error);

    QStringList keys;
    for (int key = 1; key <= options; ++key)
        keys << QString::number(key);
    TallyRun run(context, hub, title(QStringLiteral("vote"), hub), keys);
    run.expect({Device::Type_TwoPointFourGHzOrvexvote, Device::Type_LegacyOrvexvote});
    // Votes come as option numbers 1 to 6; 0 for a key the hub did not name.
    const Hub::VoteCallback onVote = [](Hub *, quint32 uid, int vote, bool, void *context) {
        TallyRun::post(context, uid, vote >= 1 && vote <= 6 ? QString::number(vote) : QStringLiteral("?"));
    };
    const Hub::VotingMode votingMode = mode == QLatin1String("vm") ? Hub::VotingMode_VM : Hub::VotingMode_VB;
    code = run.run([&] { return hub->startVotingSession(votingMode, onVote, run.callbackContext()); },
                   [&] { return hub->stopSession(); }, goal, durationMs, QStringLiteral("the vote"));
    if (code != Exit_Success)
        return code;
    return run.report(QJsonObject{{QStringLiteral("session"), QStringLiteral("vote")},
                                  {QStringLiteral("mode"), mode}},
                      parser.isSet(QStringLiteral("responses")));
}

// --- ask ----------------------------------------------------------------

const QStringList QuestionKinds{QStringLiteral("multichoice"), QStringLiteral("yesno"),
                                QStringLiteral("truefalse"),   QStringLiteral("likert"),
                                QStringLiteral("numeric"),     QStringLiteral("text"),
                                QStringLiteral("sort"),        QStringLiteral("message")};

void addOptionsAsk(QCommandLineParser &parser)
{
    parser.addPositionalArgument(QStringLiteral("kind"), QuestionKinds.join(QLatin1String(", ")));
    addHubOption(parser);
    parser.addOption({QStringLiteral("question-id"), QStringLiteral("The question's number (1-255, default 1)."),
                      QStringLiteral("n"), QStringLiteral("1")});
    parser.addOption({QStringLiteral("options"),
                      QStringLiteral("multichoice, sort: options offered (1-6, default 4)."),
                      QStringLiteral("n"), QStringLiteral("4")});
    parser.addOption({QStringLiteral("choices"),
                      QStringLiteral("multichoice, sort: options each learner picks (1-6, default 1; "
                                     "sort: all options)."),
                      QStringLiteral("n")});
    parser.addOption({QStringLiteral("display"),
                      QStringLiteral("multichoice, sort: how options are named: numeric, lower or upper "
                                     "(default upper)."),
                      QStringLiteral("form"), QStringLiteral("upper")});
    parser.addOption({QStringLiteral("scale"), QStringLiteral("likert: points on the scale (4-9, default 5)."),
                      QStringLiteral("n"), QStringLiteral("5")});
    parser.addOption({QStringLiteral("text"),
                      QStringLiteral("numeric, text, message: the text the handsets show."),
                      QStringLiteral("text")});
    parser.addOption({QStringLiteral("max-size"),
                      QStringLiteral("numeric, text: longest answer, in characters (1-255, default 20)."),
                      QStringLiteral("n"), QStringLiteral("20")});
    parser.addOption({QStringLiteral("enhanced"),
                      QStringLiteral("Ask through the expression handsets' enhanced question session (all "
                                     "kinds but message): each handset fetches the question when it is ready.")});
    parser.addOption({QStringLiteral("responses"), QStringLiteral("List each handset's answer.")});
    addDurationOptions(parser, 60, QStringLiteral("n handsets have answered"));
}

struct Question
{
    QString kind;
    int id = 1;
    int options = 4;
    int choices = 1;
    DisplayOption display = DisplayOption_UpperCase;
    QString displayWord;
    int scale = 5;
    QString text;
    int maxSize = 20;
    bool enhanced = false;
};

bool parseQuestion(const QCommandLineParser &parser, Question *q, QString *error)
{
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        *error = positional.isEmpty() ? QStringLiteral("which kind of question? (%1)").arg(QuestionKinds.join(QLatin1String(", ")))
                                      : QStringLiteral("unexpected argument '%1'").arg(positional.at(1));
        return false;
    }
    q->kind = positional.first().toLower();
    if (!QuestionKinds.contains(q->kind)) {
        *error = QStringLiteral("unknown kind of question '%1' (%2)").arg(positional.first(), QuestionKinds.join(QLatin1String(", ")));
        return false;
    }
    if (!intOption(parser, QStringLiteral("question-id"), 1, 255, 1, &q->id, error)
        || !intOption(parser, QStringLiteral("options"), Hub::minNumberOfOptions, Hub::maxNumberOfOptions, 4,
                      &q->options, error)
        || !intOption(parser, QStringLiteral("choices"), Hub::minNumberOfResponses, Hub::maxNumberOfResponses,
                      q->kind == QLatin1String("sort") ? q->options : 1, &q->choices, error)
        || !choiceOption(parser, QStringLiteral("display"),
                         {QStringLiteral("numeric"), QStringLiteral("lower"), QStringLiteral("upper")},
                         &q->displayWord, error)
        || !intOption(parser, QStringLiteral("scale"), Hub::minLikertScaleValue, Hub::maxLikertScaleValue, 5,
                      &q->scale, error)
        || !intOption(parser, QStringLiteral("max-size"), 1, Hub::maxResponseSize, 20, &q->maxSize, error))
        return false;
    if (q->choices > q->options) {
        *error = QStringLiteral("--choices (%1) cannot exceed --options (%2)").arg(q->choices).arg(q->options);
        return false;
    }
    q->display = q->displayWord == QLatin1String("numeric") ? DisplayOption_Numeric
                 : q->displayWord == QLatin1String("lower") ? DisplayOption_LowerCase
                                                            : DisplayOption_UpperCase;
    q->text = parser.value(QStringLiteral("text"));
    q->enhanced = parser.isSet(QStringLiteral("enhanced"));
    if (q->enhanced && q->kind == QLatin1String("message")) {
        *error = QStringLiteral("the enhanced session has no message question");
        return false;
    }
    // A question session takes texts under 49 bytes of UTF-8; the enhanced
    // session sends its question as a device message.
    if (!q->enhanced && q->text.toUtf8().size() >= 49) {
        *error = QStringLiteral("--text is too long: at most 48 bytes of UTF-8");
        return false;
    }
    return true;
}

int checkAsk(const QCommandLineParser &parser, QString *error)
{
    Question question;
    if (!parseQuestion(parser, &question, error))
        return Exit_Usage;
    return checkTimed(parser, error);
}

QStringList optionLabels(const Question &q)
{
    QStringList labels;
    for (int i = 0; i < q.options; ++i)
        labels << (q.display == DisplayOption_Numeric   ? QString::number(i + 1)
                   : q.display == DisplayOption_LowerCase ? QString(QChar('a' + i))
                                                          : QString(QChar('A' + i)));
    return labels;
}

// The question as the enhanced session sends it.
std::unique_ptr<EnhancedQuestion> enhancedQuestion(const Question &q)
{
    std::unique_ptr<EnhancedQuestion> question;
    if (q.kind == QLatin1String("multichoice") || q.kind == QLatin1String("sort")) {
        if (q.kind == QLatin1String("multichoice")) {
            auto choice = std::make_unique<MultichoiceQuestion>();
            choice->numberOfOptions = q.options;
            choice->numberOfResponses = q.choices;
            choice->displayOption = q.display;
            question = std::move(choice);
        } else {
            auto sort = std::make_unique<SortInOrderQuestion>();
            sort->numberOfOptions = q.options;
            sort->numberOfResponses = q.choices;
            sort->displayOption = q.display;
            question = std::move(sort);
        }
    } else if (q.kind == QLatin1String("yesno")) {
        question = std::make_unique<YesNoQuestion>();
    } else if (q.kind == QLatin1String("truefalse")) {
        question = std::make_unique<TrueFalseQuestion>();
    } else if (q.kind == QLatin1String("likert")) {
        auto likert = std::make_unique<LikertQuestion>();
        likert->scaleValue = q.scale;
        question = std::move(likert);
    } else if (q.kind == QLatin1String("numeric")) {
        auto numeric = std::make_unique<NumericQuestion>();
        numeric->maxResponseSize = q.maxSize;
        question = std::move(numeric);
    } else {
        auto text = std::make_unique<TextQuestion>();
        text->maxResponseSize = q.maxSize;
        question = std::move(text);
    }
    question->questionNumber = q.id;
    question->text = q.text;
    return question;
}

QString choiceWord(int answer, bool trueFalse)
{
    // YesNoQuestion::Answer and TrueFalseQuestion::Answer share their values.
    switch (answer) {
    case YesNoQuestion::Answer_Yes:
        return trueFalse ? QStringLiteral("true") : QStringLiteral("yes");
    case YesNoQuestion::Answer_No:
        return trueFalse ? QStringLiteral("false") : QStringLiteral("no");
    case YesNoQuestion::Answer_Other:
        return QStringLiteral("other");
    default:
        return QStringLiteral("none");
    }
}

// The enhanced question session: each expression handset asks for its
// question when it is ready, answers it, and asks for the next, which is
// the notice that there are no more. The session reports on the system's
// event thread; its callbacks queue the requests and answers, and this
// thread sends the question and tallies the answers.
int runEnhanced(Context &context, Hub *hub, const Question &q, TallyRun &run, int goal, qint64 durationMs)
{
    EnhancedQuestionSession *session = hub->enhancedQuestionSession();
    if (!session)
        return context.fail(Exit_NotSupported,
                            QStringLiteral("%1 has no enhanced question session").arg(hubTitle(hub)));
    struct Request
    {
        quint32 uid = 0;
        int number = 0;
    };
    struct Sink
    {
        void *answers = nullptr;
        std::shared_ptr<ReportQueue<Request>> requests;
    };
    auto sink = std::make_shared<Sink>();
    sink->answers = run.callbackContext();
    sink->requests = context.makeQueue<Request>();
    context.keepUntilShutdown(sink);

    using Session = EnhancedQuestionSession;
    Session::CallbacksInfo callbacks;
    callbacks.userData = sink.get();
    callbacks.getQuestionCallback = [](Session *, unsigned int uid, int number, void *c) {
        static_cast<Sink *>(c)->requests->push(Request{uid, number});
    };
    callbacks.multichoiceAnswerCallback = [](Session *, unsigned int uid, int, const QString &text, void *c) {
        QStringList choices;
        for (const QChar ch : text)
            if (!ch.isSpace())
                choices << QString(ch);
        TallyRun::post(static_cast<Sink *>(c)->answers, uid, text, choices);
    };
    callbacks.yesNoAnswerCallback = [](Session *, unsigned int uid, int, YesNoQuestion::Answer a, void *c) {
        TallyRun::post(static_cast<Sink *>(c)->answers, uid, choiceWord(a, false));
    };
    callbacks.trueFalseAnswerCallback = [](Session *, unsigned int uid, int, TrueFalseQuestion::Answer a, void *c) {
        TallyRun::post(static_cast<Sink *>(c)->answers, uid, choiceWord(a, true));
    };
    callbacks.likertAnswerCallback = [](Session *, unsigned int uid, int, int value, void *c) {
        TallyRun::post(static_cast<Sink *>(c)->answers, uid, QString::number(value));
    };
    const Session::TextAnswerCallback onText = [](Session *, unsigned int uid, int, const QString &text, void *c) {
        TallyRun::post(static_cast<Sink *>(c)->answers, uid, text);
    };
    callbacks.numericAnswerCallback = onText;
    callbacks.textAnswerCallback = onText;
    callbacks.sortInOrderAnswerCallback = onText;
    session->setCallbacks(callbacks);
    // Parameters go to each handset that asks, without a report.
    session->setDefaultSessionparameters(1, 0, false, QBitArray());

    // A handset's first request gets the question; a later one, once the
    // question went to it, the notice that there are no more.
    const std::unique_ptr<EnhancedQuestion> question = enhancedQuestion(q);
    QSet<quint32> sent;
    run.poll = [&] {
        for (const Request &request : sink->requests->take()) {
            if (!sent.contains(request.uid) || request.number <= 1) {
                if (session->sendQuestion(request.uid, question.get()))
                    sent.insert(request.uid);
                else
                    context.note(QStringLiteral("the question did not reach %1 (%2)")
                                     .arg(hexUid(request.uid), Hub::errorAsString(hub->getLastError())));
            } else {
                session->sendNoMoreQuestionsNotification(request.uid, QStringLiteral("Thank you"));
            }
        }
    };
    return run.run([&] { return session->startSession(false); }, [&] { return session->stopSession(); }, goal,
                   durationMs, QStringLiteral("the enhanced question session"));
}

// A question session of the hub: every handset that can answer the kind
// answers it.
int askQuestion(Hub *hub, const Question &q, TallyRun &run, TimeUnit unit, int hubTime, int goal, qint64 durationMs)
{
    void *const answers = run.callbackContext();
    std::function<bool()> start;
    if (q.kind == QLatin1String("multichoice")) {
        // Each option the answer names counts.
        const Hub::TextResponseCallback onAnswer = [](Hub *, quint32 uid, int, const QString &answer, void *c) {
            QStringList choices;
            for (const QChar ch : answer)
                if (!ch.isSpace())
                    choices << QString(ch);
            TallyRun::post(c, uid, answer, choices);
        };
        start = [&, onAnswer] { return hub->startMultichoiceSession(q.id, q.options, q.choices, q.display, unit, hubTime, onAnswer, answers); };
    } else if (q.kind == QLatin1String("yesno")) {
        const Hub::YesNoCallback onAnswer = [](Hub *, quint32 uid, int, Hub::YesNoResponse r, void *c) {
            TallyRun::post(c, uid, r == Hub::YesNoResponse_Yes  ? QStringLiteral("yes")
                                   : r == Hub::YesNoResponse_No ? QStringLiteral("no")
                                                                : QStringLiteral("other"));
        };
        start = [&, onAnswer] { return hub->startYesNoSession(q.id, false, unit, hubTime, onAnswer, answers); };
    } else if (q.kind == QLatin1String("truefalse")) {
        const Hub::TrueFalseCallback onAnswer = [](Hub *, quint32 uid, int, Hub::TrueFalseResponse r, void *c) {
            TallyRun::post(c, uid, r == Hub::TrueFalseResponse_True    ? QStringLiteral("true")
                                   : r == Hub::TrueFalseResponse_False ? QStringLiteral("false")
                                                                       : QStringLiteral("other"));
        };
        start = [&, onAnswer] { return hub->startTrueFalseSession(q.id, false, unit, hubTime, onAnswer, answers); };
    } else if (q.kind == QLatin1String("likert")) {
        const Hub::LikertCallback onAnswer = [](Hub *, quint32 uid, int, int value, void *c) {
            TallyRun::post(c, uid, QString::number(value));
        };
        start = [&, onAnswer] { return hub->startLikertSession(q.id, q.scale, unit, hubTime, onAnswer, answers); };
    } else if (q.kind == QLatin1String("message")) {
        const Hub::MessageCallback onSeen = [](Hub *, quint32 uid, int, void *c) {
            TallyRun::post(c, uid, QStringLiteral("seen"));
        };
        start = [&, onSeen] { return hub->startMessageSession(q.id, q.text, unit, hubTime, onSeen, answers); };
    } else {
        const Hub::TextResponseCallback onAnswer = [](Hub *, quint32 uid, int, const QString &answer, void *c) {
            TallyRun::post(c, uid, answer);
        };
        if (q.kind == QLatin1String("numeric"))
            start = [&, onAnswer] { return hub->startNumericSession(q.id, q.text, q.maxSize, unit, hubTime, onAnswer, answers); };
        else if (q.kind == QLatin1String("text"))
            start = [&, onAnswer] { return hub->startTextSession(q.id, q.text, q.maxSize, unit, hubTime, onAnswer, answers); };
        else
            start = [&, onAnswer] {
                return hub->startSortInOrderSession(q.id, q.options, q.choices, q.display, unit, hubTime, onAnswer,
                                                    answers);
            };
    }
    return run.run(start, [&] { return hub->stopSession(); }, goal, durationMs, QStringLiteral("the question"));
}

int runAsk(Context &context, const QCommandLineParser &parser)
{
    int code = Exit_Success;
    Hub *hub = context.selectHub(parser.value(QStringLiteral("hub")), HubNeed::TwoPointFourGHz, &code);
    if (!hub)
        return code;
    Question q;
    QString error;
    int goal = 0;
    qint64 durationMs = 0;
    parseQuestion(parser, &q, &error);
    durationOptions(parser, &durationMs, &goal, &error);
    TimeUnit unit = TimeUnit_Seconds;
    int hubTime = 0;
    hubDuration(durationMs, &unit, &hubTime);

    QStringList fixed;
    if (q.kind == QLatin1String("multichoice"))
        fixed = optionLabels(q);
    else if (q.kind == QLatin1String("yesno"))
        fixed = QStringList{QStringLiteral("yes"), QStringLiteral("no"), QStringLiteral("other")};
    else if (q.kind == QLatin1String("truefalse"))
        fixed = QStringList{QStringLiteral("true"), QStringLiteral("false"), QStringLiteral("other")};
    else if (q.kind == QLatin1String("likert"))
        for (int i = 1; i <= q.scale; ++i)
            fixed << QString::number(i);
    TallyRun run(context, hub, title(QStringLiteral("%1 question %2").arg(q.kind).arg(q.id), hub), fixed);
    // Voting handsets answer the choice kinds; expression handsets all.
    const bool choiceKind = QStringList{QStringLiteral("multichoice"), QStringLiteral("yesno"),
                                        QStringLiteral("truefalse"), QStringLiteral("likert")}
                                .contains(q.kind);
    if (q.enhanced) {
        // Expression handsets of either sub-type speak the transport.
        run.expect({Device::Type_TwoPointFourGHzOrvexexpression});
        code = runEnhanced(context, hub, q, run, goal, durationMs);
    } else {
        run.expect(choiceKind ? QList<Device::Type>{Device::Type_TwoPointFourGHzOrvexvote,
                                                    Device::Type_TwoPointFourGHzOrvexexpression}
                              : QList<Device::Type>{Device::Type_TwoPointFourGHzOrvexexpression});
        code = askQuestion(hub, q, run, unit, hubTime, goal, durationMs);
    }
    if (code != Exit_Success)
        return code;

    QJsonObject question{{QStringLiteral("kind"), q.kind}, {QStringLiteral("id"), q.id}};
    if (q.enhanced)
        question.insert(QStringLiteral("enhanced"), true);
    if (q.kind == QLatin1String("multichoice") || q.kind == QLatin1String("sort")) {
        question.insert(QStringLiteral("options"), q.options);
        question.insert(QStringLiteral("choices"), q.choices);
        question.insert(QStringLiteral("display"), q.displayWord);
    } else if (q.kind == QLatin1String("likert")) {
        question.insert(QStringLiteral("scale"), q.scale);
    } else if (!choiceKind) {
        question.insert(QStringLiteral("text"), q.text);
        if (q.kind != QLatin1String("message"))
            question.insert(QStringLiteral("maxSize"), q.maxSize);
    }
    return run.report(QJsonObject{{QStringLiteral("session"), QStringLiteral("question")},
                                  {QStringLiteral("question"), question}},
                      parser.isSet(QStringLiteral("responses")));
}

} // namespace

Command voteCommand()
{
    return {"vote", "run a vote and show the tally live",
            "Runs a voting session: each voting handset's latest key press counts, and the tally\n"
            "is drawn as a bar chart while the votes come in.",
            addOptionsVote, checkVote, runVote};
}

Command askCommand()
{
    return {"ask", "ask a question of the class and show the answers live",
            "Asks the class a question on a 2.4 GHz hub and tallies the answers as they come in.\n"
            "Kinds: multichoice, yesno, truefalse, likert, numeric, text, sort (options in\n"
            "order), message (a text that handsets acknowledge). Voting handsets answer the\n"
            "choice kinds; expression handsets answer every kind.",
            addOptionsAsk, checkAsk, runAsk};
}

} // namespace Orvexctl
