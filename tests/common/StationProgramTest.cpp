// SPDX-License-Identifier: GPL-3.0-or-later
// Both station programs as processes, one suite run against each: the command line, and
// SIGINT and SIGTERM ending an idle station as File > Exit does, also when its files are in
// the way. Each runs from a scratch folder of its own, never beside the build.
#include "WaitFor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <ostream>
#include <utility>
#include <vector>

namespace {

struct StationProgram {
    const char* program;
    const char* option; // what --help must list
    std::vector<std::pair<const char*, QByteArray>> files; // written before each start
    const char* savedFile;  // rewritten on the way out
    QByteArray savedText;   // what it then holds
    std::vector<const char*> blockedFiles; // a folder put in place of each
    bool blockedNamedOnStandardError;       // the failures reach standard error, by path
};

// In test names and failures, a station is its program's name.
void PrintTo(const StationProgram& station, std::ostream* out) {
    *out << station.program;
}

// The host: an offline station rewrites its settings with CR LF; both of its files
// blocked are both reported. The remote: the last of two stored choices is the one kept.
const StationProgram kHost{
    "TESSORAH",
    "--online",
    {{"TESSORAH.ini", "ID=alice&PASSWORD=Secret&Enable=0&ConnectName=desk\r\n"},
     {"TESSORA-H.ini", "[Main]\nListenPortNo=33550\n"}}, // LF ends: the rewrite shows
    "TESSORA-H.ini",
    "[Main]\r\nListenPortNo=33550\r\n",
    {"TESSORAH.ini", "TESSORA-H.ini"},
    true};
const StationProgram kRemote{
    "TESSORAR",
    "--connect <NAME>",
    {{"Connect.dat", "ConnectName=Demo&Description=demo&IP Address=127.0.0.2&PortNo=33550"
                     "&UserName=demo&Password=demo\r\n"
                     "ConnectName=Other&Description=&IP Address=127.0.0.9&PortNo=2000"
                     "&UserName=o&Password=o\r\n"},
     {"TESSORAR.ini", "[INIT]\r\nSelectItem=Demo\r\nSelectItem=Other\r\n"}},
    "TESSORAR.ini",
    "[INIT]\r\nSelectItem=Other\r\n",
    {"Connect.dat"},
    false};

// True once the process has its own SIGINT and SIGTERM handlers in place (Linux /proc).
bool HandlesTerminationSignals(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("SigCgt:"))
            continue;
        bool ok = false;
        const qulonglong caught = line.mid(7).trimmed().toULongLong(&ok, 16);
        const qulonglong wanted = (1ULL << (SIGINT - 1)) | (1ULL << (SIGTERM - 1));
        return ok && (caught & wanted) == wanted;
    }
    return false;
}

class StationProgramTest : public testing::TestWithParam<StationProgram> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        const QDir bin(QCoreApplication::applicationDirPath());
        for (const char* name : {GetParam().program, "TAVRINOSTANDARD.so"}) {
            const QString from = bin.filePath(QString::fromLatin1(name));
            ASSERT_TRUE(QFile::copy(from, Path(name))) << from.toStdString() << " is missing";
        }
        QFile::setPermissions(Path(GetParam().program),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        for (const auto& [name, text] : GetParam().files)
            Write(name, text);
        QDir(m_dir.path()).mkpath(QStringLiteral("xdg/HALVORN Corporation"));
        Write("xdg/HALVORN Corporation/TESSORA.conf", "[General]\nLanguage=English\n");
    }
    void TearDown() override {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    QString Path(const char* name) const {
        return QDir(m_dir.path()).filePath(QString::fromLatin1(name));
    }
    void Write(const char* name, const QByteArray& bytes) const {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << name;
        f.write(bytes);
    }
    QByteArray Read(const char* name) const {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void Start(const QStringList& arguments) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TAVRINO_CAPTURE", "silence");
        env.insert("TAVRINO_PLAYBACK", "null");
        env.insert("TESSORA_UPNP", "off");
        env.insert("XDG_CONFIG_DIRS", Path("xdg"));
        env.insert("XDG_CONFIG_HOME", Path("config"));
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(m_dir.path());
        m_process.start(Path(GetParam().program), arguments);
        ASSERT_TRUE(m_process.waitForStarted(5000));
    }
    // Starts the station without options and sends it `signal` once it can take it.
    void StartAndSignal(int signal) {
        Start({});
        ASSERT_TRUE(WaitFor([&] { return HandlesTerminationSignals(m_process.processId()); },
                            10000));
        ::kill(static_cast<pid_t>(m_process.processId()), signal);
        ASSERT_TRUE(m_process.waitForFinished(10000));
        EXPECT_EQ(m_process.exitStatus(), QProcess::NormalExit);
    }

    QTemporaryDir m_dir;
    QProcess m_process;
};

TEST_P(StationProgramTest, HelpListsItsOption) {
    Start({QStringLiteral("--help")});
    ASSERT_TRUE(m_process.waitForFinished(10000));
    EXPECT_EQ(m_process.exitCode(), 0);
    const QByteArray help = m_process.readAllStandardOutput();
    EXPECT_TRUE(help.contains(GetParam().option)) << help.constData();
}

TEST_P(StationProgramTest, SigintEndsAnIdleStationAndSavesItsFiles) {
    StartAndSignal(SIGINT);
    EXPECT_EQ(m_process.exitCode(), 0) << m_process.readAllStandardError().constData();
    EXPECT_EQ(Read(GetParam().savedFile), GetParam().savedText);
    EXPECT_EQ(QFileInfo(Path(GetParam().savedFile)).permissions() &
                  (QFile::ReadOther | QFile::ReadGroup),
              QFile::Permissions());
}

TEST_P(StationProgramTest, SigtermEndsTheStationAlsoWhenItsFilesAreInTheWay) {
    // A folder in place of each file: it can be neither read nor replaced. A box that
    // reports it waits for an operator who is not there.
    for (const char* name : GetParam().blockedFiles) {
        QFile::remove(Path(name));
        ASSERT_TRUE(QDir(Path(name)).mkpath(QStringLiteral("keep")));
    }
    StartAndSignal(SIGTERM);
    if (!GetParam().blockedNamedOnStandardError)
        return;
    const QString errors = QString::fromLocal8Bit(m_process.readAllStandardError());
    for (const char* name : GetParam().blockedFiles)
        EXPECT_TRUE(errors.contains(Path(name))) << errors.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Stations, StationProgramTest, testing::Values(kHost, kRemote),
                         [](const testing::TestParamInfo<StationProgram>& info) {
                             return std::string(info.param.program);
                         });

} // namespace
