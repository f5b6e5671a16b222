// SPDX-License-Identifier: GPL-3.0-or-later
// Text in the locale's 8-bit encoding, converted by the C library's iconv,
// which stops at the exact byte where a sequence does not decode.
#include "LocalText.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <mutex>
#include <vector>

namespace Tavrino {
namespace {

// Characters pass through iconv as UTF-32 in the machine's byte order.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr const char* kUtf32 = "UTF-32LE";
#else
constexpr const char* kUtf32 = "UTF-32BE";
#endif

constexpr char16_t kEscapeBase = 0xDC00;
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

std::mutex& EncodingMutex() {
    static std::mutex mutex;
    return mutex;
}

QByteArray& EncodingOverride() {
    static QByteArray encoding;
    return encoding;
}

// The codeset of the locale the environment names (LC_ALL, LC_CTYPE, LANG),
// whatever the process's current locale is.
QByteArray EnvironmentEncoding() {
    QByteArray name;
    if (locale_t locale = newlocale(LC_CTYPE_MASK, "", locale_t(nullptr))) {
        name = nl_langinfo_l(CODESET, locale);
        freelocale(locale);
    }
    // The C locale names plain ASCII, under which no byte above it would
    // decode; Qt reads such a system as UTF-8, and so do the stations.
    if (name.isEmpty() || name == "ANSI_X3.4-1968")
        return QByteArrayLiteral("UTF-8");
    const iconv_t probe = iconv_open(kUtf32, name.constData());
    if (probe == kNoConverter)
        return QByteArrayLiteral("UTF-8");
    iconv_close(probe);
    return name;
}

// One iconv descriptor per direction and thread (a descriptor keeps state and
// must not be shared), reopened when the encoding changes.
class Converter {
public:
    explicit Converter(bool toLocal) : m_toLocal(toLocal) {}
    ~Converter() { Close(); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    iconv_t Get() {
        const QByteArray encoding = LocalTextEncoding();
        if (m_cd != kNoConverter && encoding == m_encoding) {
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr); // back to the initial state
            return m_cd;
        }
        Close();
        m_encoding = encoding;
        m_cd = Open(encoding.constData());
        if (m_cd == kNoConverter) // an encoding set for a test that iconv does not know
            m_cd = Open("UTF-8");
        return m_cd;
    }

private:
    iconv_t Open(const char* encoding) const {
        return m_toLocal ? iconv_open(encoding, kUtf32) : iconv_open(kUtf32, encoding);
    }
    void Close() {
        if (m_cd != kNoConverter)
            iconv_close(m_cd);
        m_cd = kNoConverter;
    }

    bool m_toLocal;
    QByteArray m_encoding;
    iconv_t m_cd = kNoConverter;
};

thread_local Converter t_decoder(false);
thread_local Converter t_encoder(true);

void AppendCodePoint(QString& text, char32_t c) {
    if (QChar::requiresSurrogates(c)) {
        text.append(QChar(QChar::highSurrogate(c)));
        text.append(QChar(QChar::lowSurrogate(c)));
    } else {
        text.append(QChar(static_cast<char16_t>(c)));
    }
}

void AppendEscapes(QString& text, const char* begin, const char* end) {
    for (const char* p = begin; p < end; ++p)
        text.append(QChar(static_cast<char16_t>(kEscapeBase | static_cast<uchar>(*p))));
}

// With `oneByOne`, each character is converted alone and kept only when it
// encodes back to the bytes it came from; otherwise those bytes stay escaped.
QString Decode(QByteArrayView bytes, bool oneByOne, qsizetype* undecodable) {
    const iconv_t cd = t_decoder.Get();
    QString text;
    text.reserve(bytes.size());
    qsizetype escaped = 0;
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = static_cast<size_t>(bytes.size());
    char32_t chars[512];
    while (inLeft > 0) {
        char* const start = in;
        char* out = reinterpret_cast<char*>(chars);
        size_t outLeft = oneByOne ? sizeof(char32_t) : sizeof chars;
        const bool failed = iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1);
        const int error = failed ? errno : 0;
        const auto count = static_cast<size_t>(reinterpret_cast<char32_t*>(out) - chars);
        if (oneByOne && count == 1 &&
            EncodeLocalText(QString::fromUcs4(chars, 1)) != QByteArray(start, in - start)) {
            AppendEscapes(text, start, in);
            escaped += in - start;
        } else {
            for (size_t i = 0; i < count; ++i)
                AppendCodePoint(text, chars[i]);
        }
        if (failed && error != E2BIG) {
            // No character starts at this byte (or the input ends inside one): keep it.
            AppendEscapes(text, in, in + 1);
            ++in;
            --inLeft;
            ++escaped;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    if (undecodable)
        *undecodable = escaped;
    return text;
}

} // namespace

QString DecodeLocalText(QByteArrayView bytes, qsizetype* undecodable) {
    QString text = Decode(bytes, false, undecodable);
    // An encoding may give two byte sequences the same character; written back,
    // such a character would take other bytes. Then each character is checked.
    if (EncodeLocalText(text) != bytes.toByteArray())
        text = Decode(bytes, true, undecodable);
    return text;
}

QByteArray EncodeLocalText(QStringView text, QString* unencodable) {
    const iconv_t cd = t_encoder.Get();
    QByteArray bytes;
    bytes.reserve(text.size());
    std::vector<char32_t> run; // characters since the last escape
    auto convertRun = [&] {
        char* in = reinterpret_cast<char*>(run.data());
        size_t inLeft = run.size() * sizeof(char32_t);
        char buffer[2048];
        while (inLeft > 0) {
            char* out = buffer;
            size_t outLeft = sizeof buffer;
            const bool failed = iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1);
            const int error = failed ? errno : 0;
            bytes.append(buffer, out - buffer);
            if (failed && error != E2BIG) {
                // The encoding has no place for this character.
                char32_t c = 0;
                std::memcpy(&c, in, sizeof c);
                bytes.append('?');
                if (unencodable)
                    unencodable->append(QString::fromUcs4(&c, 1));
                in += sizeof c;
                inLeft -= sizeof c;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
            }
        }
        run.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            run.push_back(QChar::surrogateToUcs4(c, text[i + 1]));
            ++i;
        } else if (c.isSurrogate()) {
            convertRun();
            if ((c.unicode() & 0xFF00) == kEscapeBase) {
                bytes.append(static_cast<char>(c.unicode() & 0xFF));
            } else {
                bytes.append('?');
                if (unencodable)
                    unencodable->append(c);
            }
        } else {
            run.push_back(c.unicode());
        }
    }
    convertRun();
    return bytes;
}

QByteArray LocalTextEncoding() {
    static const QByteArray environment = EnvironmentEncoding();
    const std::lock_guard lock(EncodingMutex());
    return EncodingOverride().isEmpty() ? environment : EncodingOverride();
}

void SetLocalTextEncodingForTesting(const QByteArray& encoding) {
    const std::lock_guard lock(EncodingMutex());
    EncodingOverride() = encoding;
}

} // namespace Tavrino
