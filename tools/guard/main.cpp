// voxreel-guard: started by voxreel with a socket on its standard input, it
// learns what Voxreel switched and made, and undoes it when that input ends
// without a clean exit, i.e. when Voxreel died (a kill, a crash, an abort).
// It runs in a session of its own, so that Ctrl+C in Voxreel's terminal, the
// terminal's hang-up or a kill of Voxreel's process group do not reach it;
// it always ends by itself once its input has ended.
#include <QCoreApplication>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "call_restorer.h"
#include "guard_protocol.h"
#include "mic_restorer.h"

namespace {

// How long the undoing may take in all, both parts side by side.
constexpr std::chrono::milliseconds kUndoTime{900};

void Report(const std::vector<std::string>& problems)
{
    for (const std::string& problem : problems)
        std::fprintf(stderr, "voxreel-guard: %s\n", problem.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    signal(SIGPIPE, SIG_IGN); // a closed stderr must not end the undoing
    CUndoLedger ledger;
    ReadGuardLines(STDIN_FILENO, ledger);
    if (ledger.IsCleanExit())
        return 0;

    const auto deadline = std::chrono::steady_clock::now() + kUndoTime;
    std::vector<std::string> micProblems;
    std::thread microphone;
    if (const auto modules = ledger.LoadedModules(); !modules.empty())
        microphone = std::thread([&micProblems, modules, deadline] {
            micProblems = CMicRestorer(modules, deadline).Run();
        });
    std::vector<std::string> callProblems;
    if (!ledger.SwitchedCalls().empty()) {
        QCoreApplication app(argc, argv);
        callProblems = CCallRestorer(ledger.SwitchedCalls()).Run(deadline);
    }
    if (microphone.joinable())
        microphone.join();
    Report(callProblems);
    Report(micProblems);
    return callProblems.empty() && micProblems.empty() ? 0 : 1;
}
