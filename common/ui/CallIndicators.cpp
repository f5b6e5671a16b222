// SPDX-License-Identifier: GPL-3.0-or-later
// The lock and the voice kind of the call that stands.
#include "CallIndicators.h"

#include "StationImages.h"
#include "TavrinoStandardApi.h"
#include "modAccessibility.h"
#include "modHvnRegistry.h"

#include <QBoxLayout>

#include <algorithm>
#include <cmath>
#include <QLabel>

using namespace Tavrino;

namespace {

QLabel* NamedLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

} // namespace

CallIndicators::CallIndicators(QWidget* parent, QBoxLayout* row)
    : QObject(parent), m_lock(NamedLabel(parent, "imgCallSecurity")),
      m_word(NamedLabel(parent, "lblCallSecurity")), m_voiceLabel(NamedLabel(parent, "lblCallVoice")),
      m_rating(NamedLabel(parent, "imgCallRating")) {
    row->addWidget(m_lock);
    row->addWidget(m_word);
    row->addWidget(m_voiceLabel);
    row->addWidget(m_rating);
    Hide();
}

void CallIndicators::ApplyLanguage() {
    Show(m_security, m_voice);
    ShowRating(m_ratingIn, m_ratingOut);
}

void CallIndicators::ShowRating(std::optional<double> in, std::optional<double> out) {
    m_ratingIn = in;
    m_ratingOut = out;
    const bool shown = in && (m_security == SECURITY_ENCRYPTED || m_security == SECURITY_STATED);
    m_rating->setVisible(shown);
    if (!shown)
        return;
    // Five bars as a phone shows its signal: 4.5 and up all five, then one less a point.
    const int bars = std::clamp(static_cast<int>(std::floor(*in + 0.5)), 0, 5);
    m_rating->setPixmap(RatingBarsPixmap(bars, 16));
    const auto score = [](const std::optional<double>& r) {
        return r ? QString::number(*r, 'f', 1) : QStringLiteral("-");
    };
    const QString text =
        Tr(QStringLiteral("Call quality %1 of 5 as heard here, %2 as heard there"),
           QStringLiteral("通話品質: こちらの受信 %1 / 5、相手の受信 %2"))
            .arg(score(in), score(out));
    m_rating->setToolTip(text);
    DescribePicture(m_rating, Tr(QStringLiteral("Call quality"), QStringLiteral("通話品質")), text);
}

void CallIndicators::Show(qint32 security, qint32 voice) {
    m_security = security;
    m_voice = voice;
    const bool shown = security == SECURITY_ENCRYPTED || security == SECURITY_STATED;
    m_lock->setVisible(shown);
    m_word->setVisible(shown);
    // GSM is what every call had: only the wideband one says so.
    m_voiceLabel->setVisible(shown && voice == VOICE_WIDEBAND);
    if (!shown) {
        m_rating->hide();
        m_ratingIn = m_ratingOut = std::nullopt;
    }
    if (shown) {
        const bool encrypted = security == SECURITY_ENCRYPTED;
        m_lock->setPixmap(LockPixmap(encrypted, 16));
        m_word->setText(encrypted ? Tr(QStringLiteral("Encrypted"), QStringLiteral("暗号化"))
                                  : Tr(QStringLiteral("Not encrypted"), QStringLiteral("暗号化なし")));
        const QString tip =
            encrypted
                ? Tr(QStringLiteral("Encrypted end to end: a CPace key exchange (ristretto255, "
                                    "SHA-512) keyed by the shared password, then ChaCha20-Poly1305 "
                                    "on every packet. The password never travels."),
                     QStringLiteral("エンドツーエンドで暗号化されています：共有パスワードによる"
                                    "CPace鍵交換（ristretto255、SHA-512）のあと、すべてのパケットを"
                                    "ChaCha20-Poly1305で保護します。パスワードは送られません。"))
                : Tr(QStringLiteral("Not encrypted: the password and the voice of this call travel "
                                    "in clear, as an older station sends them."),
                     QStringLiteral("暗号化されていません：この通話のパスワードと音声は、"
                                    "古いステーションと同じく平文で送られます。"));
        m_lock->setToolTip(tip);
        m_word->setToolTip(tip);
        DescribePicture(m_lock, Tr(QStringLiteral("Call security"), QStringLiteral("通話の保護")),
                        m_word->text());
        m_voiceLabel->setText(Tr(QStringLiteral("Wideband"), QStringLiteral("広帯域")));
        m_voiceLabel->setToolTip(QStringLiteral("Opus, 16 kHz"));
        m_voiceLabel->setAccessibleName(Tr(QStringLiteral("Call voice"), QStringLiteral("通話の音声")));
        m_voiceLabel->setAccessibleDescription(
            Tr(QStringLiteral("Wideband voice: Opus, 16 kHz"),
               QStringLiteral("広帯域の音声：Opus、16 kHz")));
    }
}

QString CallIndicators::SummaryLine() const {
    if (m_security != SECURITY_ENCRYPTED && m_security != SECURITY_STATED)
        return {};
    if (m_voice != VOICE_WIDEBAND)
        return m_word->text();
    return m_word->text() + QStringLiteral(" · ") + m_voiceLabel->text();
}
