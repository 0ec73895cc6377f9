// The tally of a vote or a question: each respondent's latest answer, the
// count of each answer, and the bar chart that shows them.
#ifndef ORVEXCTL_TALLY_H
#define ORVEXCTL_TALLY_H

#include <QtCore/QJsonArray>
#include <QtCore/QList>
#include <QtCore/QMap>
#include <QtCore/QPair>
#include <QtCore/QString>
#include <QtCore/QStringList>

namespace Orvexctl {

class Tally
{
public:
    // fixed: the answers shown even before anyone gives them, in this
    // order; any other answer follows, the most frequent first.
    explicit Tally(const QStringList &fixed = {});

    // A respondent's answer. It replaces the respondent's earlier one; each
    // of choices counts (several for a multiple-response question, where
    // they are the options the answer names).
    void add(quint32 uid, const QString &answer, const QStringList &choices);
    void add(quint32 uid, const QString &answer) { add(uid, answer, {answer}); }

    int reports() const { return m_reports; }        // every answer, changes included
    int respondents() const { return int(m_answers.size()); }
    QString answerOf(quint32 uid) const { return m_answers.value(uid); }
    QList<quint32> uids() const { return m_answers.keys(); }

    // Each answer with the number of respondents whose answer holds it.
    QList<QPair<QString, int>> counts() const;

    // One line per answer: label, bar (width columns for all respondents),
    // count and share of the respondents. Unicode blocks, or '#' without.
    QStringList chart(int width, bool unicode) const;
    // [{"answer": "...", "count": n}, ...] in the order of counts().
    QJsonArray toJson() const;

private:
    QStringList m_fixed;
    QMap<quint32, QString> m_answers;
    QMap<quint32, QStringList> m_choices;
    int m_reports = 0;
};

// Whether the terminal's character set is UTF-8 (from the locale's
// environment variables).
bool unicodeTerminal();

} // namespace Orvexctl

#endif
