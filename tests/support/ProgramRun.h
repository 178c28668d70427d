#pragma once

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace vorn::test {

// A file's SHA-256, to tell it was left byte for byte as it was; empty when it can't be read.
inline QByteArray hashOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                       : QByteArray();
}

// What a finished run of a program left behind.
struct ProgramResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// The process's environment with `home` as the home and temporary folder and no XDG overrides, so the
// program's store, settings and runtime files land in the test's own folder.
inline QProcessEnvironment homeEnvironment(const QString& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.insert(QStringLiteral("TMPDIR"), home);
    return env;
}

// Runs `program` to its end (30 s at most, else the test fails), with `input` as all of its standard input.
inline ProgramResult runProgram(const QString& program, const QStringList& args,
                                const QProcessEnvironment& env, const QByteArray& input = {})
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace vorn::test
