// The audio server against real loopback clients.
#include <gtest/gtest.h>

#include <csignal>

#include "tcp_server.h"
#include "test_support.h"
#include "voxreel/ids.h"

namespace {

class TcpServer : public testing::Test {
protected:
    std::vector<int> Codes()
    {
        std::lock_guard lock(m_mutex);
        return m_codes;
    }
    bool WaitForCodes(std::size_t n)
    {
        return WaitUntil([&] { return Codes().size() >= n; });
    }
    // Plays the pacing thread: fills the next free block and submits it.
    bool SubmitNext(std::int16_t value, std::chrono::milliseconds timeout = 10s)
    {
        SendBlock& block = m_ring.Current();
        if (!WaitUntil([&] { return block.IsFree(); }, timeout))
            return false;
        block.m_aData.fill(value);
        block.m_nFilled = kBlockSamples;
        m_ring.Advance();
        block.m_bFree.store(false);
        m_server.Submit(block);
        return true;
    }
    int Port() const { return m_server.LocalPort(); }

    std::mutex m_mutex;
    std::vector<int> m_codes; // guarded by m_mutex
    CSendRing m_ring;
    CTcpServer m_server{[this](int nCode, std::uint32_t nValue) {
        std::lock_guard lock(m_mutex);
        m_codes.push_back(nCode);
        if (nCode == NOTIFY_ERROR) {
            EXPECT_EQ(nValue, static_cast<std::uint32_t>(E_FAIL));
        }
    }};
};

TEST_F(TcpServer, ServesOneClientAtATimeAndReportsItsComingAndGoing)
{
    ASSERT_EQ(m_server.Start(0), S_OK);
    CTestClient first, second, third;
    ASSERT_TRUE(first.Connect(Port()));
    ASSERT_TRUE(WaitForCodes(1));
    ASSERT_TRUE(second.Connect(Port()));
    EXPECT_TRUE(second.WaitClosed()) << "a second client is closed at once";
    for (std::int16_t i = 1; i <= 6; ++i)
        ASSERT_TRUE(SubmitNext(i));
    std::vector<std::uint8_t> data;
    ASSERT_TRUE(first.Read(data, 6 * kBlockBytes));
    const auto samples = Samples(data);
    ASSERT_EQ(samples.size(), 6 * kBlockSamples);
    for (std::size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(samples[i], static_cast<std::int16_t>(1 + i / kBlockSamples)) << i;
    EXPECT_EQ(Codes(), std::vector<int>{NOTIFY_CLIENT_CONNECTED});

    first.Close();
    ASSERT_TRUE(WaitForCodes(2));
    ASSERT_TRUE(third.Connect(Port()));
    ASSERT_TRUE(WaitForCodes(3));
    m_server.Stop();
    EXPECT_TRUE(third.WaitClosed());
    EXPECT_EQ(Codes(), (std::vector<int>{1, 2, 1, 2}));
    EXPECT_TRUE(m_ring.AllFree());
}

TEST_F(TcpServer, PortTakenByAnotherListenerFailsButOwnRestartDoesNot)
{
    ASSERT_EQ(m_server.Start(0), S_OK);
    const int nPort = Port();
    {
        CTestClient client; // leaves the server's side in TIME_WAIT
        ASSERT_TRUE(client.Connect(nPort));
        ASSERT_TRUE(WaitForCodes(1));
        m_server.Stop();
        EXPECT_TRUE(client.WaitClosed());
    }
    EXPECT_EQ(m_server.Start(nPort), S_OK) << "TIME_WAIT must not refuse a restart";
    EXPECT_EQ(m_server.Start(nPort), E_FAIL) << "a server thread exists already";
    CTcpServer other([](int, std::uint32_t) {});
    EXPECT_EQ(other.Start(nPort), E_FAIL);
    EXPECT_EQ(other.Start(nPort + 65536 * 3), E_FAIL) << "only the low 16 bits count";
}

TEST_F(TcpServer, VanishedClientNeitherRaisesSigpipeNorKeepsBlocks)
{
    std::signal(SIGPIPE, SIG_DFL); // a SIGPIPE would end this test process
    ASSERT_EQ(m_server.Start(0), S_OK);
    {
        CTestClient client;
        ASSERT_TRUE(client.Connect(Port()));
        ASSERT_TRUE(WaitForCodes(1));
    }
    for (int i = 0; i < 64; ++i)
        ASSERT_TRUE(SubmitNext(static_cast<std::int16_t>(i)));
    ASSERT_TRUE(WaitForCodes(2));
    EXPECT_TRUE(WaitUntil([&] { return m_ring.AllFree(); }));
}

TEST_F(TcpServer, ClientThatNeverReadsCannotBuildUpDelay)
{
    ASSERT_EQ(m_server.Start(0), S_OK);
    CTestClient client;
    ASSERT_TRUE(client.Connect(Port(), 4096));
    ASSERT_TRUE(WaitForCodes(1));
    int nAccepted = 0; // blocks whose send completed
    while (SubmitNext(1, 500ms))
        ++nAccepted;
    // 32000 bytes are one second of audio; allow the client's own small
    // receive window on top of the bounded send buffer.
    EXPECT_LE(nAccepted * kBlockBytes, 3u * 32000u) << nAccepted << " blocks";
    m_server.Stop(); // ends the sends that are still pending
    EXPECT_TRUE(m_ring.AllFree());
}

TEST_F(TcpServer, StopAfterTheServerEndedOnAnErrorDoesNotHang)
{
    ASSERT_EQ(m_server.Start(0), S_OK);
    CTestClient client;
    ASSERT_TRUE(client.Connect(Port()));
    ASSERT_TRUE(WaitForCodes(1));
    m_server.InjectFailure();
    ASSERT_TRUE(WaitForCodes(2));
    EXPECT_EQ(Codes()[1], NOTIFY_ERROR);
    EXPECT_TRUE(client.WaitClosed());
    ASSERT_TRUE(SubmitNext(5));
    EXPECT_TRUE(m_ring.Block(0).IsFree()) << "a server that ended discards at once";
    m_server.Stop();
    EXPECT_EQ(m_server.Start(0), S_OK);
}

} // namespace
