#include "renderer_notice.h"

#include "status_text.h"
#include "voxreel/notify_texts.h"

RendererNotice DescribeRendererNotify(std::uint64_t nCode, std::uint32_t nValue)
{
    RendererNotice notice;
    if (nCode >= kRendererNotifyTexts.size())
        return notice;
    notice.strStatus = FormatStatus(kRendererNotifyTexts[nCode], {nValue});
    if (nCode == NOTIFY_CLIENT_CONNECTED) {
        notice.icon = StatusIcon::Connected;
    } else if (nCode == NOTIFY_CLIENT_DISCONNECTED) {
        notice.icon = StatusIcon::NotConnected;
        notice.bTransmissionLost = true;
    }
    return notice;
}

std::string PlaybackErrorStatus(std::uint32_t nCode, std::string_view strReason)
{
    return WithReason(FormatStatus("Playback failed: error code %08X", {nCode}), strReason);
}
