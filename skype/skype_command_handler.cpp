#include "skype_command_handler.h"

#include <atomic>

namespace {
// Handlers may be made on any thread; the counter alone keeps ids unique.
std::atomic<std::int32_t> g_nNextHandlerId{1};
} // namespace

CSkypeCommandHandler::CSkypeCommandHandler()
    : m_nId(g_nNextHandlerId.fetch_add(1, std::memory_order_relaxed))
{
}
