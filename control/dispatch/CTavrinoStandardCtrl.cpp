// CTavrinoStandardCtrl: the control as a host sees it: late-bound methods and three events.
#include "CTavrinoStandardCtrl.h"

#include "CCallEngine.h"
#include "CEventSink.h"
#include "LocalText.h"

#include <QByteArray>
#include <QMetaType>

#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <optional>
#include <string>
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

} // namespace

CTavrinoStandardCtrl::CTavrinoStandardCtrl(QObject* parent)
    : QObject(parent), m_sink(std::make_unique<CEventSink>(this)) {}

CTavrinoStandardCtrl::~CTavrinoStandardCtrl() = default;

CCallEngine& CTavrinoStandardCtrl::Engine() const {
    return m_sink->Engine();
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

    CCallEngine& engine = Engine();
    bool flag = false;
    int32_t number = 0;
    switch (dispid) {
    case DISPID_UNINITIALIZE:
        engine.UnInitialize();
        break;
    case DISPID_DISCONNECT:
        flag = engine.Disconnect();
        break;
    case DISPID_ACCEPT_INCOMING_CALL:
        flag = engine.AcceptIncomingCall(a[0].text, a[1].number, a[2].number);
        break;
    case DISPID_SET_SPK_VOLUME:
        flag = engine.SetSpkVolume(a[0].number);
        break;
    case DISPID_GET_SPK_VOLUME:
        number = engine.GetSpkVolume();
        break;
    case DISPID_SET_MIC_VOLUME:
        flag = engine.SetMicVolume(a[0].number);
        break;
    case DISPID_GET_MIC_VOLUME:
        number = engine.GetMicVolume();
        break;
    case DISPID_CANCEL_INCOMING_CALL:
        flag = engine.CancelIncomingCall(a[0].text, a[1].number);
        break;
    case DISPID_DISABLE_BUSY_STATE:
        engine.DisableBusyState();
        break;
    case DISPID_ENABLE_BUSY_STATE:
        engine.EnableBusyState();
        break;
    case DISPID_DISABLE_NOT_AVAILABLE_STATE:
        engine.DisableNotAvailableState();
        break;
    case DISPID_ENABLE_NOT_AVAILABLE_STATE:
        engine.EnableNotAvailableState();
        break;
    case DISPID_MUTE_MIC:
        flag = engine.MuteMic(a[0].flag);
        break;
    case DISPID_MUTE_SPK:
        flag = engine.MuteSpk(a[0].flag);
        break;
    case DISPID_GET_OUTBOUND_TOTAL_BYTES:
        number = engine.GetOutBoundTotalBytes();
        break;
    case DISPID_GET_INBOUND_TOTAL_BYTES:
        number = engine.GetInBoundTotalBytes();
        break;
    case DISPID_GET_OUTBOUND_DATA_RATE:
        number = engine.GetOutBoundDataRate();
        break;
    case DISPID_GET_INBOUND_DATA_RATE:
        number = engine.GetInBoundDataRate();
        break;
    case DISPID_GET_OBJECT_ERROR:
        number = engine.GetObjectError();
        break;
    case DISPID_INITIALIZE:
        flag = engine.Initialize(a[0].number, a[1].text);
        break;
    case DISPID_ENABLE_CRYPTOGRAPHY:
        flag = engine.EnableCryptography();
        break;
    case DISPID_DISABLE_CRYPTOGRAPHY:
        flag = engine.DisableCryptography();
        break;
    case DISPID_ENABLE_MIC_BOOST:
        flag = engine.EnableMicBoost();
        break;
    case DISPID_DISABLE_MIC_BOOST:
        flag = engine.DisableMicBoost();
        break;
    case DISPID_IS_MIC_BOOST_ENABLE:
        flag = engine.IsMicBoostEnable();
        break;
    case DISPID_CONNECT:
        flag = engine.Connect(a[0].text, a[1].number, a[2].text, a[3].number);
        break;
    case DISPID_SEND_TEXT_MSG:
        flag = engine.SendTextMsg(a[0].text, a[1].text);
        break;
    case DISPID_ENABLE_VOICE_ACTIVITY_DETECTION:
        flag = engine.EnableVoiceActivityDetection(a[0].number, a[1].number);
        break;
    case DISPID_DISABLE_VOICE_ACTIVITY_DETECTION:
        engine.DisableVoiceActivityDetection();
        break;
    default:
        return {}; // listed in the table but not served here: cannot happen
    }

    if (ok)
        *ok = true;
    switch (method->result) {
    case 'b':
        return QVariant(flag);
    case 'l':
        return QVariant(static_cast<qint32>(number));
    default:
        return {};
    }
}
