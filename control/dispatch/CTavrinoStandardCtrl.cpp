// SPDX-License-Identifier: GPL-3.0-or-later
// CTavrinoStandardCtrl: the control as a host sees it: late-bound methods and three events.
#include "CTavrinoStandardCtrl.h"

#include "CAudioExtensions.h"
#include "CAudioSession.h"
#include "CCallEngine.h"
#include "CEventSink.h"
#include "CMixerMethods.h"
#include "ServedMethods.h"

#include <QByteArray>
#include <QMetaType>

#include <array>

#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

using namespace Tavrino;

namespace {

using Served::Serve;

// In the order of kMethods.
constexpr std::array<Served::Entry, kMethods.size()> kServed{{
    Serve<&CCallEngine::UnInitialize>(DISPID_UNINITIALIZE),
    Serve<&CCallEngine::Disconnect>(DISPID_DISCONNECT),
    Serve<&CCallEngine::AcceptIncomingCall>(DISPID_ACCEPT_INCOMING_CALL),
    Serve<&CMixerMethods::SetSpkVolume>(DISPID_SET_SPK_VOLUME),
    Serve<&CMixerMethods::GetSpkVolume>(DISPID_GET_SPK_VOLUME),
    Serve<&CMixerMethods::SetMicVolume>(DISPID_SET_MIC_VOLUME),
    Serve<&CMixerMethods::GetMicVolume>(DISPID_GET_MIC_VOLUME),
    Serve<&CCallEngine::CancelIncomingCall>(DISPID_CANCEL_INCOMING_CALL),
    Serve<&CCallEngine::DisableBusyState>(DISPID_DISABLE_BUSY_STATE),
    Serve<&CCallEngine::EnableBusyState>(DISPID_ENABLE_BUSY_STATE),
    Serve<&CCallEngine::DisableNotAvailableState>(DISPID_DISABLE_NOT_AVAILABLE_STATE),
    Serve<&CCallEngine::EnableNotAvailableState>(DISPID_ENABLE_NOT_AVAILABLE_STATE),
    Serve<&CCallEngine::MuteMic>(DISPID_MUTE_MIC),
    Serve<&CCallEngine::MuteSpk>(DISPID_MUTE_SPK),
    Serve<&CCallEngine::GetOutBoundTotalBytes>(DISPID_GET_OUTBOUND_TOTAL_BYTES),
    Serve<&CCallEngine::GetInBoundTotalBytes>(DISPID_GET_INBOUND_TOTAL_BYTES),
    Serve<&CCallEngine::GetOutBoundDataRate>(DISPID_GET_OUTBOUND_DATA_RATE),
    Serve<&CCallEngine::GetInBoundDataRate>(DISPID_GET_INBOUND_DATA_RATE),
    Serve<&CCallEngine::GetObjectError>(DISPID_GET_OBJECT_ERROR),
    Serve<&CCallEngine::Initialize>(DISPID_INITIALIZE),
    Serve<&CCallEngine::EnableCryptography>(DISPID_ENABLE_CRYPTOGRAPHY),
    Serve<&CCallEngine::DisableCryptography>(DISPID_DISABLE_CRYPTOGRAPHY),
    Serve<&CMixerMethods::EnableMicBoost>(DISPID_ENABLE_MIC_BOOST),
    Serve<&CMixerMethods::DisableMicBoost>(DISPID_DISABLE_MIC_BOOST),
    Serve<&CMixerMethods::IsMicBoostEnable>(DISPID_IS_MIC_BOOST_ENABLE),
    Serve<&CCallEngine::Connect>(DISPID_CONNECT),
    Serve<&CCallEngine::SendTextMsg>(DISPID_SEND_TEXT_MSG),
    Serve<&CCallEngine::EnableVoiceActivityDetection>(DISPID_ENABLE_VOICE_ACTIVITY_DETECTION),
    Serve<&CCallEngine::DisableVoiceActivityDetection>(DISPID_DISABLE_VOICE_ACTIVITY_DETECTION),
}};

// In the order of kExtensionMethods.
constexpr std::array<Served::Entry, kExtensionMethods.size()> kAudioServed{{
    Serve<&CAudioExtensions::GetAudioDevices>(DISPID_GET_AUDIO_DEVICES),
    Serve<&CAudioExtensions::SetCaptureDevice>(DISPID_SET_CAPTURE_DEVICE),
    Serve<&CAudioExtensions::SetPlaybackDevice>(DISPID_SET_PLAYBACK_DEVICE),
    Serve<&CAudioExtensions::GetInputLevel>(DISPID_GET_INPUT_LEVEL),
    Serve<&CAudioExtensions::StartInputTest>(DISPID_START_INPUT_TEST),
    Serve<&CAudioExtensions::StopInputTest>(DISPID_STOP_INPUT_TEST),
    Serve<&CAudioExtensions::PlayTestTone>(DISPID_PLAY_TEST_TONE),
    Serve<&CAudioExtensions::SetAudioProcessing>(DISPID_SET_AUDIO_PROCESSING),
    Serve<&CAudioExtensions::GetAudioNotices>(DISPID_GET_AUDIO_NOTICES),
}};

// In the order of kCallMethods.
constexpr std::array<Served::Entry, kCallMethods.size()> kCallServed{{
    Serve<&CCallEngine::ConnectSecure>(DISPID_CONNECT_SECURE),
    Serve<&CCallEngine::AcceptSecureCall>(DISPID_ACCEPT_SECURE_CALL),
    Serve<&CCallEngine::GetRequestSecurity>(DISPID_GET_REQUEST_SECURITY),
    Serve<&CCallEngine::GetCallSecurity>(DISPID_GET_CALL_SECURITY),
    Serve<&CCallEngine::GetSecureOutcome>(DISPID_GET_SECURE_OUTCOME),
    Serve<&CCallEngine::GetPeerAddress>(DISPID_GET_PEER_ADDRESS),
    Serve<&CCallEngine::GetPeerPort>(DISPID_GET_PEER_PORT),
    Serve<&CCallEngine::GetLocalPort>(DISPID_GET_LOCAL_PORT),
    Serve<&CCallEngine::GetConfirmedUser>(DISPID_GET_CONFIRMED_USER),
    Serve<&CCallEngine::SetWidebandVoice>(DISPID_SET_WIDEBAND_VOICE),
    Serve<&CCallEngine::GetCallVoice>(DISPID_GET_CALL_VOICE),
    Serve<&CCallEngine::GetCallStatistics>(DISPID_GET_CALL_STATISTICS),
    Serve<&CCallEngine::GetCallSummary>(DISPID_GET_CALL_SUMMARY),
}};

static_assert(Served::ServesTheTable(kServed, kMethods),
              "every method of kMethods runs the member of its signature");
static_assert(Served::ServesTheTable(kAudioServed, kExtensionMethods),
              "every method of kExtensionMethods runs the member of its signature");
static_assert(Served::ServesTheTable(kCallServed, kCallMethods),
              "every method of kCallMethods runs the member of its signature");

template <std::size_t N>
const Served::Entry* EntryIn(const std::array<MethodInfo, N>& methods,
                             const std::array<Served::Entry, N>& served, const MethodInfo* method) {
    if (method >= methods.data() && method < methods.data() + N)
        return &served[static_cast<std::size_t>(method - methods.data())];
    return nullptr;
}

// The member that serves `method` (one of the tables' own rows).
const Served::Entry* EntryFor(const MethodInfo* method) {
    if (const Served::Entry* entry = EntryIn(kMethods, kServed, method))
        return entry;
    if (const Served::Entry* entry = EntryIn(kExtensionMethods, kAudioServed, method))
        return entry;
    return EntryIn(kCallMethods, kCallServed, method);
}

} // namespace

CTavrinoStandardCtrl::CTavrinoStandardCtrl(QObject* parent)
    : QObject(parent),
      m_sink(std::make_unique<CEventSink>(CEventSink::Events{
          [this](qint32 code) { emit OnStatusEvent(code); },
          [this](const QString& text, const QString& userData) {
              emit OnTextEvent(text, userData);
          },
          [this](const QString& address, qint32 port, const QString& userData) {
              emit OnConnectionEvent(address, port, userData);
          }})),
      // Device threads notice; the owner hears it on its own thread, queued.
      m_session(std::make_unique<CAudioSession>([this](int notice) {
          QMetaObject::invokeMethod(
              this, [this, notice] { emit OnAudioNotice(notice); }, Qt::QueuedConnection);
      })),
      m_engine(std::make_unique<CCallEngine>(m_sink.get(), RealCallPlatform(*m_session))),
      m_mixer(std::make_unique<CMixerMethods>([this] { return m_engine->Settings().mixer; },
                                              [this](int32_t error) { m_engine->Fail(error); })),
      m_audio(std::make_unique<CAudioExtensions>(*m_session)) {}

CTavrinoStandardCtrl::~CTavrinoStandardCtrl() = default;

CCallEngine& CTavrinoStandardCtrl::Engine() const {
    return *m_engine;
}

QVariant CTavrinoStandardCtrl::Invoke(qint32 dispid, const QVariantList& args, bool* ok) {
    if (ok)
        *ok = false;
    try {
        return Dispatch(dispid, args, ok);
    } catch (const std::exception&) {
        // Only memory can run out here (a huge argument or payload): the call fails and
        // the host goes on; nothing may unwind into the host's code.
        if (ok)
            *ok = false;
        return {};
    }
}

QVariant CTavrinoStandardCtrl::Dispatch(qint32 dispid, const QVariantList& args, bool* ok) {
    const MethodInfo* method = FindMethod(dispid);
    std::vector<Arg> a;
    if (!method || !Coerce(*method, args, &a))
        return {};
    ControlParts parts{*m_engine, *m_mixer, *m_audio};
    QVariant result = EntryFor(method)->run(parts, a);
    if (ok)
        *ok = true;
    return result;
}
