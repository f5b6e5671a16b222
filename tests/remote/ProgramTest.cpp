// SPDX-License-Identifier: GPL-3.0-or-later
// TESSORAR as a program: an unknown --connect name, and a call placed with --connect that
// SIGTERM hangs up. It runs from a scratch folder, never beside the build. What both
// stations share runs in StationProgramTest.
#include "RemoteTestSupport.h"

#include "WaitFor.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>


namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Waits with the event loop running for a line of the program's output holding `text`.
bool WaitForOutput(QProcess& program, QByteArray& seen, const QByteArray& text, int timeoutMs) {
    return WaitFor(
        [&] {
            seen += program.readAllStandardOutput();
            return seen.contains(text);
        },
        timeoutMs);
}

// One scratch folder for the whole suite: later tests start from the files earlier ones left.
class RemoteProgram : public testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite() { delete m_scratch; }
    static void StartProgram(QProcess& program, const QStringList& arguments);

    static inline QTemporaryDir* m_scratch = nullptr;
    static inline QString m_folder;
};

} // namespace

void RemoteProgram::SetUpTestSuite() {
    m_scratch = new QTemporaryDir;
    ASSERT_TRUE(m_scratch->isValid());
    // The station keeps its files beside its executable: run a copy in a scratch folder.
    const QDir bin(QCoreApplication::applicationDirPath());
    m_folder = m_scratch->path();
    for (const char* name : {"TESSORAR", "TAVRINOSTANDARD.so"}) {
        const QString from = bin.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(QFileInfo::exists(from)) << from + QStringLiteral(" is missing");
        ASSERT_TRUE(QFile::copy(from, QDir(m_folder).filePath(QString::fromLatin1(name))));
    }
    QDir(m_folder).mkpath(QStringLiteral("xdg/HALVORN Corporation"));
    Write(QDir(m_folder).filePath(QStringLiteral("xdg/HALVORN Corporation/TESSORA.conf")),
          "[General]\nLanguage=English\n");
}

void RemoteProgram::StartProgram(QProcess& program, const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TAVRINO_BIND_ADDRESS"), QStringLiteral("127.0.0.3"));
    env.insert(QStringLiteral("TAVRINO_CAPTURE"), QStringLiteral("silence"));
    env.insert(QStringLiteral("TAVRINO_PLAYBACK"), QStringLiteral("null"));
    env.insert(QStringLiteral("XDG_CONFIG_DIRS"), QDir(m_folder).filePath(QStringLiteral("xdg")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"),
               QDir(m_folder).filePath(QStringLiteral("config")));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(m_folder);
    program.start(QDir(m_folder).filePath(QStringLiteral("TESSORAR")), arguments);
    ASSERT_TRUE(program.waitForStarted(5000));
}

TEST_F(RemoteProgram, UnknownConnectionIsRefusedBeforeAnythingIsSaved) {
    const QString list = QDir(m_folder).filePath(QStringLiteral("Connect.dat"));
    const QString settings = QDir(m_folder).filePath(QStringLiteral("TESSORAR.ini"));
    QFile::remove(settings);
    const QByteArray stored = "ConnectName=Known&Description=&IP "
                              "Address=127.0.0.2&PortNo=33550&UserName=u&Password=p\r\n";
    Write(list, stored);
    QProcess program;
    StartProgram(program, {QStringLiteral("--connect"), QStringLiteral("Unknown")});
    ASSERT_TRUE(program.waitForFinished(10000));
    ASSERT_EQ(program.exitCode(), 2);
    ASSERT_TRUE(program.readAllStandardError().contains("\"Unknown\""));
    ASSERT_EQ(ReadAll(list), stored);
    ASSERT_FALSE(QFileInfo::exists(settings));
}

TEST_F(RemoteProgram, ConnectOptionCallsAndSigtermHangsUp) {
    // The host console first: the stored connection calls the port the system gave it.
    HostConsole host;
    ASSERT_TRUE(host.started) << host.error;
    ASSERT_EQ(host.Call("Initialize 0 \"k\""), QByteArray("= TRUE"));
    const int port = host.Call("GetLocalPort").mid(2).toInt();
    const QByteArray line = "ConnectName=Demo&Description=demo&IP Address=127.0.0.2&PortNo=" +
                            QByteArray::number(port) + "&UserName=demo&Password=demo&pass=word\r\n";
    Write(QDir(m_folder).filePath(QStringLiteral("Connect.dat")),
          "ConnectName=Other&Description=&IP Address=127.0.0.9&PortNo=2000&UserName=o&Password=o"
          "\r\n" +
              line);
    Write(QDir(m_folder).filePath(QStringLiteral("TESSORAR.ini")),
          "[INIT]\r\nSelectItem=Other\r\n");

    QProcess program;
    StartProgram(program, {QStringLiteral("--connect"), QStringLiteral("Demo")});
    const QByteArray announced = host.TakeLine("! OnConnectionEvent", 15000);
    ASSERT_EQ(announced,
              "! OnConnectionEvent \"127.0.0.3\" " + QByteArray::number(port) + " \"ID=demo\"");
    ASSERT_EQ(host.Call("AcceptSecureCall \"127.0.0.3\" " + QByteArray::number(port) +
                        " \"demo&pass=word\" 20"),
              QByteArray("= TRUE"));
    QByteArray output;
    ASSERT_TRUE(WaitForOutput(program, output, "status 53: Successfully connected.", 10000))
        << output.constData();

    program.terminate(); // SIGTERM
    ASSERT_FALSE(host.TakeLine("! OnStatusEvent 54").isEmpty());
    ASSERT_TRUE(program.waitForFinished(10000));
    ASSERT_EQ(program.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(program.exitCode(), 0);
    output += program.readAllStandardOutput();
    ASSERT_TRUE(output.contains("traffic: sent ")) << output.constData();
    ASSERT_EQ(ReadAll(QDir(m_folder).filePath(QStringLiteral("TESSORAR.ini"))),
              QByteArray("[INIT]\r\nSelectItem=Demo\r\n"));
    ASSERT_TRUE(ReadAll(QDir(m_folder).filePath(QStringLiteral("Connect.dat"))).endsWith(line));
}
