// SPDX-License-Identifier: GPL-3.0-or-later
// ConsoleSession: runs tavrino-console's commands from standard input against one loaded control.
#include "ConsoleSession.h"

#include "ConsoleSyntax.h"
#include "TavrinoClient.h"
#include "TavrinoStandardApi.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace {

template <std::size_t N>
const Tavrino::MethodInfo* FindIn(const std::array<Tavrino::MethodInfo, N>& table,
                                  const QString& name) {
    // Dispatch names are matched without regard to case, as late binding does.
    for (const auto& m : table)
        if (name.compare(QLatin1String(m.name), Qt::CaseInsensitive) == 0)
            return &m;
    return nullptr;
}

const Tavrino::MethodInfo* FindByName(const QString& name) {
    if (const auto* m = FindIn(Tavrino::kMethods, name))
        return m;
    if (const auto* m = FindIn(Tavrino::kExtensionMethods, name))
        return m;
    return FindIn(Tavrino::kCallMethods, name);
}

} // namespace

ConsoleSession::ConsoleSession(TavrinoClient* client, QObject* parent)
    : QObject(parent), m_client(client) {}

ConsoleSession::~ConsoleSession() = default;

void ConsoleSession::Print(const QByteArray& line) {
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void ConsoleSession::Start() {
    using ConsoleSyntax::Quote;
    connect(m_client, &TavrinoClient::OnStatusEvent, this,
            [](qint32 code) { Print("! OnStatusEvent " + QByteArray::number(code)); });
    connect(m_client, &TavrinoClient::OnTextEvent, this,
            [](const QString& text, const QString& userData) {
                Print("! OnTextEvent " + Quote(text) + ' ' + Quote(userData));
            });
    connect(m_client, &TavrinoClient::OnConnectionEvent, this,
            [](const QString& ip, qint32 port, const QString& userData) {
                Print("! OnConnectionEvent " + Quote(ip) + ' ' + QByteArray::number(port) + ' ' +
                      Quote(userData));
            });
    m_input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    connect(m_input.get(), &QSocketNotifier::activated, this, &ConsoleSession::OnInputReadable);
}

void ConsoleSession::OnInputReadable() {
    char chunk[4096];
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        // End of input (or an unreadable input): what is left runs, then the console quits.
        m_input->setEnabled(false);
        m_endOfInput = true;
        if (!m_partial.isEmpty())
            m_lines.push_back(std::exchange(m_partial, QByteArray()));
    } else {
        m_partial.append(chunk, static_cast<qsizetype>(n));
        qsizetype newline = 0;
        while ((newline = m_partial.indexOf('\n')) >= 0) {
            m_lines.push_back(m_partial.left(newline));
            m_partial.remove(0, newline + 1);
        }
    }
    ScheduleNext();
}

void ConsoleSession::ScheduleNext() {
    if (m_scheduled || m_waiting || m_quitting)
        return;
    m_scheduled = true;
    QMetaObject::invokeMethod(this, &ConsoleSession::RunNext, Qt::QueuedConnection);
}

void ConsoleSession::RunNext() {
    m_scheduled = false;
    if (m_waiting || m_quitting)
        return;
    if (m_lines.empty()) {
        if (m_endOfInput)
            Quit();
        return; // more input will schedule the next run
    }
    const QByteArray line = m_lines.front();
    m_lines.pop_front();
    Execute(line);
    ScheduleNext();
}

void ConsoleSession::Execute(const QByteArray& line) {
    ConsoleSyntax::Command command;
    QString error;
    if (!ConsoleSyntax::Parse(line, &command, &error)) {
        Print("? " + error.toLocal8Bit());
        return;
    }
    if (command.name.isEmpty())
        return;

    if (command.name == QLatin1String("quit")) {
        Quit();
        return;
    }
    if (command.name == QLatin1String("wait")) {
        if (command.args.size() != 1 || command.args[0].typeId() != QMetaType::LongLong ||
            command.args[0].toLongLong() < 0 || command.args[0].toLongLong() > INT_MAX) {
            Print("? wait takes one number of milliseconds");
            return;
        }
        m_waiting = true;
        QTimer::singleShot(static_cast<int>(command.args[0].toLongLong()), this,
                           &ConsoleSession::EndWait);
        return;
    }

    const Tavrino::MethodInfo* method = nullptr;
    if (command.name.startsWith(QLatin1Char('#'))) {
        bool isNumber = false;
        const int id = command.name.mid(1).toInt(&isNumber, 10);
        method = isNumber ? Tavrino::FindMethod(id) : nullptr;
        if (!method) {
            Print("? unknown dispatch id " + command.name.mid(1).toLocal8Bit());
            return;
        }
    } else {
        method = FindByName(command.name);
        if (!method) {
            Print("? unknown method " + command.name.toLocal8Bit());
            return;
        }
    }
    const auto expected = static_cast<qsizetype>(std::strlen(method->params));
    if (command.args.size() != expected) {
        Print(QByteArray("? ") + method->name + " takes " + QByteArray::number(expected) +
              (expected == 1 ? " argument" : " arguments"));
        return;
    }

    bool ok = false;
    const QVariant result = m_client->Invoke(method->dispid, command.args, &ok);
    if (!ok) {
        Print(QByteArray("? ") + method->name + ": an argument has the wrong type or range");
        return;
    }
    switch (method->result) {
    case 'b':
        Print(result.toBool() ? "= TRUE" : "= FALSE");
        break;
    case 'l':
        Print("= " + QByteArray::number(result.toInt()));
        break;
    case 's':
        Print("= " + ConsoleSyntax::Quote(result.toString()));
        break;
    default:
        Print("= -");
        break;
    }
}

void ConsoleSession::EndWait() {
    m_waiting = false;
    ScheduleNext();
}

void ConsoleSession::Quit() {
    if (m_quitting)
        return;
    m_quitting = true;
    if (m_input)
        m_input->setEnabled(false);
    m_client->Unload(); // destroying the control uninitialises it
    QCoreApplication::exit(0);
}
