// callsim as the player meets it: its replies on a private bus and its
// network input against a plain TCP listener.
#include "testkit/callsim_process.h"
#include "testkit/private_bus.h"
#include "testkit/qt_wait.h"
#include "testkit/test_player.h"

#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

// The player's port: a plain listener on 127.0.0.1 at a port the system picks.
struct Listener {
    QTcpServer server;
    int port = server.listen(QHostAddress::LocalHost) ? server.serverPort() : 0;

    std::unique_ptr<QTcpSocket> Accept()
    {
        WaitFor([&] { return server.hasPendingConnections(); });
        return std::unique_ptr<QTcpSocket>(server.nextPendingConnection());
    }
};

// A temporary file path removed with the object.
struct TempPath {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("callsim-test-" + std::to_string(::getpid()) + ".wav");
    ~TempPath() { std::filesystem::remove(path); }
};

std::uint32_t ReadLE(const std::string& bytes, std::size_t offset, int size)
{
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value =
            (value << 8) | static_cast<unsigned char>(bytes[offset + static_cast<std::size_t>(i)]);
    return value;
}

class CallsimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(HasQtApp());
        ASSERT_TRUE(m_bus.IsUp());
    }

    void Start(QStringList arguments)
    {
        m_pCallsim = std::make_unique<CCallsimProcess>(m_bus.GetAddress(), arguments);
        ASSERT_TRUE(m_pCallsim->WaitReady());
        m_pPlayer = std::make_unique<CTestPlayer>(m_bus.Connect());
        ASSERT_TRUE(m_pPlayer->Attach());
    }

    std::string Ask(const std::string& command)
    {
        auto pLog = m_pPlayer->Issue(command);
        return CTestPlayer::WaitForResponses(*pLog) ? pLog->responses[0] : "(no reply)";
    }

    std::string SwitchInput(int port)
    {
        return "ALTER CALL 7 SET_INPUT PORT=\"" + std::to_string(port) + "\"";
    }

    CPrivateBus m_bus;
    std::unique_ptr<CCallsimProcess> m_pCallsim;
    std::unique_ptr<CTestPlayer> m_pPlayer;
};

TEST_F(CallsimTest, RecordsTheInputAndReportsItsLoss)
{
    TempPath wav;
    ASSERT_NO_FATAL_FAILURE(
        Start({"--call", "7:Alice", "--record", QString::fromStdString(wav.path.string())}));
    Listener listener;
    ASSERT_NE(listener.port, 0);

    const std::string command = SwitchInput(listener.port);
    EXPECT_EQ(Ask(command), command);
    auto pPeer = listener.Accept();
    ASSERT_TRUE(pPeer);
    ASSERT_TRUE(m_pCallsim->WaitForLine("input connected 7"));
    EXPECT_LT(m_pCallsim->FindLine("send " + m_pPlayer->m_channel.GetOwnWindow() + " #"),
              m_pCallsim->FindLine("input connected 7"));

    std::string pcm;
    for (int i = 0; i < 8000; ++i) { // half a second of a ramp, 16-bit LE
        pcm.push_back(static_cast<char>(i & 0xFF));
        pcm.push_back(static_cast<char>((i >> 8) & 0xFF));
    }
    pPeer->write(pcm.data(), static_cast<qint64>(pcm.size()));
    pPeer->disconnectFromHost(); // after what was written has gone out

    EXPECT_TRUE(m_pPlayer->WaitForNotification("CALL 7 VAA_INPUT_STATUS FALSE"));
    ASSERT_TRUE(m_pCallsim->WaitForLine("input lost 7 16000"));

    std::string bytes(std::filesystem::file_size(wav.path), '\0');
    std::ifstream(wav.path, std::ios::binary)
        .read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_EQ(bytes.size(), 44 + pcm.size());
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(ReadLE(bytes, 4, 4), 36 + pcm.size());
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(ReadLE(bytes, 20, 2), 1u);     // PCM
    EXPECT_EQ(ReadLE(bytes, 22, 2), 1u);     // mono
    EXPECT_EQ(ReadLE(bytes, 24, 4), 16000u); // samples per second
    EXPECT_EQ(ReadLE(bytes, 28, 4), 32000u); // bytes per second
    EXPECT_EQ(ReadLE(bytes, 32, 2), 2u);
    EXPECT_EQ(ReadLE(bytes, 34, 2), 16u);
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(ReadLE(bytes, 40, 4), pcm.size());
    EXPECT_EQ(bytes.substr(44), pcm);
}

TEST_F(CallsimTest, SoundcardSwitchDisconnectsWithoutReportingALoss)
{
    ASSERT_NO_FATAL_FAILURE(Start({"--call", "7:Alice"}));
    Listener listener;
    EXPECT_EQ(Ask(SwitchInput(listener.port)), SwitchInput(listener.port));
    auto pPeer = listener.Accept();
    ASSERT_TRUE(pPeer);

    const std::string back = "ALTER CALL 7 SET_INPUT SOUNDCARD=\"default\"";
    EXPECT_EQ(Ask(back), back);
    EXPECT_TRUE(WaitFor([&] { return pPeer->state() == QAbstractSocket::UnconnectedState; }));
    // Lines to the player keep their order: a loss report would precede this.
    EXPECT_EQ(Ask("SEARCH ACTIVECALLS"), "CALLS 7");
    EXPECT_FALSE(m_pPlayer->m_monitor.HasNotificationStarting("CALL 7 VAA_INPUT_STATUS"));
}

struct Exchange {
    const char* pszControl; // a control line sent first, or nullptr
    const char* pszCommand;
    const char* pszReply;
};

TEST_F(CallsimTest, AnswersWhatThePlayerAsks)
{
    ASSERT_NO_FATAL_FAILURE(Start({"--call", "7:Alice", "--call", "9:Bob Smith"}));
    const Exchange exchanges[] = {
        {nullptr, "SEARCH ACTIVECALLS", "CALLS 7, 9"},
        {nullptr, "get call 9 partner_dispname", "CALL 9 PARTNER_DISPNAME Bob Smith"},
        {nullptr, "GET CALL 5 PARTNER_DISPNAME", "ERROR 3 Unknown call"},
        {nullptr, "GET CALL 9 STATUS", "CALL 9 STATUS INPROGRESS"},
        {nullptr, "ALTER CALL 5 SET_INPUT PORT=\"17171\"", "ERROR 3 Unknown call"},
        {nullptr, "ALTER CALL 9 SET_INPUT PORT=\"99999\"", "ERROR 2 Unknown command"},
        {nullptr, "DANCE", "ERROR 2 Unknown command"},
        {"refuse on", "ALTER CALL 9 SET_INPUT PORT=\"17171\"", "ERROR 4 Input switch refused"},
        {"end 7 BUSY", "SEARCH ACTIVECALLS", "CALLS 9"},
        {"call 11 Carol", "GET CALL 11 PARTNER_DISPNAME", "CALL 11 PARTNER_DISPNAME Carol"},
        {"end 9", "SEARCH ACTIVECALLS", "CALLS 11"},
        {"end 11 CANCELLED", "SEARCH ACTIVECALLS", "CALLS "},
    };
    for (const Exchange& exchange : exchanges) {
        SCOPED_TRACE(exchange.pszCommand);
        if (exchange.pszControl != nullptr) {
            m_pCallsim->Control(exchange.pszControl);
            ASSERT_TRUE(m_pCallsim->WaitForLine(std::string("control ") + exchange.pszControl));
        }
        EXPECT_EQ(Ask(exchange.pszCommand), exchange.pszReply);
    }
    EXPECT_TRUE(m_pPlayer->m_monitor.HasNotification("CALL 7 STATUS BUSY"));
    EXPECT_TRUE(m_pPlayer->m_monitor.HasNotification("CALL 9 STATUS FINISHED"));
    EXPECT_TRUE(m_pPlayer->m_monitor.HasNotification("CALL 11 STATUS INPROGRESS"));
}

} // namespace
