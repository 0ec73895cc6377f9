#include "tally.h"

#include <gtest/gtest.h>

using Orvexctl::Tally;

TEST(TallyTest, CountsEachRespondentsLatestAnswerOnce)
{
    Tally tally({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    tally.add(1, QStringLiteral("A"));
    tally.add(2, QStringLiteral("AC"), {QStringLiteral("A"), QStringLiteral("C")});
    tally.add(3, QStringLiteral("X"));
    tally.add(1, QStringLiteral("B")); // changed its mind
    tally.add(4, QStringLiteral("CC"), {QStringLiteral("C"), QStringLiteral("C")});
    EXPECT_EQ(tally.reports(), 5);
    EXPECT_EQ(tally.respondents(), 4);
    const QList<QPair<QString, int>> expected{
        {QStringLiteral("A"), 1}, {QStringLiteral("B"), 1}, {QStringLiteral("C"), 2}, {QStringLiteral("X"), 1}};
    EXPECT_EQ(tally.counts(), expected);
}

TEST(TallyTest, ChartBarsShareTheWidthByRespondents)
{
    Tally tally({QStringLiteral("yes"), QStringLiteral("no")});
    tally.add(1, QStringLiteral("yes"));
    tally.add(2, QStringLiteral("yes"));
    tally.add(3, QStringLiteral("yes"));
    tally.add(4, QStringLiteral("no"));
    const QStringList lines = tally.chart(8, false);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines.at(0), QStringLiteral("yes  ######      3  75%"));
    EXPECT_EQ(lines.at(1), QStringLiteral("no   ##          1  25%"));
    // A quarter of 8 columns in Unicode blocks: two full ones.
    EXPECT_TRUE(tally.chart(8, true).at(1).startsWith(QStringLiteral("no   \u2588\u2588 ")));
}
