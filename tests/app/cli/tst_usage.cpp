// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testmain.h"
#include "app/cli/usage.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTest>

#include <algorithm>

using namespace varnix;

class UsageTest : public QObject
{
    Q_OBJECT
private slots:
    void helpFitsAndKeepsEveryWord();
};

// --help of both programs and of one with long texts: every line within 80
// columns, every option at the start of a line, every word of every text
// kept in its order, and a long help's following lines under its first.
void UsageTest::helpFitsAndKeepsEveryWord()
{
    static constexpr const char* synopses[] = {"[--long-option NAME]"};
    static constexpr usage::Option options[] = {
        {"--long-option", "NAME",
         "a help text far longer than one line of a terminal holds, so that it goes on under its own first "
         "words and not under the option",
         ""},
        {"-x", nullptr, "short", ""},
    };
    const usage::Program longTexts{"prog", synopses,
                                   "A summary that is long enough to need a second line, and perhaps a third "
                                   "one as well, when it is printed at eighty columns or fewer.",
                                   options};

    for (const usage::Program* program : {&usage::varnix(), &usage::board(), &longTexts}) {
        const QStringList lines = QString::fromStdString(usage::helpText(*program)).split(u'\n');
        for (const QString& line : lines)
            QVERIFY2(line.size() < 80, qPrintable(line));
        const QString all = lines.join(u' ').simplified();
        qsizetype at = all.indexOf(QString::fromLatin1(program->summary).simplified());
        QVERIFY2(at > 0, program->name);
        for (const usage::Option& option : program->options) {
            const QString label = QStringLiteral("  %1").arg(QLatin1String(option.name));
            QVERIFY2(std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return l.startsWith(label); }),
                     option.name);
            at = all.indexOf(QString::fromLatin1(option.help), at);
            QVERIFY2(at > 0, option.help);
        }
    }

    const QStringList lines = QString::fromStdString(usage::helpText(longTexts)).split(u'\n');
    const qsizetype first = lines.indexOf(QRegularExpression(QStringLiteral("  --long-option .*")));
    QVERIFY(first > 0);
    const qsizetype column = lines[first].indexOf(QStringLiteral("a help"));
    QVERIFY(column > QStringLiteral("  --long-option NAME").size());
    const qsizetype next = lines.indexOf(QRegularExpression(QStringLiteral("  -x .*")));
    QVERIFY(next > first + 1);
    for (qsizetype i = first + 1; i < next; ++i)
        QCOMPARE(lines[i].indexOf(QRegularExpression(QStringLiteral("\\S"))), column);
}

VARNIX_TEST_MAIN(UsageTest)
#include "tst_usage.moc"
