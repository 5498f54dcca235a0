// Guards the program's own table: the help lists every command, the version, and an unknown
// command is an error.
#include "cli/trvrun.h"

#include <gtest/gtest.h>

TEST(Trv, HelpAndVersionGoToStandardOutput)
{
    const TrvRun help = trv({QStringLiteral("--help")});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.contains("usage: trv scan DIR...")) << help.out.toStdString();
    EXPECT_TRUE(help.err.isEmpty());
    const TrvRun version = trv({QStringLiteral("--version")});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, "trv " TARVOLO_VERSION "\n");
    EXPECT_EQ(trv({QStringLiteral("--version"), QStringLiteral("scan")}).code, 2);

    // asked-for output that cannot be written is no success
    EXPECT_EQ(trvOnFullDisk({QStringLiteral("--help")}), 1);
    EXPECT_EQ(trv({QStringLiteral("frobnicate")}).code, 2);
}
