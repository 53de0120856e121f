// Command round trip over the session bus against callsim: from AddHandler
// and SendCommand to the reply reaching the handler.
#include "dbus_skype_channel.h"
#include "skype_connection.h"

#include <QCoreApplication>
#include <QProcess>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class CSearchHandler : public CSkypeCommandHandler {
public:
    explicit CSearchHandler(bool& bAnswered) : m_bAnswered(bAnswered) {}
    std::string GetCommand() const override { return "SEARCH ACTIVECALLS"; }
    void OnResponse(const std::string&) override { m_bComplete = m_bAnswered = true; }

private:
    bool& m_bAnswered;
};

// Runs the event loop until the flag is set or the deadline passes.
bool PumpUntil(const bool& bFlag, Clock::time_point deadline)
{
    while (!bFlag && Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return bFlag;
}

double Percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QProcess callsim;
    callsim.setStandardOutputFile(QProcess::nullDevice());
    callsim.start(QStringLiteral(VOXREEL_CALLSIM_PATH), {"--call", "12:Alice"});

    CDBusSkypeChannel channel;
    CSkypeConnection connection(channel);
    connection.SetOwnWindow(channel.GetOwnWindow());

    const auto attachDeadline = Clock::now() + std::chrono::seconds(15);
    while (connection.GetAttachState() != 0 && Clock::now() < attachDeadline) {
        connection.Tick();
        const auto nextTick = Clock::now() + std::chrono::milliseconds(100);
        while (connection.GetAttachState() != 0 && Clock::now() < nextTick)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    if (connection.GetAttachState() != 0) {
        std::fprintf(stderr, "bench_skype: callsim did not attach\n");
        return 1;
    }

    constexpr int kWarmup = 50;
    constexpr int kRounds = 1000;
    std::vector<double> milliseconds;
    for (int round = 0; round < kWarmup + kRounds; ++round) {
        bool bAnswered = false;
        const auto start = Clock::now();
        connection.SendCommand(connection.AddHandler(std::make_unique<CSearchHandler>(bAnswered)));
        if (!PumpUntil(bAnswered, start + std::chrono::seconds(5))) {
            std::fprintf(stderr, "bench_skype: no reply\n");
            return 1;
        }
        if (round >= kWarmup)
            milliseconds.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::printf("dbus_roundtrip_median_ms: %.3f ms\n", Percentile(milliseconds, 0.5));
    std::printf("dbus_roundtrip_p99_ms: %.3f ms\n", Percentile(milliseconds, 0.99));
    callsim.kill();
    callsim.waitForFinished(5000);
    return 0;
}
