// SPDX-License-Identifier: GPL-3.0-or-later
// The TESSORAH program as a process: going online by itself, admitting a caller, and
// SIGTERM hanging up and saving. What both stations share runs in StationProgramTest.
#include "HostUsers.h"

#include "TavrinoClient.h"

#include <QFileInfo>
#include <QProcess>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

using namespace Tavrino;

namespace {

// A private copy of the program and the control, so the program keeps its
// files in a temporary folder and never next to the build's binaries.
class Installation {
public:
    Installation() {
        const QDir bin(QCoreApplication::applicationDirPath());
        for (const char* name : {"TESSORAH", kPluginFileName}) {
            const QString from = bin.filePath(QString::fromLatin1(name));
            copied = copied && QFile::copy(from, Path(name));
            if (!copied)
                missing = from;
        }
        QFile::setPermissions(Path("TESSORAH"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Write(kUserListFileName, "ID=alice&PASSWORD=Secret&Enable=0&ConnectName=desk\r\n");
        // LF endings: a rewrite at exit is visible as CR LF.
        Write(kHostSettingsFileName, "[Main]\nListenPortNo=" + QByteArray::number(hostPort) + "\n");
    }
    QString Path(const char* name) const {
        return QDir(dir.path()).filePath(QString::fromLatin1(name));
    }
    void Write(const char* name, const QByteArray& bytes) const {
        QFile f(Path(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }
    QByteArray Read(const char* name) const {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QProcess* Start(const QStringList& arguments) {
        process.setProgram(Path("TESSORAH"));
        process.setArguments(arguments);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TAVRINO_CAPTURE", "silence");
        env.insert("TAVRINO_PLAYBACK", "null");
        env.insert("XDG_CONFIG_DIRS", dir.path()); // no language value: English
        env.insert("XDG_CONFIG_HOME", dir.path() + "/config");
        process.setProcessEnvironment(env);
        process.start();
        return &process;
    }
    ~Installation() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    const int hostPort = FreePort(); // the program's, from its settings file
    QTemporaryDir dir;
    QProcess process;
    bool copied = true;
    QString missing;
};

// Calls the host until it answers: the program needs a moment to start.
bool CallUntilConnected(TavrinoClient& caller, int hostPort, QVector<qint32>& statuses) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        statuses.clear();
        caller.CallBool(DISPID_DISCONNECT);
        if (!caller.CallBool(DISPID_CONNECT, {QStringLiteral("127.0.0.1"), hostPort,
                                              QStringLiteral("ID=alice&Password=Secret"), 2}))
            return false;
        WaitFor(
            [&statuses] {
                return statuses.contains(STATUS_CONNECTED) || statuses.contains(STATUS_TIMEOUT);
            },
            3000);
        if (statuses.contains(STATUS_CONNECTED))
            return true;
    }
    return false;
}

} // namespace

TEST(HostProgram, OnlineAtStartAdmitsCallersAndSigtermHangsUpAndSavesWithItsOutputGone) {
    Installation install;
    ASSERT_TRUE(install.copied) << "missing " << install.missing.toStdString();
    TavrinoClient caller;
    ASSERT_TRUE(caller.Load()) << caller.LoadError().toStdString();
    QVector<qint32> statuses;
    QObject::connect(&caller, &TavrinoClient::OnStatusEvent,
                     [&statuses](qint32 code) { statuses.push_back(code); });
    ASSERT_TRUE(
        caller.CallBool(DISPID_INITIALIZE, {0, QStringLiteral("Granite Granite Purple Moon")}));

    // Its status lines go into a pipe nobody reads: full (a write would wait), then closed.
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_NONBLOCK), 0);
    while (::write(ends[1], "x", 1) == 1) {
    }
    ::fcntl(ends[1], F_SETFL, 0);
    install.process.setChildProcessModifier([&ends] {
        ::dup2(ends[1], STDOUT_FILENO);
        ::close(ends[0]);
    });
    QProcess* p = install.Start({"--online"});
    ASSERT_TRUE(p->waitForStarted(5000));
    ASSERT_TRUE(CallUntilConnected(caller, install.hostPort, statuses))
        << p->readAllStandardError().toStdString();
    ::close(ends[0]);
    ::close(ends[1]);

    ::kill(static_cast<pid_t>(p->processId()), SIGTERM);
    ASSERT_TRUE(p->waitForFinished(10000));
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p->exitCode(), 0);
    EXPECT_TRUE(
        WaitFor([&statuses] { return statuses.contains(STATUS_REMOTE_DISCONNECTED); }, 3000));
    EXPECT_EQ(install.Read(kHostSettingsFileName),
              "[Main]\r\nListenPortNo=" + QByteArray::number(install.hostPort) + "\r\n");
    EXPECT_EQ(install.Read(kUserListFileName),
              QByteArray("ID=alice&PASSWORD=Secret&Enable=0&ConnectName=desk\r\n"));
    EXPECT_EQ(QFileInfo(install.Path(kUserListFileName)).permissions() &
                  (QFile::ReadOther | QFile::ReadGroup),
              QFile::Permissions());
    caller.CallVoid(DISPID_UNINITIALIZE);
}
