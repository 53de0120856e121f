// The call commands and the call tracking against the in-process channel,
// a clock the tests set and a recording owner.
#include <gtest/gtest.h>

#include <optional>

#include "call_commands.h"
#include "call_tracker.h"
#include "in_process_channel.h"
#include "skype_connection.h"

namespace {

class CRecordingOwner final : public ICallOwner {
public:
    explicit CRecordingOwner(CSkypeConnection& link) : m_link(link) {}
    CActiveCallList& Calls() override { return m_calls; }
    void SetStatus(const std::string& strText) override { m_strStatus = strText; }
    void ShowNotTransmittingIcon() override { ++m_nIdleIcons; }
    bool IsTransmitting() const override { return m_bTransmitting; }
    void SetTransmitting(bool bTransmitting) override { m_bTransmitting = bTransmitting; }
    void Issue(std::unique_ptr<CSkypeCommandHandler> pHandler) override
    {
        m_link.SendCommand(m_link.AddHandler(std::move(pHandler)));
    }
    int InputPort() const override { return 17171; }
    void StopForEndedCall() override { ++m_nStops; }
    void ShowCallDuration(const std::string& strText) override { m_strDuration = strText; }
    bool HasRenderer() const override { return m_bRenderer; }

    CActiveCallList m_calls;
    std::string m_strStatus, m_strDuration = "00:00";
    int m_nIdleIcons = 0, m_nStops = 0;
    bool m_bTransmitting = false, m_bRenderer = true;

private:
    CSkypeConnection& m_link;
};

class Calls : public ::testing::Test {
protected:
    void SetUp() override { m_link.HandleAttach("client", CSkypeConnection::kAttachSuccess); }

    // The commands sent so far, without their "#id " prefix, and forgets them.
    std::vector<std::string> TakeCommands()
    {
        std::vector<std::string> commands;
        for (const auto& delivery : m_channel.GetDeliveries()) {
            const std::string text = delivery.bytes.c_str();
            commands.push_back(text.substr(text.find(' ') + 1));
            m_nLastId = std::stoi(text.substr(1));
        }
        m_channel.ClearRecords();
        return commands;
    }
    // Sends a command and answers it.
    void Answer(std::unique_ptr<CSkypeCommandHandler> pHandler, const std::string& reply)
    {
        m_owner.Issue(std::move(pHandler));
        TakeCommands();
        Deliver("#" + std::to_string(m_nLastId) + " " + reply);
    }
    void Deliver(const std::string& text)
    {
        const CopyDataBlock block{0, static_cast<std::uint32_t>(text.size() + 1), text.c_str()};
        m_link.HandleCopyData("client", &block);
    }
    std::vector<std::pair<std::string, std::int32_t>> Listed() const
    {
        std::vector<std::pair<std::string, std::int32_t>> items;
        for (const auto& item : m_owner.m_calls.Items())
            items.emplace_back(item.strText, item.nCallId);
        return items;
    }
    void List(std::initializer_list<std::pair<const char*, std::int32_t>> calls,
              std::optional<std::int32_t> selected)
    {
        for (const auto& [text, id] : calls)
            m_owner.m_calls.Add(text, id);
        m_owner.m_calls.SelectCall(selected);
    }

    CInProcessSkypeChannel m_channel;
    CSkypeConnection m_link{m_channel, nullptr};
    CRecordingOwner m_owner{m_link};
    CCallTracker m_tracker{m_link, m_owner};
    int m_nLastId = 0;
};

} // namespace

TEST_F(Calls, SearchRepliesListAndPruneCalls)
{
    using Listing = std::vector<std::pair<std::string, std::int32_t>>;
    const struct {
        const char* pszReply;
        std::vector<std::string> requests;
        Listing listed;
        std::optional<std::int32_t> selected;
    } cases[] = {
        {"CALLS 12, 34",
         {"GET CALL 12 PARTNER_DISPNAME", "GET CALL 34 PARTNER_DISPNAME"},
         {{"Ann", 12}},
         12},
        {"calls 34", {"GET CALL 34 PARTNER_DISPNAME"}, {}, std::nullopt}, // the selected call left
        {"CALLS ", {}, {}, std::nullopt},
        {"CALLS", {}, {{"Ann", 12}, {"Bob", 30}}, 12},
        {"ERROR 68", {}, {{"Ann", 12}, {"Bob", 30}}, 12},
        {"CALLS ,,x, 30,", {"GET CALL 30 PARTNER_DISPNAME"}, {{"Bob", 30}}, std::nullopt},
    };
    for (const auto& c : cases) {
        m_owner.m_calls = CActiveCallList();
        List({{"Ann", 12}, {"Bob", 30}}, 12);
        Answer(std::make_unique<CSearchActiveCalls>(m_owner), c.pszReply);
        EXPECT_EQ(TakeCommands(), c.requests) << c.pszReply;
        EXPECT_EQ(Listed(), c.listed) << c.pszReply;
        EXPECT_EQ(m_owner.m_calls.SelectedCall(), c.selected) << c.pszReply;
    }
}

TEST_F(Calls, PropertyRepliesAddNamedCallsAndKeepTheSelection)
{
    Answer(std::make_unique<CGetCallProperty>(12, m_owner), "CALL 12 PARTNER_DISPNAME Zoe");
    EXPECT_EQ(m_owner.m_calls.SelectedCall(), 12); // the first call is selected
    Answer(std::make_unique<CGetCallProperty>(12, m_owner), "CALL 12 PARTNER_DISPNAME Other");
    Answer(std::make_unique<CGetCallProperty>(12, m_owner), "CALL 13 PARTNER_DISPNAME Wrong");
    Answer(std::make_unique<CGetCallProperty>(40, m_owner), "call 40 partner_dispname Jos\xE9");
    Answer(std::make_unique<CGetCallProperty>(41, m_owner), "CALL 41 PARTNER_DISPNAME \x01\t");
    Answer(std::make_unique<CGetCallProperty>(42, m_owner), "CALL 42 PARTNER_DISPNAME A\x1b[31mB");
    EXPECT_EQ(Listed(), (std::vector<std::pair<std::string, std::int32_t>>{
                            {"A[31mB", 42}, {"Call 41", 41}, {"Jos\xC3\xA9", 40}, {"Zoe", 12}}));
    EXPECT_EQ(m_owner.m_calls.SelectedCall(), 12); // a later call never takes it
}

TEST_F(Calls, InputSwitchTakesOnlyTheEcho)
{
    const struct {
        const char* pszReply; // nullptr: no reply before the time-out
        bool bTransmitting;
        const char* pszStatus;
    } cases[] = {
        {"ALTER CALL 12 SET_INPUT PORT=\"17171\"", true, "CSetNetInput::OnResponse => SUCCESS\n"},
        {"alter call 12 set_input port=\"17171\" and more", true,
         "CSetNetInput::OnResponse => SUCCESS\n"},
        {"ERROR 559 CALL: Action failed", false,
         "Cannot establish connection with Skype: ERROR 559 CALL: Action failed"},
        {"ALTER CALL 12 SET_INPUT PORT=\"1717\"", false,
         "Cannot establish connection with Skype: ALTER CALL 12 SET_INPUT PORT=\"1717\""},
        {nullptr, false, "unchanged"},
    };
    for (const auto& c : cases) {
        m_owner.m_bTransmitting = !c.bTransmitting;
        m_owner.m_strStatus = "unchanged";
        const int nIcons = m_owner.m_nIdleIcons;
        if (c.pszReply != nullptr) {
            Answer(std::make_unique<CSetNetInput>(m_owner, 12), c.pszReply);
        } else {
            m_owner.Issue(std::make_unique<CSetNetInput>(m_owner, 12));
            m_channel.SetTickCount(m_channel.GetTickCount() + 5001);
            m_link.Tick();
        }
        EXPECT_EQ(m_owner.m_bTransmitting, c.bTransmitting);
        EXPECT_EQ(m_owner.m_strStatus, c.pszStatus);
        EXPECT_EQ(m_owner.m_nIdleIcons, nIcons + (c.bTransmitting ? 0 : 1));
    }
    EXPECT_EQ(CSetDefaultInput(m_owner, 7).GetCommand(),
              "ALTER CALL 7 SET_INPUT SOUNDCARD=\"default\"");
}

TEST_F(Calls, NotificationsAboutTheSelectedCallOnly)
{
    const struct {
        const char* pszLine;
        bool bTransmittingBefore;
        // after the line:
        bool bPending, bTransmitting, bStopped;
        const char* pszDuration;
    } cases[] = {
        {"call 5 status finished", true, false, false, true, "00:00"},
        {"CALL 5 STATUS CANCELLED", true, false, false, true, "00:00"},
        {"CALL 5 STATUS FINISHEDX", true, true, true, false, "00:00"},
        {"CALL 5 STATUS INPROGRESS", true, true, true, false, "00:00"},
        {"CALL 6 STATUS FINISHED", true, true, true, false, "00:00"},
        {"CALL 5 DURATION 61", false, true, false, false, "01:01"},
        {"CALL 5 DURATION 0", false, false, false, false, "00:00"},
        {"CALL 5 DURATION 61", true, false, true, false, "01:01"},
        {"CALL 5 DURATION 6000", true, false, true, false, "100:00"},
        {"CALL 5 VAA_INPUT_STATUS FALSE", true, true, false, false, "00:00"},
        {"CALL 5 VAA_INPUT_STATUS FALSE ", true, true, true, false, "00:00"},
    };
    for (const auto& c : cases) {
        CCallTracker tracker(m_link, m_owner); // switch pending, as at start
        m_owner.m_calls = CActiveCallList();
        List({{"Five", 5}, {"Six", 6}}, 5);
        m_owner.m_bTransmitting = c.bTransmittingBefore;
        m_owner.m_nStops = 0;
        m_owner.m_strDuration = "00:00";
        tracker.OnNotification(c.pszLine);
        EXPECT_EQ(tracker.IsInputSwitchPending(), c.bPending) << c.pszLine;
        EXPECT_EQ(m_owner.m_bTransmitting, c.bTransmitting) << c.pszLine;
        EXPECT_EQ(m_owner.m_nStops, c.bStopped ? 1 : 0) << c.pszLine;
        EXPECT_EQ(m_owner.m_strDuration, c.pszDuration) << c.pszLine;
    }
    m_owner.m_calls.Select(-1);
    m_tracker.OnNotification("CALL 5 STATUS FINISHED"); // nothing selected: nothing happens
    EXPECT_EQ(m_owner.m_nStops, 0);
}

TEST_F(Calls, TickSearchesOnScheduleAndSwitchesTheSelectedCall)
{
    m_channel.SetTickCount(100);
    m_tracker.OnAttached();
    m_tracker.OnTick(100); // right after attaching, though the clock is near its start
    EXPECT_EQ(TakeCommands(), std::vector<std::string>{"SEARCH ACTIVECALLS"});
    const std::pair<std::uint32_t, bool> ticks[] = {
        {600, false}, {2100, false}, {2101, true}, {4101, false}, {4600, true}};
    for (const auto& [dwNow, bSearch] : ticks) {
        m_tracker.OnTick(dwNow);
        EXPECT_EQ(TakeCommands().size(), bSearch ? 1u : 0u) << dwNow;
    }
    // The switch waits for a selected call and a renderer.
    m_owner.m_bRenderer = false;
    List({{"Ann", 12}}, 12);
    m_tracker.OnTick(4700);
    EXPECT_TRUE(TakeCommands().empty());
    m_owner.m_bRenderer = true;
    m_tracker.OnTick(4800);
    EXPECT_EQ(TakeCommands(), std::vector<std::string>{"ALTER CALL 12 SET_INPUT PORT=\"17171\""});
    // Refused: asked again only after the next duration notification.
    Deliver("#" + std::to_string(m_nLastId) + " ERROR 559");
    m_tracker.OnTick(4900);
    EXPECT_TRUE(TakeCommands().empty());
    m_tracker.OnNotification("CALL 12 DURATION 3");
    m_tracker.OnTick(5000);
    EXPECT_EQ(TakeCommands(), std::vector<std::string>{"ALTER CALL 12 SET_INPUT PORT=\"17171\""});
}
