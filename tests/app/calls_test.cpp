// The call commands and the call tracking on a link over the in-process
// channel, with a clock the tests set: what the window and the guard are told.
#include <gtest/gtest.h>

#include <optional>
#include <utility>

#include "call_commands.h"
#include "call_tracker.h"
#include "in_process_channel.h"
#include "skype_connection.h"
#include "undo_journal.h"

namespace {

using Lines = std::vector<std::string>;
using Listing = std::vector<std::pair<std::string, std::int32_t>>;

// What the window and the guard are told, as one log in the order it came.
class CLog final : public ICallListener, public IUndoJournal {
public:
    void OnCallsChanged() override { ++m_nListChanges; }
    void OnCallStatus(const std::string& strText) override { Add("status " + strText); }
    void OnTransmittingChanged(bool bOn) override { Add(bOn ? "transmitting" : "idle"); }
    void OnCallEnded() override { Add("ended"); }
    void OnCallDuration(const std::string& strText) override { Add("duration " + strText); }
    void CallSwitched(std::int32_t nId) override { Add("switched " + std::to_string(nId)); }
    void CallReleased(std::int32_t nId) override { Add("released " + std::to_string(nId)); }
    void ModuleLoaded(std::uint32_t) override {}
    void ModuleUnloaded(std::uint32_t) override {}

    void Add(const std::string& line) { m_lines.push_back(line); }
    Lines Take() { return std::exchange(m_lines, {}); }
    Lines m_lines;
    int m_nListChanges = 0;
};

class Calls : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetUndoJournal(&m_log);
        m_channel.ReceiveAttach("client", CSkypeConnection::kAttachSuccess);
    }
    void TearDown() override { SetUndoJournal(nullptr); }

    // A tracker as at start, with these calls listed and a switch pending.
    void NewTracker(const Listing& calls = {}, std::optional<std::int32_t> selected = {})
    {
        m_pTracker.reset(); // first, as it hands the link's events back
        m_pTracker = std::make_unique<CCallTracker>(m_link, m_log, 17171);
        for (const auto& [text, id] : calls)
            m_pTracker->Calls().Add(text, id);
        m_pTracker->Calls().SelectCall(selected);
        m_log.m_nListChanges = 0;
    }
    // The commands sent since the last call, without their "#id " prefix.
    Lines TakeCommands()
    {
        Lines commands;
        for (const auto& delivery : m_channel.GetDeliveries()) {
            commands.push_back(delivery.text.substr(delivery.text.find(' ') + 1));
            m_nLastId = std::stoi(delivery.text.substr(1));
        }
        m_channel.ClearRecords();
        return commands;
    }
    void Answer(std::unique_ptr<CSkypeCommandHandler> pHandler, const std::string& reply)
    {
        m_pTracker->Issue(std::move(pHandler));
        TakeCommands();
        Deliver("#" + std::to_string(m_nLastId) + " " + reply);
    }
    void Deliver(const std::string& text) { m_channel.ReceiveText("client", text); }
    Listing Listed()
    {
        Listing items;
        for (const auto& item : m_pTracker->Calls().Items())
            items.emplace_back(item.strText, item.nCallId);
        return items;
    }

    CInProcessSkypeChannel m_channel;
    CSkypeConnection m_link{m_channel};
    CLog m_log;
    std::unique_ptr<CCallTracker> m_pTracker = std::make_unique<CCallTracker>(m_link, m_log, 17171);
    int m_nLastId = 0;
};

} // namespace

TEST_F(Calls, SearchRepliesListAndPruneCalls)
{
    const Listing both = {{"Ann", 12}, {"Bob", 30}};
    const struct {
        const char* pszReply;
        Lines requests;
        Listing listed;
        std::optional<std::int32_t> selected;
    } cases[] = {
        {"CALLS 12, 34",
         {"GET CALL 12 PARTNER_DISPNAME", "GET CALL 34 PARTNER_DISPNAME"},
         {{"Ann", 12}},
         12},
        {"calls 34", {"GET CALL 34 PARTNER_DISPNAME"}, {}, std::nullopt}, // the selected call left
        {"CALLS ", {}, {}, std::nullopt},
        {"CALLS", {}, both, 12},
        {"CALLS ,,x, 30,", {"GET CALL 30 PARTNER_DISPNAME"}, {{"Bob", 30}}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszReply);
        NewTracker(both, 12);
        Answer(std::make_unique<CSearchActiveCalls>(*m_pTracker), c.pszReply);
        EXPECT_EQ(TakeCommands(), c.requests);
        EXPECT_EQ(Listed(), c.listed);
        EXPECT_EQ(m_pTracker->Calls().SelectedCall(), c.selected);
        // The window hears of every change, so its list never shows a stale call.
        EXPECT_EQ(m_log.m_nListChanges > 0, Listed() != both);
    }
}

TEST_F(Calls, PropertyRepliesAddNamedCallsAndKeepTheSelection)
{
    const std::pair<std::int32_t, const char*> replies[] = {
        {12, "CALL 12 PARTNER_DISPNAME Zoe"},    {12, "CALL 12 PARTNER_DISPNAME Other"},
        {12, "CALL 13 PARTNER_DISPNAME Wrong"},  {40, "call 40 partner_dispname Jos\xE9"},
        {41, "CALL 41 PARTNER_DISPNAME \x01\t"}, {42, "CALL 42 PARTNER_DISPNAME A\x1b[31mB"}};
    for (const auto& [nId, pszReply] : replies) {
        Answer(std::make_unique<CGetCallProperty>(nId, *m_pTracker), pszReply);
        EXPECT_EQ(m_pTracker->Calls().SelectedCall(), 12) << pszReply; // the first, and kept
    }
    EXPECT_EQ(Listed(),
              (Listing{{"A[31mB", 42}, {"Call 41", 41}, {"Jos\xC3\xA9", 40}, {"Zoe", 12}}));
}

TEST_F(Calls, InputSwitchTakesOnlyTheEcho)
{
    const std::pair<const char*, bool> replies[] = {
        {"alter call 12 set_input port=\"17171\" and more", true},
        {"ALTER CALL 12 SET_INPUT PORT=\"1717\"", false}};
    for (const auto& [pszReply, bTaken] : replies) {
        SCOPED_TRACE(pszReply);
        m_pTracker->SetTransmitting(!bTaken);
        m_log.Take();
        Answer(std::make_unique<CSetNetInput>(*m_pTracker, 12), pszReply);
        EXPECT_EQ(m_pTracker->IsInputSwitchedToUs(), bTaken);
        const Lines told =
            bTaken
                ? Lines{"status CSetNetInput::OnResponse => SUCCESS\n", "transmitting"}
                : Lines{"released 12",
                        "status Cannot establish connection with Skype: " + std::string(pszReply),
                        "idle"};
        EXPECT_EQ(m_log.Take(), told);
    }
    // No reply within the time-out: the flag goes, nothing is shown.
    m_pTracker->SetTransmitting(true);
    m_log.Take();
    m_pTracker->Issue(std::make_unique<CSetNetInput>(*m_pTracker, 12));
    m_channel.SetTickCount(m_channel.GetTickCount() + 5001);
    m_link.Tick();
    EXPECT_EQ(m_log.Take(), Lines{"idle"});
}

TEST_F(Calls, NotificationsAboutTheSelectedCallOnly)
{
    // Shown, released to the guard, playback stopped, then the flag and its picture.
    const Lines kEnd = {"status Call finished.\n", "released 5", "ended", "idle"};
    const Lines kLost = {"status Skype has disconnected from the network port\n", "idle"};
    const struct {
        const char* pszLine;
        bool bTransmittingBefore, bPendingAfter, bTransmittingAfter;
        Lines told;
    } cases[] = {
        {"CALL 5 STATUS FINISHED", false, false, false, kEnd},
        {"CALL 5 STATUS CANCELLED", true, false, false, kEnd},
        {"CALL 5 STATUS FAILED", true, false, false, kEnd},
        {"CALL 5 STATUS MISSED", true, false, false, kEnd},
        {"CALL 5 STATUS REFUSED", true, false, false, kEnd},
        {"Call 5 Status Busy", true, false, false, kEnd},
        {"CALL 5 STATUS FINISHEDX", true, true, true, {}},
        {"CALL 5 STATUS INPROGRESS", true, true, true, {}},
        {"CALL 6 STATUS FINISHED", true, true, true, {}},
        {"CALL 5 DURATION 61", false, true, false, {"duration 01:01"}},
        {"CALL 5 DURATION 0", false, false, false, {"duration 00:00"}},
        {"CALL 5 DURATION 6000", true, false, true, {"duration 100:00"}},
        {"CALL 5 VAA_INPUT_STATUS FALSE", true, true, false, kLost},
        {"CALL 5 VAA_INPUT_STATUS FALSE ", true, true, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszLine);
        NewTracker({{"Five", 5}, {"Six", 6}}, 5);
        m_pTracker->SetTransmitting(c.bTransmittingBefore);
        m_log.Take();
        Deliver(c.pszLine); // as the client sends it, through the link
        EXPECT_EQ(m_pTracker->IsInputSwitchPending(), c.bPendingAfter);
        EXPECT_EQ(m_pTracker->IsTransmitting(), c.bTransmittingAfter);
        EXPECT_EQ(m_log.Take(), c.told);
    }
    m_pTracker->Calls().Select(-1);
    Deliver("CALL 5 STATUS FINISHED"); // nothing selected: nothing happens
    EXPECT_EQ(m_log.Take(), Lines{});
}

TEST_F(Calls, TickSearchesOnScheduleAndSwitchesTheSelectedCall)
{
    m_channel.SetTickCount(100);
    m_channel.ReceiveAttach("client", CSkypeConnection::kAttachSuccess);
    m_pTracker->OnTick(100, true); // right after attaching, though the clock is near its start
    EXPECT_EQ(TakeCommands(), Lines{"SEARCH ACTIVECALLS"});
    const std::pair<std::uint32_t, bool> ticks[] = {
        {600, false}, {2100, false}, {2101, true}, {4101, false}, {4600, true}};
    for (const auto& [dwNow, bSearch] : ticks) {
        m_pTracker->OnTick(dwNow, true);
        EXPECT_EQ(TakeCommands().size(), bSearch ? 1u : 0u) << dwNow;
    }
    // The switch waits for a selected call and a port to feed it.
    const Lines kSwitch = {"ALTER CALL 12 SET_INPUT PORT=\"17171\""};
    m_pTracker->Calls().Add("Ann", 12);
    m_pTracker->Calls().SelectCall(12);
    m_pTracker->OnTick(4700, false);
    EXPECT_TRUE(TakeCommands().empty());
    m_pTracker->OnTick(4800, true);
    EXPECT_EQ(TakeCommands(), kSwitch);
    // The guard knows before the client can switch, so a death before the echo
    // still gives the call back.
    EXPECT_EQ(m_log.Take(), Lines{"switched 12"});
    // Refused (told as the echo table's wrong echo is): asked again only
    // after the next duration notification.
    Deliver("#" + std::to_string(m_nLastId) + " ERROR 559");
    m_pTracker->OnTick(4900, true);
    EXPECT_TRUE(TakeCommands().empty());
    Deliver("CALL 12 DURATION 3");
    m_pTracker->OnTick(5000, true);
    EXPECT_EQ(TakeCommands(), kSwitch);
}
