// The link over a private bus against callsim, the way the player meets the
// call client.
#include "testkit/bus_testkit.h"

#include <QDBusReply>

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>

namespace {

// Replies are matched by id, also to commands issued from inside a reply
// handler, and the client's notifications reach the link's events. A client
// that answers nothing: the command goes out and the link carries on at once;
// the missing answer detaches it after the delivery time-out, and at closing a
// flush waits for that answer, and no longer. A crashed client detaches it at
// once, without that time-out. Either way the command waits for the client
// found next. A line another connection sends in the client's place is
// refused, and a second channel on one connection or one without a bus is
// unusable.
TEST(DBusLinkTest, MatchesRepliesOnlyFromTheClientAndNeverHangsOnIt)
{
    // No timed lines: one that crosses a re-attach would detach the link again.
    auto pCallsim = std::make_unique<CCallsimProcess>(QStringList{
        "--call", "12:Alice", "--call", "34:Bob Smith", "--duration-interval", "3600000"});
    CTestPlayer player(1500);
    ASSERT_TRUE(player.TickUntilState());
    EXPECT_EQ(player.m_events.m_nAttached, 1);
    EXPECT_EQ(player.m_connection.GetSkypeWindow(), pCallsim->GetWindow());
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
    pCallsim->Control("notify CALL 12 DURATION 7");
    EXPECT_TRUE(player.WaitForNotification("CALL 12 DURATION 7"));

    // A hung or crashed client.
    int nHung = -1;
    for (const char* pszFault : {"hang", "hang and flush", "crash"}) {
        SCOPED_TRACE(pszFault);
        const bool bHang = pszFault[0] == 'h';
        if (bHang) {
            pCallsim->Control("hang");
            ASSERT_GE(nHung = pCallsim->WaitForLine("control hang", nHung + 1), 0);
        } else {
            pCallsim->Kill();
        }
        auto pLog = player.Issue("SEARCH ACTIVECALLS");
        EXPECT_EQ(player.m_connection.GetHandlerCount(), 1u);
        if (bHang) {
            EXPECT_EQ(player.m_connection.GetAttachState(), 0) << "waited for the answer";
        }
        if (std::string_view(pszFault).ends_with("flush")) {
            player.m_connection.FlushDeliveries();
            EXPECT_EQ(player.m_connection.GetAttachState(), 3) << "the answer is in on return";
        }
        ASSERT_TRUE(WaitFor([&] { return player.m_connection.GetAttachState() == 3; }));
        const std::string error = player.m_channel.GetLastDeliveryError();
        EXPECT_EQ(error == "org.freedesktop.DBus.Error.NoReply", bHang) << error;
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(pLog->responses.empty());
        if (bHang)
            pCallsim->Control("answer");
        else
            pCallsim = std::make_unique<CCallsimProcess>(
                QStringList{"--call", "56:Carol", "--duration-interval", "3600000"});
        ASSERT_TRUE(player.TickUntilState());
        EXPECT_EQ(player.m_connection.GetSkypeWindow(), pCallsim->GetWindow());
        player.m_connection.Tick(); // the waiting command goes out now
        ASSERT_TRUE(WaitFor([&] { return !pLog->responses.empty(); }));
        EXPECT_EQ(pLog->responses[0], bHang ? "CALLS 12, 34" : "CALLS 56");
    }
    EXPECT_EQ(player.m_events.m_nDetached, 3);

    // Another connection's line is not the client's, whatever it says.
    QDBusConnection intruder = ConnectToBus();
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromStdString(player.m_channel.GetOwnWindow()),
        QString::fromLatin1(kSkypeApiObjectPath), QString::fromLatin1(kSkypeApiInterface),
        QStringLiteral("CopyData"));
    call << QByteArray("CALL 56 STATUS FINISHED", 24); // with its NUL
    // The player answers on this thread: wait with its event loop running.
    const QDBusReply<uint> reply = intruder.call(call, QDBus::BlockWithGui, 5000);
    ASSERT_TRUE(reply.isValid()) << reply.error().message().toStdString();
    EXPECT_EQ(reply.value(), 0u);
    EXPECT_EQ(std::ranges::count(player.m_events.m_notifications, "CALL 56 STATUS FINISHED"), 0);

    // A channel is usable only where it could export the API object.
    CDBusSkypeChannel first(intruder);
    CDBusSkypeChannel second(intruder);
    CDBusSkypeChannel unreachable(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("unreachable")));
    EXPECT_TRUE(CSkypeConnection(first).IsUsable());
    for (CDBusSkypeChannel* pChannel : {&second, &unreachable})
        EXPECT_FALSE(CSkypeConnection(*pChannel).IsUsable()) << "object taken or no bus";
}

} // namespace
