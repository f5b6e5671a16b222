// SPDX-License-Identifier: GPL-3.0-or-later
// tavrino-console tests: the line protocol, run as a separate process fed on standard input.
#include "ConsoleProcess.h"
#include "RawPeer.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// One running console with the silence and null devices.
using Console = ConsoleProcess;

} // namespace

TEST(ConsoleTest, PrintsOneLinePerResultAndKeepsGoingAfterBadLines) {
    Console c;
    ASSERT_TRUE(c.started);
    c.Write("GetObjectError\n"
            "Disconnect\n"
            "#20\n"
            "DisableBusyState\n"
            "\n"
            "Foo 1\n"
            "#19\n"
            "#x\n"
            "Connect 1\n"
            "Initialize \"x\" \"k\"\n"
            "Initialize 99999999999 \"k\"\n"
            "Initialize 0 \"unterminated\n"
            "SendTextMsg \"a\"b \"c\"\n"
            "MuteSpk maybe\n"
            "SendTextMsg \"\\q\" \"\"\n"
            "wait soon\n"
            "getobjecterror\n"
            "Initialize +0 \"\\x4b\\x45Y\"\n"
            "EnableCryptography\n"
            "#15\n"
            "UnInitialize\n"
            "quit\n"
            "GetObjectError\n");
    ASSERT_TRUE(c.Finish());
    EXPECT_EQ(c.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(c.process.exitCode(), 0);
    const std::vector<QByteArray> results{"= 0", "= FALSE", "= 10",   "= -",    "?",   "?",  "?",
                                          "?",   "?",       "?",      "?",      "?",   "?",  "?",
                                          "?",   "= 10",    "= TRUE", "= TRUE", "= 0", "= -"};
    QByteArray all;
    for (const auto& line : c.lines)
        all += line + '\n';
    ASSERT_EQ(c.lines.size(), results.size()) << all.constData();
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (results[i] == "?")
            EXPECT_TRUE(c.lines[i].startsWith("? ")) << i << ": " << c.lines[i].constData();
        else
            EXPECT_EQ(c.lines[i], results[i]) << i;
    }
}

TEST(ConsoleTest, EventsPrintDuringWaitAndBeforeTheNextCommand) {
    Console c;
    ASSERT_TRUE(c.started);
    const RawPeer silent; // a host that never answers
    c.Write("Initialize 0 \"k\"\n"
            "Connect \"127.0.0.1\" " + QByteArray::number(silent.Port()) + " \"u\" 1\n"
            "wait 1500\n"
            "GetObjectError\n");
    ASSERT_TRUE(c.WaitForLines(5));
    EXPECT_EQ(c.lines[0], "= TRUE");
    EXPECT_EQ(c.lines[1], "= TRUE");
    EXPECT_EQ(c.lines[2], "! OnStatusEvent 51");
    EXPECT_EQ(c.lines[3], "! OnStatusEvent 50");
    EXPECT_EQ(c.lines[4], "= 10");
    // End of input does what quit does.
    c.process.closeWriteChannel();
    ASSERT_TRUE(c.Finish());
    EXPECT_EQ(c.process.exitCode(), 0);
    EXPECT_EQ(c.lines.size(), 5u);
}

TEST(ConsoleTest, TwoConsolesHoldACallOnLoopback) {
    Console host;
    Console remote;
    ASSERT_TRUE(host.started && remote.started);
    const QByteArray hostPort = host.InitializeAnyPort("TESSORA");
    const QByteArray remotePort = remote.InitializeAnyPort("TESSORA");
    host.Write("DisableCryptography\n");
    remote.Write("DisableCryptography\nConnect \"127.0.0.1\" " + hostPort +
                 " \"ID=a&Password=b\" 20\n");
    ASSERT_TRUE(host.WaitForLine("! OnConnectionEvent \"127.0.0.1\" " + remotePort +
                                 " \"ID=a&Password=b\""));
    host.Write("AcceptIncomingCall \"127.0.0.1\" " + remotePort + " 20\nEnableBusyState\n");
    ASSERT_TRUE(remote.WaitForLine("! OnStatusEvent 53"));
    ASSERT_TRUE(host.WaitForLine("! OnStatusEvent 53"));

    // Text with every escape travels and prints back the same way.
    remote.Write("SendTextMsg \"a \\\"b\\\" \\\\ \\n\\r\\t\\x01\" \"\\x7f\"\n");
    ASSERT_TRUE(host.WaitForLine("! OnTextEvent \"a \\\"b\\\" \\\\ \\n\\r\\t\\x01\" \"\\x7F\""));

    host.Write("Disconnect\n");
    ASSERT_TRUE(remote.WaitForLine("! OnStatusEvent 54"));
    remote.Write("Disconnect\nUnInitialize\nquit\n");
    host.Write("quit\n");
    ASSERT_TRUE(remote.Finish());
    ASSERT_TRUE(host.Finish());
    EXPECT_EQ(remote.process.exitCode(), 0);
    EXPECT_EQ(host.process.exitCode(), 0);
    EXPECT_EQ(remote.lines.back(), "= -");
}

TEST(ConsoleTest, MissingPluginIsReportedAndFails) {
    Console c({}, {"--plugin", "/nonexistent/TAVRINOSTANDARD.so"});
    ASSERT_TRUE(c.started);
    ASSERT_TRUE(c.Finish());
    EXPECT_NE(c.process.exitCode(), 0);
    EXPECT_FALSE(c.process.readAllStandardError().isEmpty());
}

TEST(ConsoleTest, ExplicitPluginPathLoadsTheControl) {
    Console c({}, Console::PluginArguments());
    ASSERT_TRUE(c.started);
    c.Write("GetObjectError\n");
    c.process.closeWriteChannel();
    ASSERT_TRUE(c.Finish());
    EXPECT_EQ(c.process.exitCode(), 0);
    ASSERT_EQ(c.lines.size(), 1u);
    EXPECT_EQ(c.lines[0], "= 0");
}
