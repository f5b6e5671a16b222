// SPDX-License-Identifier: GPL-3.0-or-later
// fuzz_receive: arbitrary datagrams through the socket's receive handling and every packet reader.
#include "CSecureCallee.h"
#include "CSecureCaller.h"
#include "CSecureChannel.h"
#include "CUdpSocket.h"
#include "Packets.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool HasZero(const std::string& s) {
    return s.find('\0') != std::string::npos;
}

// The secure readers on one payload, each against a real counterpart made once (a
// started caller, a started callee, an open channel): none may read past it, and none
// may take a fuzzed accept, confirm or data packet (sids, tags and keys are random).
void ReadSecure(int type, const uint8_t* p, int length) {
    static CSecureCaller caller;
    static CSecureCallee callee;
    static std::unique_ptr<CSecureChannel> channel;
    CSecureCallee::Request request;
    if (!channel) {
        Check(caller.Start("u", "pw") &&
              CSecureCallee::ParseRequest(caller.RequestPayload().data(),
                                          static_cast<int>(caller.RequestPayload().size()), &request) &&
              callee.Start(request, "pw"));
        channel = callee.TakeChannel();
    }
    if (CSecureCallee::ParseRequest(p, length, &request))
        Check(p[length - 1] == 0 && !request.user.empty() && !HasZero(request.user) &&
              std::memcmp(request.sid.data(), p + 2, request.sid.size()) == 0);
    SecureCall::Sid sid{};
    Check(SecureCall::ReadSid(p, length, &sid) == (length >= SecureCall::kSidBytes));
    Check(type != 21 || caller.OnAccept(p, length) != CSecureCaller::Answer::Accepted);
    Check(!callee.CheckConfirm(p, length));
    CSecureChannel::Opened opened;
    Check(!channel->Open(p, length, &opened));
}

class FuzzSocket : public CUdpSocket {
public:
    using CUdpSocket::InjectDatagram;
    int expectedType = -1;
    int expectedLength = -1;
    bool delivered = false;

protected:
    void OnDatagram(uint8_t type, const uint8_t* payload, int length, const std::string&,
                    int) override {
        delivered = true;
        Check(type == expectedType && length == expectedLength);
        for (int i = 0; i < kSpareBytes; ++i) {
            Check(payload[length + i] == 0);
        }
        // An exact-size copy: any read past `length` by a reader is caught by ASan.
        std::vector<uint8_t> exact(payload, payload + length);
        const uint8_t* p = exact.empty() ? nullptr : exact.data();

        const CallRequest request = ReadCallRequest(p, length);
        Check(!HasZero(request.userData));
        Check(static_cast<int>(request.userData.size()) <= length);
        Check(std::memcmp(request.userData.data(), payload, request.userData.size()) == 0);
        if (static_cast<int>(request.userData.size()) + 9 <= length) {
            // A complete request reads back to the bytes it came from.
            const auto rebuilt = BuildCallRequestPayload(request.userData, request.token);
            Check(std::memcmp(rebuilt.data(), payload, rebuilt.size()) == 0);
        }
        // The socket's buffer with its zero spare bytes must read the same.
        const CallRequest viaBuffer = ReadCallRequest(payload, length);
        Check(viaBuffer.userData == request.userData && viaBuffer.token == request.token);

        const TextMessage text = ReadTextMessage(p, length);
        Check(!HasZero(text.text) && !HasZero(text.userData));
        Check(static_cast<int>(text.text.size() + text.userData.size()) <= length);
        const TextMessage textViaBuffer = ReadTextMessage(payload, length);
        Check(textViaBuffer.text == text.text && textViaBuffer.userData == text.userData);

        ReadSecure(type, p, length);

        const CCallToken token = ReadToken(p, length);
        Check(token == ReadToken(payload, length));
        if (length >= CCallToken::kBytes) {
            uint8_t out[CCallToken::kBytes];
            token.WriteTo(out);
            Check(std::memcmp(out, payload, sizeof out) == 0);
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzSocket socket; // never opened: only its receive handling runs
    if (size > 65507) {
        return 0; // no larger UDP datagram exists
    }
    const int32_t before = socket.InboundTotal();
    socket.delivered = false;
    socket.expectedType = size > 0 ? data[0] : -1;
    socket.expectedLength = static_cast<int>(size) - 1;
    socket.InjectDatagram(data, static_cast<int>(size), "127.0.0.1", 33550);
    Check(socket.delivered == (size > 0));
    Check(static_cast<uint32_t>(socket.InboundTotal()) ==
          static_cast<uint32_t>(before) + static_cast<uint32_t>(size));
    return 0;
}
