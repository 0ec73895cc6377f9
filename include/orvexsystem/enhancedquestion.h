#ifndef ORVEXSYSTEM_ENHANCEDQUESTION_H
#define ORVEXSYSTEM_ENHANCEDQUESTION_H

#include <orvexsystem/export.h>
#include <orvexsystem/sessiontypes.h>

#include <QtCore/QObject>
#include <QtCore/QString>

namespace Orvexsystem {

// A question of a self-paced question set, as the host hands it to
// EnhancedQuestionSession::sendQuestion(). The host creates the object of
// the question's kind and fills its members; type() tells the kind. The
// session reads the question while sending it and keeps nothing of it but
// its number and kind.
class ORVEXSYSTEM_EXPORT EnhancedQuestion
{
public:
    virtual ~EnhancedQuestion();
    // 1 multiple choice, 2 yes/no, 3 true/false, 4 Likert, 5 numeric,
    // 6 text, 7 sort in order; 0 for none of them.
    virtual int type() const;

    // Sent as its low byte; answers are reported with its low 16 bits.
    int questionNumber = 0;
    QString text;
    // Passed on to the handset; their meaning is the handset's.
    bool firstFlag = false;
    bool secondFlag = false;
    bool thirdFlag = false;
};

// Options and responses 1 to 6, no more responses than options.
class ORVEXSYSTEM_EXPORT MultichoiceQuestion : public EnhancedQuestion
{
public:
    int type() const override { return 1; }

    int numberOfOptions = 0;
    int numberOfResponses = 0;
    DisplayOption displayOption = DisplayOption_Numeric;
    // The expected answer, e.g. "B"; empty for none.
    QString answer;
};

// A yes/no question; option offers a third answer, Answer_Other.
class ORVEXSYSTEM_EXPORT YesNoQuestion : public EnhancedQuestion
{
    Q_GADGET
public:
    enum Answer { Answer_None = 0, Answer_No = 1, Answer_Yes = 2, Answer_Other = 3 };
    Q_ENUM(Answer)

    int type() const override { return 2; }

    bool option = false;
    Answer answer = Answer_None;
};

// A true/false question; option offers a third answer, Answer_Other.
class ORVEXSYSTEM_EXPORT TrueFalseQuestion : public EnhancedQuestion
{
    Q_GADGET
public:
    enum Answer { Answer_None = 0, Answer_False = 1, Answer_True = 2, Answer_Other = 3 };
    Q_ENUM(Answer)

    int type() const override { return 3; }

    bool option = false;
    Answer answer = Answer_None;
};

// Scale 4 to 9.
class ORVEXSYSTEM_EXPORT LikertQuestion : public EnhancedQuestion
{
public:
    int type() const override { return 4; }

    int scaleValue = 0;
    // The expected value, 0 for none.
    int answer = 0;
};

// Answer size 0 to 255 bytes.
class ORVEXSYSTEM_EXPORT NumericQuestion : public EnhancedQuestion
{
public:
    int type() const override { return 5; }

    int maxResponseSize = 0;
    QString answer;
};

// A free-text answer of up to maxResponseSize bytes.
class ORVEXSYSTEM_EXPORT TextQuestion : public EnhancedQuestion
{
public:
    int type() const override { return 6; }

    int maxResponseSize = 0;
    QString answer;
};

// The learner puts numberOfResponses of numberOfOptions options in order.
class ORVEXSYSTEM_EXPORT SortInOrderQuestion : public EnhancedQuestion
{
public:
    int type() const override { return 7; }

    int numberOfOptions = 0;
    int numberOfResponses = 0;
    DisplayOption displayOption = DisplayOption_Numeric;
    QString answer;
};

} // namespace Orvexsystem

#endif
