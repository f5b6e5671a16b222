// SPDX-License-Identifier: GPL-3.0-or-later
// CTavrinoStandardCtrl: the control as a host sees it: late-bound methods and three events.
#include "CTavrinoStandardCtrl.h"

#include "CAudioExtensions.h"
#include "CCallEngine.h"
#include "CEventSink.h"
#include "LocalText.h"

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

// One argument after coercion to the type the method's parameter asks for.
struct Arg {
    int32_t number = 0;
    std::string text;
    bool flag = false;
};

std::optional<int32_t> FromWide(long double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    // Dispatch rounds half to even, as nearbyint does in the default rounding mode.
    const long double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<int32_t>::min() ||
        rounded > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(rounded);
}

std::optional<int32_t> LongFromText(const QString& raw) {
    const QString text = raw.trimmed();
    bool ok = false;
    const qlonglong whole = text.toLongLong(&ok, 10);
    if (ok)
        return FromWide(static_cast<long double>(whole));
    const double real = text.toDouble(&ok);
    if (ok)
        return FromWide(real);
    return std::nullopt;
}

std::optional<int32_t> ToLong(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::UnknownType:
        return 0; // an empty argument reads as zero
    case QMetaType::Bool:
        return v.toBool() ? -1 : 0; // the dispatch truth values
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return FromWide(static_cast<long double>(v.toLongLong()));
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return FromWide(static_cast<long double>(v.toULongLong()));
    case QMetaType::Double:
    case QMetaType::Float:
        return FromWide(v.toDouble());
    case QMetaType::QString:
        return LongFromText(v.toString());
    case QMetaType::QByteArray:
        return LongFromText(QString::fromLocal8Bit(v.toByteArray()));
    default:
        return std::nullopt;
    }
}

std::optional<std::string> ToText(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::UnknownType:
        return std::string();
    case QMetaType::QString:
        return EncodeLocalText(v.toString()).toStdString();
    case QMetaType::QByteArray:
        return v.toByteArray().toStdString();
    case QMetaType::Bool:
        return std::string(v.toBool() ? "True" : "False");
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return std::to_string(v.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return std::to_string(v.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return QByteArray::number(v.toDouble(), 'g', 15).toStdString();
    default:
        return std::nullopt;
    }
}

std::optional<bool> ToBool(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::UnknownType:
        return false;
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = v.toString().trimmed();
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
        const auto number = LongFromText(text);
        if (!number)
            return std::nullopt;
        return *number != 0;
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (std::isnan(d))
            return std::nullopt;
        return d != 0.0;
    }
    default: {
        const auto number = ToLong(v);
        if (!number)
            return std::nullopt;
        return *number != 0;
    }
    }
}

bool Coerce(const MethodInfo& method, const QVariantList& args, std::vector<Arg>* out) {
    const std::size_t count = std::strlen(method.params);
    if (static_cast<std::size_t>(args.size()) != count)
        return false;
    out->resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const QVariant& v = args[static_cast<qsizetype>(i)];
        Arg& arg = (*out)[i];
        switch (method.params[i]) {
        case 'l': {
            const auto number = ToLong(v);
            if (!number)
                return false;
            arg.number = *number;
            break;
        }
        case 's': {
            auto text = ToText(v);
            if (!text)
                return false;
            arg.text = std::move(*text);
            break;
        }
        case 'b': {
            const auto flag = ToBool(v);
            if (!flag)
                return false;
            arg.flag = *flag;
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

// --- The served methods -------------------------------------------------------------------

// Each method of the table runs one engine member. Its arguments are taken from the
// coerced list and its result wrapped by the member's own signature, and a compile-time
// check holds the two tables to the same ids, parameter letters and result letters.
template <typename T> constexpr char LetterOf() {
    if constexpr (std::is_same_v<T, std::string>)
        return 's';
    else if constexpr (std::is_same_v<T, int32_t>)
        return 'l';
    else if constexpr (std::is_same_v<T, bool>)
        return 'b';
    else
        return 'v';
}

template <typename T> const T& Take(const Arg& arg) {
    if constexpr (std::is_same_v<T, std::string>)
        return arg.text;
    else if constexpr (std::is_same_v<T, int32_t>)
        return arg.number;
    else
        return arg.flag;
}

template <typename Member> struct Signature;
template <typename R, typename... P> struct Signature<R (CCallEngine::*)(P...)> {
    static constexpr char kParams[] = {LetterOf<std::decay_t<P>>()..., '\0'};
    static constexpr char kResult = LetterOf<R>();

    template <auto Member, std::size_t... I>
    static QVariant Run(CCallEngine& engine, const std::vector<Arg>& a, std::index_sequence<I...>) {
        if constexpr (std::is_void_v<R>) {
            (engine.*Member)(Take<std::decay_t<P>>(a[I])...);
            return {};
        } else if constexpr (std::is_same_v<R, std::string>) {
            const std::string text = (engine.*Member)(Take<std::decay_t<P>>(a[I])...);
            return DecodeLocalText(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
        } else {
            return QVariant((engine.*Member)(Take<std::decay_t<P>>(a[I])...));
        }
    }
};
template <typename R, typename... P>
struct Signature<R (CCallEngine::*)(P...) const> : Signature<R (CCallEngine::*)(P...)> {};

struct Served {
    qint32 dispid;
    const char* params;
    char result;
    QVariant (*run)(CCallEngine&, const std::vector<Arg>&);
};

template <auto Member> constexpr Served Serve(qint32 dispid) {
    using S = Signature<decltype(Member)>;
    return {dispid, S::kParams, S::kResult, [](CCallEngine& engine, const std::vector<Arg>& a) {
                return S::template Run<Member>(
                    engine, a, std::make_index_sequence<sizeof(S::kParams) - 1>());
            }};
}

// In the order of kMethods.
constexpr std::array<Served, kMethods.size()> kServed{{
    Serve<&CCallEngine::UnInitialize>(DISPID_UNINITIALIZE),
    Serve<&CCallEngine::Disconnect>(DISPID_DISCONNECT),
    Serve<&CCallEngine::AcceptIncomingCall>(DISPID_ACCEPT_INCOMING_CALL),
    Serve<&CCallEngine::SetSpkVolume>(DISPID_SET_SPK_VOLUME),
    Serve<&CCallEngine::GetSpkVolume>(DISPID_GET_SPK_VOLUME),
    Serve<&CCallEngine::SetMicVolume>(DISPID_SET_MIC_VOLUME),
    Serve<&CCallEngine::GetMicVolume>(DISPID_GET_MIC_VOLUME),
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
    Serve<&CCallEngine::EnableMicBoost>(DISPID_ENABLE_MIC_BOOST),
    Serve<&CCallEngine::DisableMicBoost>(DISPID_DISABLE_MIC_BOOST),
    Serve<&CCallEngine::IsMicBoostEnable>(DISPID_IS_MIC_BOOST_ENABLE),
    Serve<&CCallEngine::Connect>(DISPID_CONNECT),
    Serve<&CCallEngine::SendTextMsg>(DISPID_SEND_TEXT_MSG),
    Serve<&CCallEngine::EnableVoiceActivityDetection>(DISPID_ENABLE_VOICE_ACTIVITY_DETECTION),
    Serve<&CCallEngine::DisableVoiceActivityDetection>(DISPID_DISABLE_VOICE_ACTIVITY_DETECTION),
}};

// In the order of kCallMethods.
constexpr std::array<Served, kCallMethods.size()> kCallServed{{
    Serve<&CCallEngine::ConnectSecure>(DISPID_CONNECT_SECURE),
    Serve<&CCallEngine::AcceptSecureCall>(DISPID_ACCEPT_SECURE_CALL),
    Serve<&CCallEngine::GetRequestSecurity>(DISPID_GET_REQUEST_SECURITY),
    Serve<&CCallEngine::GetCallSecurity>(DISPID_GET_CALL_SECURITY),
    Serve<&CCallEngine::GetSecureOutcome>(DISPID_GET_SECURE_OUTCOME),
    Serve<&CCallEngine::GetPeerAddress>(DISPID_GET_PEER_ADDRESS),
    Serve<&CCallEngine::GetPeerPort>(DISPID_GET_PEER_PORT),
    Serve<&CCallEngine::GetLocalPort>(DISPID_GET_LOCAL_PORT),
    Serve<&CCallEngine::GetConfirmedUser>(DISPID_GET_CONFIRMED_USER),
}};

constexpr bool SameLetters(const char* a, const char* b) {
    for (; *a != '\0' && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

template <std::size_t N>
constexpr bool ServesTheTable(const std::array<Served, N>& served,
                              const std::array<MethodInfo, N>& methods) {
    for (std::size_t i = 0; i < N; ++i) {
        if (served[i].dispid != methods[i].dispid || served[i].result != methods[i].result ||
            !SameLetters(served[i].params, methods[i].params))
            return false;
    }
    return true;
}
static_assert(ServesTheTable(kServed, kMethods),
              "every method of kMethods runs the engine member of its signature");
static_assert(ServesTheTable(kCallServed, kCallMethods),
              "every method of kCallMethods runs the engine member of its signature");

// The engine member that serves `method`, or null for a method served elsewhere.
const Served* ServedFor(const MethodInfo* method) {
    if (method >= kMethods.data() && method < kMethods.data() + kMethods.size())
        return &kServed[static_cast<std::size_t>(method - kMethods.data())];
    if (method >= kCallMethods.data() && method < kCallMethods.data() + kCallMethods.size())
        return &kCallServed[static_cast<std::size_t>(method - kCallMethods.data())];
    return nullptr;
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
      m_engine(std::make_unique<CCallEngine>(m_sink.get())),
      m_audio(std::make_unique<CAudioExtensions>()) {}

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

    const Served* served = ServedFor(method);
    // The audio extensions are served apart from the engine's tables.
    if (!served) {
        std::vector<int32_t> numbers;
        std::vector<std::string> texts;
        for (const Arg& arg : a) {
            numbers.push_back(arg.number);
            texts.push_back(arg.text);
        }
        QVariant result = m_audio->Call(dispid, numbers, texts);
        if (ok)
            *ok = true;
        return result;
    }

    QVariant result = served->run(Engine(), a);
    if (ok)
        *ok = true;
    return result;
}
