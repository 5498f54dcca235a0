#include "cli/trvrun.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

TrvRun trv(const QStringList &args, const QString &workingDirectory)
{
    QProcess p;
    p.setWorkingDirectory(workingDirectory);
    p.start(QString::fromLocal8Bit(qgetenv("TRV_EXE")), args);
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

int trvOnFullDisk(const QStringList &args, QByteArray *err)
{
    QProcess p;
    p.setStandardOutputFile(QStringLiteral("/dev/full"));
    p.start(QString::fromLocal8Bit(qgetenv("TRV_EXE")), args);
    p.waitForFinished(60000);
    if (err)
        *err = p.readAllStandardError();
    return p.exitCode();
}

void touch(const QByteArray &path)
{
    QFile f(QFile::decodeName(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("12345");
}
