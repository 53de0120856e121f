// The link over a private bus against callsim, the way the player meets the
// call client.
#include "testkit/bus_testkit.h"

#include <QDBusReply>

#include <gtest/gtest.h>

namespace {

// Replies are matched by id, also to commands issued from inside a reply
// handler, and the client's notifications reach the link's events.
TEST(DBusLinkTest, AttachesAndMatchesRepliesIncludingNestedCommands)
{
    CCallsimProcess callsim(
        {"--call", "12:Alice", "--call", "34:Bob Smith", "--duration-interval", "100"});
    CTestPlayer player;
    ASSERT_TRUE(player.TickUntilState());
    EXPECT_EQ(player.m_events.m_nAttached, 1);
    EXPECT_EQ(player.m_connection.GetSkypeWindow(), callsim.GetWindow());
    std::vector<std::shared_ptr<CommandLog>> properties;
    auto pSearch = player.Issue("SEARCH ACTIVECALLS", [&] {
        for (const char* pszCall : {"12", "34"})
            properties.push_back(
                player.Issue(std::string("GET CALL ") + pszCall + " PARTNER_DISPNAME"));
    });
    ASSERT_TRUE(WaitFor([&] {
        return properties.size() == 2 && !properties[0]->responses.empty() &&
               !properties[1]->responses.empty();
    }));
    EXPECT_EQ(properties[0]->responses[0], "CALL 12 PARTNER_DISPNAME Alice");
    EXPECT_EQ(properties[1]->responses[0], "CALL 34 PARTNER_DISPNAME Bob Smith");
    EXPECT_EQ(pSearch->responses, std::vector<std::string>{"CALLS 12, 34"});
    EXPECT_EQ(player.m_connection.GetHandlerCount(), 0u);
    EXPECT_TRUE(player.WaitForNotification("CALL 12 DURATION "));
}

TEST(DBusLinkTest, ClientCrashDetachesAtOnceAndTheLinkRediscovers)
{
    auto pCallsim = std::make_unique<CCallsimProcess>(QStringList{"--call", "12:Alice"});
    CTestPlayer player(60000); // a crashed client must not cost the delivery time-out
    ASSERT_TRUE(player.TickUntilState());
    pCallsim->Kill();

    auto pLog = player.Issue("SEARCH ACTIVECALLS");
    ASSERT_TRUE(WaitFor([&] { return player.m_connection.GetAttachState() == 3; }));
    EXPECT_EQ(player.m_events.m_nDetached, 1);
    EXPECT_NE(player.m_channel.GetLastDeliveryError(), "org.freedesktop.DBus.Error.NoReply");
    EXPECT_FALSE(player.m_channel.GetLastDeliveryError().empty());

    pCallsim = std::make_unique<CCallsimProcess>(QStringList{"--call", "56:Carol"});
    ASSERT_TRUE(player.TickUntilState());
    EXPECT_EQ(player.m_connection.GetSkypeWindow(), pCallsim->GetWindow());
    player.m_connection.Tick(); // the waiting command goes out now
    ASSERT_TRUE(WaitFor([&] { return !pLog->responses.empty(); }));
    EXPECT_EQ(pLog->responses[0], "CALLS 56");
}

TEST(DBusLinkTest, CopyDataFromAnotherConnectionIsRefused)
{
    CCallsimProcess callsim({}); // no calls, so no notifications of its own
    CTestPlayer player;
    ASSERT_TRUE(player.TickUntilState());
    auto pLog = std::make_shared<CommandLog>();
    // Never sent: it stays in the table for a spoofed reply to find.
    player.m_connection.AddHandler(std::make_unique<CLoggingHandler>("SEARCH ACTIVECALLS", pLog));

    QDBusConnection intruder = ConnectToBus();
    for (const std::string& text :
         {"#" + std::to_string(pLog->id) + " CALLS 666", std::string("CALL 12 STATUS FINISHED")}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QString::fromStdString(player.m_channel.GetOwnWindow()),
            QString::fromLatin1(kSkypeApiObjectPath), QString::fromLatin1(kSkypeApiInterface),
            QStringLiteral("CopyData"));
        call << QByteArray(text.c_str(), static_cast<qsizetype>(text.size() + 1));
        // The player answers on this thread: wait with its event loop running.
        const QDBusReply<uint> reply = intruder.call(call, QDBus::BlockWithGui, 5000);
        ASSERT_TRUE(reply.isValid()) << reply.error().message().toStdString();
        EXPECT_EQ(reply.value(), 0u);
    }
    EXPECT_TRUE(pLog->responses.empty());
    EXPECT_TRUE(player.m_events.m_notifications.empty());
}

// A client that answers nothing: the command goes out and the link carries
// on at once; the missing answer detaches it after the delivery time-out,
// and at closing a flush waits for that answer, and no longer.
TEST(DBusLinkTest, AClientThatAnswersNothingNeverHoldsTheLinkUp)
{
    CCallsimProcess callsim({"--call", "12:Alice"});
    CTestPlayer player(1500);
    ASSERT_TRUE(player.TickUntilState());
    callsim.Control("hang");
    int nHung = callsim.WaitForLine("control hang");
    ASSERT_GE(nHung, 0);
    for (const bool bFlush : {false, true}) {
        auto pLog = player.Issue("SEARCH ACTIVECALLS");
        EXPECT_EQ(player.m_connection.GetAttachState(), 0); // not waiting for the answer
        EXPECT_EQ(player.m_connection.GetHandlerCount(), 1u);
        if (bFlush)
            player.m_connection.FlushDeliveries(); // the answer is in when it returns
        else
            ASSERT_TRUE(WaitFor([&] { return player.m_connection.GetAttachState() == 3; }));
        EXPECT_EQ(player.m_connection.GetAttachState(), 3) << bFlush;
        EXPECT_EQ(player.m_channel.GetLastDeliveryError(), "org.freedesktop.DBus.Error.NoReply");
        EXPECT_TRUE(pLog->responses.empty());
        // Found again once it answers; the command waits for that.
        callsim.Control("answer");
        ASSERT_TRUE(player.TickUntilState());
        player.m_connection.Tick();
        ASSERT_TRUE(WaitFor([&] { return !pLog->responses.empty(); }));
        callsim.Control("hang");
        nHung = callsim.WaitForLine("control hang", nHung + 1);
        ASSERT_GE(nHung, 0);
    }
}

TEST(DBusChannelRegistrationTest, FailsWithoutABusOrWhenTheObjectIsTaken)
{
    QDBusConnection shared = ConnectToBus();
    CDBusSkypeChannel first(shared);
    CDBusSkypeChannel second(shared); // the API object is already exported
    CDBusSkypeChannel unreachable(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("unreachable")));
    EXPECT_TRUE(CSkypeConnection(first).IsUsable());
    for (CDBusSkypeChannel* pChannel : {&second, &unreachable})
        EXPECT_FALSE(CSkypeConnection(*pChannel).IsUsable());
}

} // namespace
