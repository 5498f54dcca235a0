// Guards the general date-and-time text: a four-digit year where the locale's short date
// has two, seconds always, no time-zone name, and the US form when no locale is set. The
// system locale is read once per process, so each locale is tried in a child run of this
// program.
#include "platform/localeformat.h"

#include <QCoreApplication>
#include <QProcess>
#include <gtest/gtest.h>

#include <iostream>

namespace {

const QDateTime kWhen(QDate(1999, 7, 4), QTime(15, 15, 42));

constexpr const char *kOpen = "<<<", *kClose = ">>>";

std::string textUnder(const QString &locale)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"LANG", "LANGUAGE", "LC_TIME", "LC_NUMERIC", "LC_MESSAGES"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("LC_ALL"), locale);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=LocaleFormatChild.DISABLED_Print"),
                 QStringLiteral("--gtest_also_run_disabled_tests")});
    if (!child.waitForFinished(30000))
        return "(no answer)";
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    const qsizetype from = out.indexOf(QLatin1String(kOpen));
    const qsizetype to = out.indexOf(QLatin1String(kClose), from);
    return (from < 0 || to < 0 ? out : out.mid(from + 3, to - from - 3)).toStdString();
}

} // namespace

TEST(LocaleFormatChild, DISABLED_Print)
{
    std::cout << kOpen << generalDateTimeText(kWhen).toStdString() << kClose << std::endl;
}

TEST(LocaleFormat, EachLocalesOrderAndSeparatorsWithAFullYearAndSecondsButNoTimeZone)
{
    const std::pair<const char *, const char *> cases[] = {{"C", "7/4/1999 3:15:42 PM"},
                                                           {"POSIX", "7/4/1999 3:15:42 PM"},
                                                           {"en_US.UTF-8", "7/4/1999 3:15:42 PM"},
                                                           {"en_GB.UTF-8", "04/07/1999 15:15:42"},
                                                           {"de_DE.UTF-8", "04.07.1999 15:15:42"}};
    for (const auto &[locale, shown] : cases)
        EXPECT_EQ(textUnder(QString::fromLatin1(locale)), shown) << locale;
}
