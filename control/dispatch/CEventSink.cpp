// SPDX-License-Identifier: GPL-3.0-or-later
// CEventSink: hands the call engine's three reports on to the control's events, as text.
#include "CEventSink.h"

#include "LocalText.h"

#include <utility>

namespace {

// Lossless: a byte that does not decode still reaches the host, as itself.
QString FromAnsi(const std::string& s) {
    return Tavrino::DecodeLocalText(QByteArrayView(s.data(), static_cast<qsizetype>(s.size())));
}

} // namespace

CEventSink::CEventSink(Events events) : m_events(std::move(events)) {}

void CEventSink::FireStatus(int32_t code) {
    if (m_events.status)
        m_events.status(code);
}

void CEventSink::FireText(const std::string& text, const std::string& userData) {
    if (m_events.text)
        m_events.text(FromAnsi(text), FromAnsi(userData));
}

void CEventSink::FireConnection(const std::string& address, int32_t port,
                                const std::string& userData) {
    if (m_events.connection)
        m_events.connection(FromAnsi(address), port, FromAnsi(userData));
}
