// Feeds the link arbitrary received blocks, interleaved with ticks, attach
// messages and new commands, so that replies, notifications and time-outs
// meet every table state. Input: records separated by 0xFF; the first byte of
// a record picks the operation, the rest is its payload.
#include "in_process_channel.h"
#include "skype_connection.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

const SkypeWindow kClient = "client";

class CFuzzHandler : public CSkypeCommandHandler {
public:
    CFuzzHandler(CSkypeConnection& connection, std::uint8_t behaviour)
        : m_connection(connection), m_behaviour(behaviour)
    {
    }

    std::string GetCommand() const override { return "SEARCH ACTIVECALLS"; }
    void OnResponse(const std::string& response) override
    {
        m_bComplete = (m_behaviour & 1) != 0 || response.empty();
        // Issuing from inside a reply grows the table under the link.
        if ((m_behaviour & 2) != 0 && m_connection.GetHandlerCount() < 64) {
            const auto id = m_connection.AddHandler(
                std::make_unique<CFuzzHandler>(m_connection, m_behaviour >> 2));
            m_connection.SendCommand(id);
        }
    }
    bool OnNotification(const std::string& line) override
    {
        if ((m_behaviour & 4) == 0)
            return false;
        m_bComplete = !line.empty();
        return true;
    }

private:
    CSkypeConnection& m_connection;
    std::uint8_t m_behaviour;
};

std::uint32_t ReadU32(std::string_view payload)
{
    std::uint32_t value = 0;
    std::memcpy(&value, payload.data(), std::min(payload.size(), sizeof value));
    return value;
}

void RunRecord(CInProcessSkypeChannel& channel, CSkypeConnection& connection,
               std::string_view record)
{
    const std::uint8_t op = static_cast<std::uint8_t>(record[0]);
    const std::string_view payload = record.substr(1);
    const std::string text = TextBeforeNul(payload);
    switch (op % 7) {
    case 0:
    case 1:
        channel.ReceiveText(kClient, text);
        break;
    case 2:
        channel.ReceiveText("stranger", text);
        break;
    case 3:
        channel.SetTickCount(channel.GetTickCount() + ReadU32(payload));
        connection.Tick();
        break;
    case 4:
        channel.ReceiveAttach(kClient, ReadU32(payload));
        break;
    case 5:
        if (connection.GetHandlerCount() < 64)
            connection.SendCommand(connection.AddHandler(std::make_unique<CFuzzHandler>(
                connection, payload.empty() ? 0 : static_cast<std::uint8_t>(payload[0]))));
        break;
    case 6: {
        // Answers held back, then given in a burst, some of them failures.
        const std::uint32_t bits = ReadU32(payload);
        channel.SetDeliveryAnswer([bits](const auto& delivery) {
            return !delivery.target.empty() && (bits & (1u << (delivery.text.size() % 32))) == 0;
        });
        channel.HoldAnswers((bits & 1) != 0);
        if ((bits & 1) == 0)
            channel.ReleaseAnswers();
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t size)
{
    CInProcessSkypeChannel channel;
    CSkypeConnection connection(channel);
    connection.SetOwnWindow("own");
    connection.HandleAttach(kClient, 0);
    for (int i = 0; i < 4; ++i)
        connection.AddHandler(
            std::make_unique<CFuzzHandler>(connection, static_cast<std::uint8_t>(i)));
    connection.Tick();

    std::string_view input(reinterpret_cast<const char*>(pData), size);
    while (!input.empty()) {
        const std::size_t end = input.find('\xFF');
        const std::string_view record = input.substr(0, end);
        if (!record.empty())
            RunRecord(channel, connection, record);
        if (end == std::string_view::npos)
            break;
        input.remove_prefix(end + 1);
        if (channel.GetDeliveries().size() > 4096)
            channel.ClearRecords();
    }
    return 0;
}
