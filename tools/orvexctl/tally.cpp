#include "tally.h"

#include <QtCore/QJsonObject>

#include <algorithm>

namespace Orvexctl {

Tally::Tally(const QStringList &fixed) : m_fixed(fixed) {}

void Tally::add(quint32 uid, const QString &answer, const QStringList &choices)
{
    ++m_reports;
    m_answers.insert(uid, answer);
    m_choices.insert(uid, choices);
}

QList<QPair<QString, int>> Tally::counts() const
{
    QMap<QString, int> count;
    for (const QStringList &choices : m_choices) {
        QStringList seen;
        for (const QString &choice : choices) {
            // A respondent counts once per answer, however often it is named.
            if (seen.contains(choice))
                continue;
            seen << choice;
            ++count[choice];
        }
    }
    QList<QPair<QString, int>> result;
    for (const QString &label : m_fixed)
        result.append({label, count.value(label)});
    QList<QPair<QString, int>> others;
    for (auto it = count.cbegin(); it != count.cend(); ++it)
        if (!m_fixed.contains(it.key()))
            others.append({it.key(), it.value()});
    std::stable_sort(others.begin(), others.end(),
                     [](const QPair<QString, int> &a, const QPair<QString, int> &b) { return a.second > b.second; });
    return result + others;
}

QStringList Tally::chart(int width, bool unicode) const
{
    static const int MaximumLabel = 20;
    const QList<QPair<QString, int>> rows = counts();
    int labelWidth = 1;
    for (const auto &row : rows)
        labelWidth = std::max(labelWidth, int(std::min<qsizetype>(row.first.size(), MaximumLabel)));
    const int total = respondents();
    QStringList lines;
    for (const auto &row : rows) {
        QString label = row.first;
        if (label.size() > MaximumLabel)
            label = label.left(MaximumLabel - 1) + (unicode ? QStringLiteral("\u2026") : QStringLiteral("~"));
        // In eighths of a column, rounded to the nearest.
        const int eighths = total > 0 ? int((qint64(row.second) * width * 8 + total / 2) / total) : 0;
        QString bar;
        if (unicode) {
            static const QString partial[] = {QString(),          QStringLiteral("\u258F"),
                                              QStringLiteral("\u258E"), QStringLiteral("\u258D"),
                                              QStringLiteral("\u258C"), QStringLiteral("\u258B"),
                                              QStringLiteral("\u258A"), QStringLiteral("\u2589")};
            bar = QString(eighths / 8, QChar(0x2588)) + partial[eighths % 8];
        } else {
            bar = QString((eighths + 4) / 8, QLatin1Char('#'));
        }
        const int percent = total > 0 ? int((qint64(row.second) * 100 + total / 2) / total) : 0;
        lines << QStringLiteral("%1  %2 %3 %4%")
                     .arg(label.leftJustified(labelWidth), bar.leftJustified(width))
                     .arg(row.second, 4)
                     .arg(percent, 3);
    }
    return lines;
}

QJsonArray Tally::toJson() const
{
    QJsonArray result;
    for (const auto &row : counts())
        result.append(QJsonObject{{QStringLiteral("answer"), row.first}, {QStringLiteral("count"), row.second}});
    return result;
}

bool unicodeTerminal()
{
    for (const char *name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const QByteArray value = qgetenv(name).toUpper();
        if (!value.isEmpty())
            return value.contains("UTF-8") || value.contains("UTF8");
    }
    return false;
}

} // namespace Orvexctl
