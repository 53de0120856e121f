// A channel that stays inside the process: it records what the link
// broadcasts and delivers, answers deliveries as told, and reads a clock the
// caller sets. For tests and fuzzing of the link's logic.
#pragma once

#include "skype_channel.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

class CInProcessSkypeChannel : public ISkypeChannel {
public:
    struct BroadcastRecord {
        std::uint32_t message;
        SkypeWindow wParam;
        std::uint32_t lParam;
    };
    struct DeliveryRecord {
        SkypeWindow target;
        SkypeWindow wParam;
        std::uintptr_t dwData;
        std::string bytes; // all cbData bytes, the terminating NUL included
    };
    // Decides the answer to one delivery; by default every delivery to a
    // non-empty window is answered 1.
    using DeliveryAnswer = std::function<std::uint32_t(const DeliveryRecord&)>;

    std::uint32_t RegisterMessage(const std::string& name) override;
    void Broadcast(std::uint32_t message, const SkypeWindow& wParam, std::uint32_t lParam) override;
    std::uint32_t SendCopyData(const SkypeWindow& target, const SkypeWindow& wParam,
                               const CopyDataBlock& data) override;
    std::uint32_t GetTickCount() override { return m_dwTickCount; }

    void SetTickCount(std::uint32_t dwTickCount) { m_dwTickCount = dwTickCount; }
    void SetDeliveryAnswer(DeliveryAnswer answer) { m_answer = std::move(answer); }
    // Makes RegisterMessage fail for this name.
    void FailRegistration(const std::string& name) { m_failingName = name; }

    const std::vector<BroadcastRecord>& GetBroadcasts() const { return m_broadcasts; }
    const std::vector<DeliveryRecord>& GetDeliveries() const { return m_deliveries; }
    void ClearRecords();

private:
    std::map<std::string, std::uint32_t> m_messageIds;
    std::string m_failingName;
    std::uint32_t m_dwTickCount = 0;
    DeliveryAnswer m_answer;
    std::vector<BroadcastRecord> m_broadcasts;
    std::vector<DeliveryRecord> m_deliveries;
};
