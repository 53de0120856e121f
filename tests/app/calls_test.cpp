// The call commands and the call tracking on a link over the in-process
// channel, with a clock the tests set and a listener that records what the
// window would be told.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "call_commands.h"
#include "call_tracker.h"
#include "in_process_channel.h"
#include "skype_connection.h"
#include "undo_journal.h"

namespace {

class CRecordingListener final : public ICallListener {
public:
    void OnCallsChanged() override { ++m_nListChanges; }
    void OnCallStatus(const std::string& strText) override
    {
        m_strStatus = strText;
        m_events.push_back("status " + strText);
    }
    void OnTransmittingChanged(bool bTransmitting) override
    {
        m_nIdleIcons += bTransmitting ? 0 : 1;
        m_events.push_back(bTransmitting ? "transmitting" : "not transmitting");
    }
    void OnCallEnded() override
    {
        ++m_nStops;
        m_events.push_back("ended");
    }
    void OnCallDuration(const std::string& strText) override { m_strDuration = strText; }

    void Reset() { *this = CRecordingListener(); }

    std::string m_strStatus = "unchanged", m_strDuration = "00:00";
    int m_nIdleIcons = 0, m_nStops = 0, m_nListChanges = 0;
    std::vector<std::string> m_events;
};

// What the guard would be told, in order.
class CRecordingJournal final : public IUndoJournal {
public:
    void CallSwitched(std::int32_t nCallId) override
    {
        m_events.push_back("switched " + std::to_string(nCallId));
    }
    void CallReleased(std::int32_t nCallId) override
    {
        m_events.push_back("released " + std::to_string(nCallId));
    }
    void ModuleLoaded(std::uint32_t) override {}
    void ModuleUnloaded(std::uint32_t) override {}

    std::vector<std::string> m_events;
};

class Calls : public ::testing::Test {
protected:
    void SetUp() override { m_channel.ReceiveAttach("client", CSkypeConnection::kAttachSuccess); }

    CCallTracker& Tracker() { return *m_pTracker; }
    // A tracker as at start: nothing listed, a switch pending.
    void NewTracker()
    {
        m_pTracker.reset(); // first, as it hands the link's events back
        m_pTracker = std::make_unique<CCallTracker>(m_link, m_listener, 17171);
    }

    // The commands sent so far, without their "#id " prefix, and forgets them.
    std::vector<std::string> TakeCommands()
    {
        std::vector<std::string> commands;
        for (const auto& delivery : m_channel.GetDeliveries()) {
            commands.push_back(delivery.text.substr(delivery.text.find(' ') + 1));
            m_nLastId = std::stoi(delivery.text.substr(1));
        }
        m_channel.ClearRecords();
        return commands;
    }
    // Sends a command and answers it.
    void Answer(std::unique_ptr<CSkypeCommandHandler> pHandler, const std::string& reply)
    {
        Tracker().Issue(std::move(pHandler));
        TakeCommands();
        Deliver("#" + std::to_string(m_nLastId) + " " + reply);
    }
    void Deliver(const std::string& text) { m_channel.ReceiveText("client", text); }
    std::vector<std::pair<std::string, std::int32_t>> Listed()
    {
        std::vector<std::pair<std::string, std::int32_t>> items;
        for (const auto& item : Tracker().Calls().Items())
            items.emplace_back(item.strText, item.nCallId);
        return items;
    }
    void List(std::initializer_list<std::pair<const char*, std::int32_t>> calls,
              std::optional<std::int32_t> selected)
    {
        CActiveCallList& list = Tracker().Calls();
        while (list.Count() > 0)
            list.Delete(0);
        for (const auto& [text, id] : calls)
            list.Add(text, id);
        list.SelectCall(selected);
    }
    void StartTransmitting(bool bTransmitting)
    {
        Tracker().SetTransmitting(bTransmitting);
        m_listener.Reset();
    }

    CInProcessSkypeChannel m_channel;
    CSkypeConnection m_link{m_channel};
    CRecordingListener m_listener;
    std::unique_ptr<CCallTracker> m_pTracker =
        std::make_unique<CCallTracker>(m_link, m_listener, 17171);
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
        List({{"Ann", 12}, {"Bob", 30}}, 12);
        m_listener.Reset();
        Answer(std::make_unique<CSearchActiveCalls>(Tracker()), c.pszReply);
        EXPECT_EQ(TakeCommands(), c.requests) << c.pszReply;
        EXPECT_EQ(Listed(), c.listed) << c.pszReply;
        EXPECT_EQ(Tracker().Calls().SelectedCall(), c.selected) << c.pszReply;
        // The window hears of every change, so its list never shows a stale call.
        EXPECT_EQ(m_listener.m_nListChanges > 0, Listed() != Listing({{"Ann", 12}, {"Bob", 30}}))
            << c.pszReply;
    }
}

TEST_F(Calls, PropertyRepliesAddNamedCallsAndKeepTheSelection)
{
    Answer(std::make_unique<CGetCallProperty>(12, Tracker()), "CALL 12 PARTNER_DISPNAME Zoe");
    EXPECT_EQ(Tracker().Calls().SelectedCall(), 12); // the first call is selected
    Answer(std::make_unique<CGetCallProperty>(12, Tracker()), "CALL 12 PARTNER_DISPNAME Other");
    Answer(std::make_unique<CGetCallProperty>(12, Tracker()), "CALL 13 PARTNER_DISPNAME Wrong");
    Answer(std::make_unique<CGetCallProperty>(40, Tracker()), "call 40 partner_dispname Jos\xE9");
    Answer(std::make_unique<CGetCallProperty>(41, Tracker()), "CALL 41 PARTNER_DISPNAME \x01\t");
    Answer(std::make_unique<CGetCallProperty>(42, Tracker()),
           "CALL 42 PARTNER_DISPNAME A\x1b[31mB");
    EXPECT_EQ(Listed(), (std::vector<std::pair<std::string, std::int32_t>>{
                            {"A[31mB", 42}, {"Call 41", 41}, {"Jos\xC3\xA9", 40}, {"Zoe", 12}}));
    EXPECT_EQ(Tracker().Calls().SelectedCall(), 12); // a later call never takes it
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
        StartTransmitting(!c.bTransmitting);
        if (c.pszReply != nullptr) {
            Answer(std::make_unique<CSetNetInput>(Tracker(), 12), c.pszReply);
        } else {
            Tracker().Issue(std::make_unique<CSetNetInput>(Tracker(), 12));
            m_channel.SetTickCount(m_channel.GetTickCount() + 5001);
            m_link.Tick();
        }
        EXPECT_EQ(Tracker().IsTransmitting(), c.bTransmitting);
        EXPECT_EQ(m_listener.m_strStatus, c.pszStatus);
        EXPECT_EQ(m_listener.m_nIdleIcons, c.bTransmitting ? 0 : 1);
    }
    TakeCommands();
    List({{"Seven", 7}}, 7);
    Tracker().SwitchBack();
    EXPECT_EQ(TakeCommands(),
              std::vector<std::string>{"ALTER CALL 7 SET_INPUT SOUNDCARD=\"default\""});
    List({{"Seven", 7}}, std::nullopt);
    Tracker().SwitchBack();
    EXPECT_TRUE(TakeCommands().empty());
}

TEST_F(Calls, NotificationsAboutTheSelectedCallOnly)
{
    const std::vector<std::string> kEnd = {"status Call finished.\n", "ended", "not transmitting"};
    const struct {
        const char* pszLine;
        bool bTransmittingBefore;
        // after the line:
        bool bPending, bTransmitting, bStopped;
        const char* pszDuration;
        const char* pszStatus;
    } cases[] = {
        {"call 5 status finished", true, false, false, true, "00:00", "Call finished.\n"},
        {"CALL 5 STATUS FINISHED", false, false, false, true, "00:00", "Call finished.\n"},
        {"CALL 5 STATUS CANCELLED", true, false, false, true, "00:00", "Call finished.\n"},
        {"CALL 5 STATUS FAILED", true, false, false, true, "00:00", "Call finished.\n"},
        {"CALL 5 STATUS MISSED", true, false, false, true, "00:00", "Call finished.\n"},
        {"CALL 5 STATUS REFUSED", true, false, false, true, "00:00", "Call finished.\n"},
        {"Call 5 Status Busy", true, false, false, true, "00:00", "Call finished.\n"},
        {"CALL 5 STATUS FINISHEDX", true, true, true, false, "00:00", "unchanged"},
        {"CALL 5 STATUS INPROGRESS", true, true, true, false, "00:00", "unchanged"},
        {"CALL 6 STATUS FINISHED", true, true, true, false, "00:00", "unchanged"},
        {"CALL 5 DURATION 61", false, true, false, false, "01:01", "unchanged"},
        {"CALL 5 DURATION 0", false, false, false, false, "00:00", "unchanged"},
        {"CALL 5 DURATION 61", true, false, true, false, "01:01", "unchanged"},
        {"CALL 5 DURATION 6000", true, false, true, false, "100:00", "unchanged"},
        {"CALL 5 VAA_INPUT_STATUS FALSE", true, true, false, false, "00:00",
         "Skype has disconnected from the network port\n"},
        {"CALL 5 VAA_INPUT_STATUS FALSE ", true, true, true, false, "00:00", "unchanged"},
    };
    for (const auto& c : cases) {
        NewTracker();
        List({{"Five", 5}, {"Six", 6}}, 5);
        StartTransmitting(c.bTransmittingBefore);
        Deliver(c.pszLine); // as the client sends it, through the link
        EXPECT_EQ(Tracker().IsInputSwitchPending(), c.bPending) << c.pszLine;
        EXPECT_EQ(Tracker().IsTransmitting(), c.bTransmitting) << c.pszLine;
        EXPECT_EQ(m_listener.m_nStops, c.bStopped ? 1 : 0) << c.pszLine;
        EXPECT_EQ(m_listener.m_strDuration, c.pszDuration) << c.pszLine;
        EXPECT_EQ(m_listener.m_strStatus, c.pszStatus) << c.pszLine;
        if (c.bStopped) { // shown, stopped, then the flag and its picture
            EXPECT_EQ(m_listener.m_events, kEnd) << c.pszLine;
        }
    }
    Tracker().Calls().Select(-1);
    Deliver("CALL 5 STATUS FINISHED"); // nothing selected: nothing happens
    EXPECT_EQ(m_listener.m_nStops, 0);
}

TEST_F(Calls, TransmittingEndsWithTheLinkOrThePort)
{
    const struct {
        const char* pszCase;
        std::function<void()> act;
        const char* pszStatus;
    } cases[] = {
        {"a line the client did not take",
         [this] {
             m_channel.SetDeliveryAnswer([](const auto&) { return false; });
             Tracker().Issue(std::make_unique<CSearchActiveCalls>(Tracker()));
         },
         "Skype refused connection.\n"},
        {"the call's connection to our port lost", [this] { Tracker().OnTransmissionLost(); },
         "unchanged"},
    };
    for (const auto& c : cases) {
        m_channel.SetDeliveryAnswer({});
        m_channel.ReceiveAttach("client", CSkypeConnection::kAttachSuccess);
        StartTransmitting(true);
        ASSERT_TRUE(Tracker().IsInputSwitchedToUs());
        c.act();
        EXPECT_FALSE(Tracker().IsTransmitting()) << c.pszCase;
        EXPECT_FALSE(Tracker().IsInputSwitchedToUs()) << c.pszCase;
        EXPECT_EQ(m_listener.m_nIdleIcons, 1) << c.pszCase;
        EXPECT_EQ(m_listener.m_strStatus, c.pszStatus) << c.pszCase;
    }
}

TEST_F(Calls, TickSearchesOnScheduleAndSwitchesTheSelectedCall)
{
    m_channel.SetTickCount(100);
    m_channel.ReceiveAttach("client", CSkypeConnection::kAttachSuccess);
    Tracker().OnTick(100, true); // right after attaching, though the clock is near its start
    EXPECT_EQ(TakeCommands(), std::vector<std::string>{"SEARCH ACTIVECALLS"});
    const std::pair<std::uint32_t, bool> ticks[] = {
        {600, false}, {2100, false}, {2101, true}, {4101, false}, {4600, true}};
    for (const auto& [dwNow, bSearch] : ticks) {
        Tracker().OnTick(dwNow, true);
        EXPECT_EQ(TakeCommands().size(), bSearch ? 1u : 0u) << dwNow;
    }
    // The switch waits for a selected call and a port to feed it.
    List({{"Ann", 12}}, 12);
    Tracker().OnTick(4700, false);
    EXPECT_TRUE(TakeCommands().empty());
    CRecordingJournal journal;
    SetUndoJournal(&journal);
    Tracker().OnTick(4800, true);
    EXPECT_EQ(TakeCommands(), std::vector<std::string>{"ALTER CALL 12 SET_INPUT PORT=\"17171\""});
    // The guard knows of the switch before the client can make it, so a
    // death before the echo is read still gives the call back.
    EXPECT_EQ(journal.m_events, std::vector<std::string>{"switched 12"});
    // Refused: asked again only after the next duration notification.
    Deliver("#" + std::to_string(m_nLastId) + " ERROR 559");
    SetUndoJournal(nullptr);
    EXPECT_EQ(journal.m_events, (std::vector<std::string>{"switched 12", "released 12"}));
    Tracker().OnTick(4900, true);
    EXPECT_TRUE(TakeCommands().empty());
    Deliver("CALL 12 DURATION 3");
    Tracker().OnTick(5000, true);
    EXPECT_EQ(TakeCommands(), std::vector<std::string>{"ALTER CALL 12 SET_INPUT PORT=\"17171\""});
}
