// Any bytes on the line: the scanner must never crash, never hand out more frames than whole
// frames arrived, and never accept a frame whose sum is wrong.
#include "link/ProtocolMACLayer.h"
#include "platform/MessageBox.h"

#include <cstdlib>

namespace {

class CheckingTrace : public CFrameTrace {
public:
    void Frame(Direction dir, const std::uint8_t* frame) override
    {
        if (dir == Received && (frame[0] != 0xF8 || !CProtocolMACLayer::CheckFrameSum(frame)))
            std::abort();
        if (dir == Rejected && CProtocolMACLayer::CheckFrameSum(frame))
            std::abort();
        if (dir == Received)
            ++accepted;
    }
    int accepted = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static bool quiet = [] {
        kmr::SetMessageHandler([](const std::string&, bool) { return kmr::MSG_OK; });
        return true;
    }();
    (void)quiet;
    static CProtocolMACLayer mac;
    CheckingTrace trace;
    mac.ResetRxBuffers();
    mac.SetTrace(&trace);
    // Feed the input in pieces whose sizes the input's first byte chooses, as reads would.
    const std::size_t step = size > 0 ? 1 + data[0] % 64 : 1;
    for (std::size_t pos = 0; pos < size; pos += step)
        mac.ScanInput(data + pos, static_cast<int>(std::min(step, size - pos)));
    std::uint8_t out[13];
    int taken = 0;
    while (mac.GetFrameFromLoopBuf(out, 13))
        ++taken;
    mac.SetTrace(nullptr);
    if (taken > trace.accepted || taken > 98 || static_cast<std::size_t>(taken) * 16 > size)
        std::abort();
    return 0;
}
