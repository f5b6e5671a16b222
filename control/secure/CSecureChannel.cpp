// SPDX-License-Identifier: GPL-3.0-or-later
// CSecureChannel: the sealed packets of one encrypted call, a key per direction and
// a replay window.
#include "CSecureChannel.h"

#include <sodium.h>

#include <algorithm>
#include <limits>

namespace {

constexpr uint8_t kDataType = 24;
constexpr int kAdBytes = 1 + SecureCall::kCounterBytes;
constexpr int kNonceBytes = crypto_aead_chacha20poly1305_IETF_NPUBBYTES;
constexpr int kWords = CSecureChannel::kWindow / 64;
static_assert(SecureCall::kKeyBytes == crypto_aead_chacha20poly1305_IETF_KEYBYTES);
static_assert(SecureCall::kSealTagBytes == crypto_aead_chacha20poly1305_IETF_ABYTES);
static_assert(kNonceBytes == 4 + SecureCall::kCounterBytes);

// The associated data (type 24, then the counter) and the nonce (four zero bytes, then
// the counter) of the packet with this counter.
struct Frame {
    uint8_t ad[kAdBytes] = {kDataType};
    uint8_t nonce[kNonceBytes] = {};

    explicit Frame(uint64_t counter) {
        for (int i = 0; i < SecureCall::kCounterBytes; ++i) {
            ad[1 + i] = static_cast<uint8_t>(counter >> (8 * i));
            nonce[4 + i] = ad[1 + i];
        }
    }
};

uint64_t ReadCounter(const uint8_t* p) {
    uint64_t counter = 0;
    for (int i = SecureCall::kCounterBytes - 1; i >= 0; --i)
        counter = (counter << 8) | p[i];
    return counter;
}

// Bit i of the window stands for the counter i + 1 below the highest.
bool Seen(const std::array<uint64_t, kWords>& seen, uint64_t below) {
    const uint64_t bit = below - 1;
    return (seen[bit / 64] >> (bit % 64)) & 1;
}

void Mark(std::array<uint64_t, kWords>* seen, uint64_t below) {
    const uint64_t bit = below - 1;
    (*seen)[bit / 64] |= uint64_t{1} << (bit % 64);
}

// Every bit `by` (less than kWindow) places up, across the words: older by `by`.
void ShiftUp(std::array<uint64_t, kWords>* seen, int by) {
    const int words = by / 64;
    const int bits = by % 64;
    for (int i = kWords - 1; i >= 0; --i) {
        uint64_t word = 0;
        if (i - words >= 0)
            word = (*seen)[static_cast<size_t>(i - words)] << bits;
        if (bits != 0 && i - words - 1 >= 0)
            word |= (*seen)[static_cast<size_t>(i - words - 1)] >> (64 - bits);
        (*seen)[static_cast<size_t>(i)] = word;
    }
}

// A new highest counter, `by` above the old one: every mark moves `by` further down,
// and the old highest joins them while it stays inside the window.
void Advance(std::array<uint64_t, kWords>* seen, uint64_t by) {
    constexpr uint64_t window = CSecureChannel::kWindow;
    if (by >= window)
        seen->fill(0);
    else
        ShiftUp(seen, static_cast<int>(by));
    if (by <= window)
        Mark(seen, by);
}

} // namespace

CSecureChannel::CSecureChannel(Role role, SecretBytes<SecureCall::kKeyBytes> callerToCallee,
                               SecretBytes<SecureCall::kKeyBytes> calleeToCaller)
    : m_sendKey(role == Role::Caller ? std::move(callerToCallee) : std::move(calleeToCaller)),
      m_receiveKey(role == Role::Caller ? std::move(calleeToCaller) : std::move(callerToCallee)) {}

bool CSecureChannel::Seal(uint8_t innerType, const uint8_t* payload, int length,
                          std::vector<uint8_t>* out) {
    out->clear();
    if (m_sendSpent || length < 0 || (length > 0 && payload == nullptr))
        return false;
    std::vector<uint8_t> plain(1 + static_cast<size_t>(length));
    plain[0] = innerType;
    std::copy_n(payload, length, plain.begin() + 1);

    const Frame frame(m_sendCounter);
    out->resize(SecureCall::kCounterBytes + plain.size() + SecureCall::kSealTagBytes);
    std::copy_n(frame.ad + 1, SecureCall::kCounterBytes, out->begin());
    unsigned long long sealed = 0;
    crypto_aead_chacha20poly1305_ietf_encrypt(out->data() + SecureCall::kCounterBytes, &sealed,
                                              plain.data(), plain.size(), frame.ad, kAdBytes,
                                              nullptr, frame.nonce, m_sendKey.data());
    // A nonce must never come back under the same key: the last counter ends the channel.
    if (m_sendCounter == std::numeric_limits<uint64_t>::max())
        m_sendSpent = true;
    else
        ++m_sendCounter;
    return true;
}

bool CSecureChannel::Open(const uint8_t* payload, int length, Opened* out) {
    // At least the counter, the stated packet's type byte and the tag.
    if (payload == nullptr || length < SecureCall::kDataOverheadBytes + 1)
        return false;
    const uint64_t counter = ReadCounter(payload);
    // Refused before the tag is even checked: the window alone decides these.
    if (m_anyOpened && counter <= m_highest) {
        const uint64_t below = m_highest - counter;
        if (below == 0 || below > static_cast<uint64_t>(kWindow) || Seen(m_seen, below))
            return false;
    }

    const Frame frame(counter);
    std::vector<uint8_t> plain(static_cast<size_t>(length - SecureCall::kDataOverheadBytes));
    unsigned long long opened = 0;
    if (crypto_aead_chacha20poly1305_ietf_decrypt(
            plain.data(), &opened, nullptr, payload + SecureCall::kCounterBytes,
            static_cast<unsigned long long>(length - SecureCall::kCounterBytes), frame.ad, kAdBytes,
            frame.nonce, m_receiveKey.data()) != 0)
        return false;

    out->newest = !m_anyOpened || counter > m_highest;
    out->counter = counter;
    if (!m_anyOpened) {
        m_anyOpened = true;
        m_highest = counter;
    } else if (out->newest) {
        Advance(&m_seen, counter - m_highest);
        m_highest = counter;
    } else {
        Mark(&m_seen, m_highest - counter);
    }
    out->type = plain[0];
    out->payload.assign(plain.begin() + 1, plain.end());
    return true;
}
