#include "unix_signals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {

// The handler may only write to a pipe; the UI thread reads the other end.
int g_aPipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void OnUnixSignal(int nSignal)
{
    const unsigned char byte = static_cast<unsigned char>(nSignal);
    [[maybe_unused]] const ssize_t n = write(g_aPipe[1], &byte, 1);
}

} // namespace

CUnixSignals::CUnixSignals(std::function<void(int)> onSignal) : m_onSignal(std::move(onSignal))
{
    if (pipe2(g_aPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_pNotifier = std::make_unique<QSocketNotifier>(g_aPipe[0], QSocketNotifier::Read);
    connect(m_pNotifier.get(), &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (read(g_aPipe[0], &byte, 1) == 1)
            m_onSignal(byte);
    });
    struct sigaction action {};
    action.sa_handler = OnUnixSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int nSignal : kSignals)
        sigaction(nSignal, &action, nullptr);
}

CUnixSignals::~CUnixSignals()
{
    for (int nSignal : kSignals)
        signal(nSignal, SIG_DFL);
    m_pNotifier.reset();
    for (int& fd : g_aPipe)
        close(std::exchange(fd, -1));
}
