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
