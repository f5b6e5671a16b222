// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the remote station's tests: a sandbox with an empty connection store,
// stored records, and a host station's control in its own process.
#pragma once

#include "ApplicationName.h"
#include "ConsoleProcess.h"
#include "StationTestSupport.h"
#include "modControlCommon.h"

// Every remote test program runs as TESSORAR does.
inline testing::Environment* const kRemoteApplicationName =
    testing::AddGlobalTestEnvironment(new ApplicationName("TESSORA-R"));

// A fresh program folder and machine settings folder for one test; the in-memory store is
// emptied and the language set. Everything is undone on destruction.
class RemoteSandbox : public TestFolder, public LanguageSetting {
public:
    explicit RemoteSandbox(const QString& language = QStringLiteral("English"));
    ~RemoteSandbox();
};

// A host station's voice control in its own process (tavrino-console on 127.0.0.2), driven
// line by line while the remote window under test runs in the test's process on 127.0.0.3.
class HostConsole : public ConsoleProcess {
public:
    HostConsole() : ConsoleProcess({{"TAVRINO_BIND_ADDRESS", "127.0.0.2"}}, PluginArguments()) {}
};

// The remote window under test binds 127.0.0.3 with the silence and null devices; the
// control it loads must be built. Empty, or what is missing.
QString UseControlOnRemoteAddress();

ConnectionRecord MakeRecord(const QString& name, const QString& password = QStringLiteral("pw"),
                            const QString& port = QStringLiteral("33550"),
                            const QString& address = QStringLiteral("127.0.0.2"),
                            const QString& user = QStringLiteral("user"));
// Empties the store.
void ClearConnections();
