#include "guard_protocol.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>

namespace {

struct EventWord {
    GuardEvent event;
    std::string_view word;
};
constexpr std::array<EventWord, 5> kWords = {{{GuardEvent::kCallSwitched, "call-switched"},
                                              {GuardEvent::kCallReleased, "call-released"},
                                              {GuardEvent::kModuleLoaded, "module-loaded"},
                                              {GuardEvent::kModuleUnloaded, "module-unloaded"},
                                              {GuardEvent::kCleanExit, "clean-exit"}}};

// A line longer than this is not ours; it is dropped rather than buffered.
constexpr std::size_t kMaxLine = 256;

template <typename T> void Remove(std::vector<T>& values, T value)
{
    values.erase(std::remove(values.begin(), values.end(), value), values.end());
}

template <typename T> void AddOnce(std::vector<T>& values, T value)
{
    if (std::find(values.begin(), values.end(), value) == values.end())
        values.push_back(value);
}

} // namespace

std::string FormatGuardLine(GuardEvent event, std::uint32_t nValue)
{
    const auto it = std::find_if(kWords.begin(), kWords.end(),
                                 [event](const EventWord& entry) { return entry.event == event; });
    std::string line(it->word);
    if (event != GuardEvent::kCleanExit)
        line += " " + std::to_string(nValue);
    return line + "\n";
}

bool CUndoLedger::Take(std::string_view line)
{
    if (line == "clean-exit") {
        m_bCleanExit = true;
        return true;
    }
    const std::size_t nSpace = line.find(' ');
    if (nSpace == std::string_view::npos)
        return false;
    const std::string_view word = line.substr(0, nSpace), number = line.substr(nSpace + 1);
    std::uint32_t nValue = 0;
    const auto [pEnd, error] =
        std::from_chars(number.data(), number.data() + number.size(), nValue);
    const auto it = std::find_if(kWords.begin(), kWords.end(),
                                 [word](const EventWord& entry) { return entry.word == word; });
    if (error != std::errc() || pEnd != number.data() + number.size() || it == kWords.end())
        return false;
    const auto nCallId = static_cast<std::int32_t>(nValue);
    switch (it->event) {
    case GuardEvent::kCallSwitched:
        if (nCallId < 0)
            return false;
        AddOnce(m_calls, nCallId);
        return true;
    case GuardEvent::kCallReleased:
        Remove(m_calls, nCallId);
        return true;
    case GuardEvent::kModuleLoaded:
        AddOnce(m_modules, nValue);
        return true;
    case GuardEvent::kModuleUnloaded:
        Remove(m_modules, nValue);
        return true;
    case GuardEvent::kCleanExit:
        break;
    }
    return false;
}

std::vector<std::uint32_t> CUndoLedger::LoadedModules() const
{
    return {m_modules.rbegin(), m_modules.rend()};
}

void ReadGuardLines(int fd, CUndoLedger& ledger)
{
    std::string pending;
    char chunk[512];
    while (!ledger.IsCleanExit()) {
        const ssize_t nRead = read(fd, chunk, sizeof chunk);
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead <= 0)
            return; // the writer is gone
        pending.append(chunk, static_cast<std::size_t>(nRead));
        for (std::size_t nEnd; (nEnd = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, nEnd);
            pending.erase(0, nEnd + 1);
            if (!ledger.Take(line))
                std::fprintf(stderr, "voxreel-guard: ignored \"%s\"\n", line.c_str());
            if (ledger.IsCleanExit())
                return;
        }
        if (pending.size() > kMaxLine)
            pending.clear();
    }
}
