// CEventSink: fires the control's three events and owns the control's call engine.
#include "CEventSink.h"

#include "CCallEngine.h"
#include "CTavrinoStandardCtrl.h"
#include "LocalText.h"

#include <QString>

namespace {

// Lossless: a byte that does not decode still reaches the host, as itself.
QString FromAnsi(const std::string& s) {
    return Tavrino::DecodeLocalText(QByteArrayView(s.data(), static_cast<qsizetype>(s.size())));
}

} // namespace

CEventSink::CEventSink(CTavrinoStandardCtrl* ctrl)
    : m_ctrl(ctrl), m_engine(std::make_unique<CCallEngine>(this)) {}

CEventSink::~CEventSink() = default;

// Each emit is the last thing done: the host's handler may destroy the control, and
// this sink with it.
void CEventSink::FireStatus(int32_t code) {
    if (m_ctrl)
        emit m_ctrl->OnStatusEvent(code);
}

void CEventSink::FireText(const std::string& text, const std::string& userData) {
    if (m_ctrl)
        emit m_ctrl->OnTextEvent(FromAnsi(text), FromAnsi(userData));
}

void CEventSink::FireConnection(const std::string& address, int32_t port,
                                const std::string& userData) {
    if (m_ctrl)
        emit m_ctrl->OnConnectionEvent(FromAnsi(address), port, FromAnsi(userData));
}
