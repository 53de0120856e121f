// The lines Voxreel writes to its guard's standard input, one event a line,
// and the guard's reading of them: what Voxreel has done that must be undone
// should it die. The end of the input without a clean exit means it died.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class GuardEvent {
    kCallSwitched,   // a call was asked to take its input from Voxreel's port
    kCallReleased,   // switched back by Voxreel, or the call ended
    kModuleLoaded,   // a sound server module Voxreel loaded
    kModuleUnloaded, // unloaded by Voxreel
    kCleanExit,      // Voxreel closes normally: nothing to undo
};

// One line with its newline, e.g. "call-switched 12\n"; the value is ignored
// for kCleanExit.
std::string FormatGuardLine(GuardEvent event, std::uint32_t nValue = 0);

// What is left to undo, from the lines read so far.
class CUndoLedger {
public:
    // One line without its newline; false when it is not understood, which
    // changes nothing.
    bool Take(std::string_view line);

    bool IsCleanExit() const { return m_bCleanExit; }
    // Calls switched and not released, in the order they were switched.
    const std::vector<std::int32_t>& SwitchedCalls() const { return m_calls; }
    // Modules loaded and not unloaded, the newest first: a source made from
    // a sink's monitor goes before that sink.
    std::vector<std::uint32_t> LoadedModules() const;

private:
    std::vector<std::int32_t> m_calls;
    std::vector<std::uint32_t> m_modules;
    bool m_bCleanExit = false;
};

// Reads lines from fd into the ledger until the writer's end is closed or it
// says it exits cleanly. Lines that are not understood are reported on stderr.
void ReadGuardLines(int fd, CUndoLedger& ledger);
