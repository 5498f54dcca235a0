// Guards trv drives: each drive's line with its root, and no operands.
#include "cli/trvrun.h"
#include "platform/text.h"

#include <algorithm>
#include <gtest/gtest.h>

TEST(Trv, DrivesPrintsEachLineWithItsRoot)
{
    const TrvRun r = trv({QStringLiteral("drives")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QList<QByteArray> texts{":  Is A Removable Drive", ":  Is A Hard/Non-Removable Drive",
                                  ":  Is A Remote/Network Drive", ":  Is A CD-ROM Drive", ":  Is A RAM Drive"};
    QList<QByteArray> lines = r.out.split('\n');
    ASSERT_TRUE(lines.takeLast().isEmpty());
    for (const QByteArray &line : lines) {
        const QList<QByteArray> values = line.split('\t');
        ASSERT_EQ(values.size(), 2) << line.toStdString();
        const auto text =
            std::find_if(texts.begin(), texts.end(), [&](const QByteArray &t) { return values[0].endsWith(t); });
        ASSERT_NE(text, texts.end()) << line.toStdString();
        // The line shows a name that is not UTF-8 with replacement characters; the root keeps its bytes.
        const QByteArray mountPoint = values[0].chopped(text->size());
        const QByteArray root = QByteArray::fromStdString(text::sanitizeUtf8(values[1].toStdString()));
        EXPECT_EQ(root, mountPoint == "/" ? mountPoint : mountPoint + '/');
    }
    EXPECT_EQ(trv({QStringLiteral("drives"), QStringLiteral("extra")}).code, 2);
}
