// SPDX-License-Identifier: GPL-3.0-or-later
// CEventSink: hands the call engine's three reports on to the control's events, as text.
#pragma once

#include "ICallEventSink.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <string>

// Threads: the control's thread only; the task window calls it while it delivers a
// report, never from inside a method call.
class CEventSink : public ICallEventSink {
public:
    // Where each report goes, its strings decoded from the locale's 8-bit text; each is
    // the last thing a report does, since the host's handler may destroy the control and
    // this sink with it.
    struct Events {
        std::function<void(qint32 code)> status;
        std::function<void(const QString& text, const QString& userData)> text;
        std::function<void(const QString& address, qint32 port, const QString& userData)>
            connection;
    };

    explicit CEventSink(Events events);
    CEventSink(const CEventSink&) = delete;
    CEventSink& operator=(const CEventSink&) = delete;

    // Slot order is the order of the event ids 1, 2, 3.
    void FireStatus(int32_t code) override;
    void FireText(const std::string& text, const std::string& userData) override;
    void FireConnection(const std::string& address, int32_t port,
                        const std::string& userData) override;

private:
    Events m_events;
};
