// CEventSink: fires the control's three events and owns the control's call engine.
#pragma once

#include "ICallEventSink.h"

#include <cstdint>
#include <memory>
#include <string>

class CCallEngine;
class CTavrinoStandardCtrl;

// Threads: the control's thread only; the engine calls it while its task window
// delivers a report, never from inside a method call.
class CEventSink : public ICallEventSink {
public:
    // The engine is created here and destroyed with the sink, which disconnects and
    // closes everything it owns.
    explicit CEventSink(CTavrinoStandardCtrl* ctrl);
    ~CEventSink() override;
    CEventSink(const CEventSink&) = delete;
    CEventSink& operator=(const CEventSink&) = delete;

    // Slot order is the order of the event ids 1, 2, 3.
    void FireStatus(int32_t code) override;
    void FireText(const std::string& text, const std::string& userData) override;
    void FireConnection(const std::string& address, int32_t port,
                        const std::string& userData) override;

    CCallEngine& Engine() const { return *m_engine; }

private:
    CTavrinoStandardCtrl* m_ctrl; // owns this sink
    std::unique_ptr<CCallEngine> m_engine;
};
