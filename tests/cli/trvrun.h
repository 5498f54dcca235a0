#pragma once
// Runs the trv program the build made, as a user would.
#include <QByteArray>
#include <QString>
#include <QStringList>

struct TrvRun {
    int code;
    QByteArray out, err;
};

TrvRun trv(const QStringList &args, const QString &workingDirectory = {});

// The exit status of trv with its standard output on a full disk.
int trvOnFullDisk(const QStringList &args, QByteArray *err = nullptr);

// A file of five bytes.
void touch(const QByteArray &path);
