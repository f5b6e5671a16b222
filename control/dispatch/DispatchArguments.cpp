// SPDX-License-Identifier: GPL-3.0-or-later
// DispatchArguments: a late-bound call's arguments coerced as a dispatch call would.
#include "DispatchArguments.h"

#include "LocalText.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

using namespace Tavrino;

namespace {

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

// The integer types a variant may hold, by signedness.
enum class Integer { None, Signed, Unsigned };

Integer IntegerOf(int typeId) {
    switch (typeId) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return Integer::Signed;
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return Integer::Unsigned;
    default:
        return Integer::None;
    }
}

std::optional<int32_t> ToLong(const QVariant& v) {
    switch (IntegerOf(v.typeId())) {
    case Integer::Signed:
        return FromWide(static_cast<long double>(v.toLongLong()));
    case Integer::Unsigned:
        return FromWide(static_cast<long double>(v.toULongLong()));
    case Integer::None:
        break;
    }
    switch (v.typeId()) {
    case QMetaType::UnknownType:
        return 0; // an empty argument reads as zero
    case QMetaType::Bool:
        return v.toBool() ? -1 : 0; // the dispatch truth values
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
    switch (IntegerOf(v.typeId())) {
    case Integer::Signed:
        return std::to_string(v.toLongLong());
    case Integer::Unsigned:
        return std::to_string(v.toULongLong());
    case Integer::None:
        break;
    }
    switch (v.typeId()) {
    case QMetaType::UnknownType:
        return std::string();
    case QMetaType::QString:
        return EncodeLocalText(v.toString()).toStdString();
    case QMetaType::QByteArray:
        return v.toByteArray().toStdString();
    case QMetaType::Bool:
        return std::string(v.toBool() ? "True" : "False");
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

} // namespace

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
