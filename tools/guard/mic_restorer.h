// Takes the Voxreel microphone away after Voxreel died: recordings on the
// sources of the given modules move to the server's default source, then the
// modules are unloaded. Only modules still loaded under the given indices are
// touched, so devices a newer Voxreel made are left alone. Every wait on the
// server is bounded by the deadline. One thread; libpulse's own main loop.
#pragma once

#include <pulse/pulseaudio.h>

#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

class CMicRestorer {
public:
    using Clock = std::chrono::steady_clock;

    // modules: in the order they are to go (a source before its sink).
    CMicRestorer(std::vector<std::uint32_t> modules, Clock::time_point deadline);
    ~CMicRestorer();
    CMicRestorer(const CMicRestorer&) = delete;
    CMicRestorer& operator=(const CMicRestorer&) = delete;

    // Returns what went wrong, one line per problem; empty when all is done.
    std::vector<std::string> Run();

    struct Source {
        std::uint32_t nIndex, nOwnerModule;
        std::string strName;
        bool bMonitor;
    };

private:
    bool Connect();
    bool Await(pa_operation* pOperation);
    std::set<std::string> NamesMadeBy(std::vector<std::uint32_t>* pLoaded);
    std::vector<Source> Sources();
    std::string DefaultSource();
    void MoveRecordings(const std::set<std::uint32_t>& from, std::uint32_t nTo);

    std::vector<std::uint32_t> m_modules;
    Clock::time_point m_deadline;
    std::vector<std::string> m_problems;
    pa_mainloop* m_pLoop = nullptr;
    pa_context* m_pContext = nullptr;
};
