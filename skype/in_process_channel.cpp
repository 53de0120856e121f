#include "in_process_channel.h"

namespace {
// Registered message ids start where the platform's registered range did.
constexpr std::uint32_t kFirstMessageId = 0xC000;
} // namespace

std::uint32_t CInProcessSkypeChannel::RegisterMessage(const std::string& name)
{
    if (name.empty() || name == m_failingName)
        return 0;
    const auto it =
        m_messageIds
            .try_emplace(name, kFirstMessageId + static_cast<std::uint32_t>(m_messageIds.size()))
            .first;
    return it->second;
}

void CInProcessSkypeChannel::Broadcast(std::uint32_t message, const SkypeWindow& wParam,
                                       std::uint32_t lParam)
{
    m_broadcasts.push_back({message, wParam, lParam});
}

std::uint32_t CInProcessSkypeChannel::SendCopyData(const SkypeWindow& target,
                                                   const SkypeWindow& wParam,
                                                   const CopyDataBlock& data)
{
    DeliveryRecord record{target, wParam, data.dwData, {}};
    if (data.lpData != nullptr)
        record.bytes.assign(static_cast<const char*>(data.lpData), data.cbData);
    m_deliveries.push_back(record);
    if (m_answer)
        return m_answer(record);
    return target.empty() ? 0 : 1;
}

void CInProcessSkypeChannel::ClearRecords()
{
    m_broadcasts.clear();
    m_deliveries.clear();
}
