#include "main_context_wakeup.h"

namespace {

struct WakeSource {
    GSource base;
    CMainContextWakeup* pOwner;
};

} // namespace

CMainContextWakeup::CMainContextWakeup(std::function<void()> onWake)
    : m_onWake(std::move(onWake)), m_pSource([] {
          // Without prepare and check the source is ready only by its ready time.
          static GSourceFuncs funcs{nullptr, nullptr, &CMainContextWakeup::Dispatch,
                                    nullptr, nullptr, nullptr};
          return g_source_new(&funcs, sizeof(WakeSource));
      }())
{
    reinterpret_cast<WakeSource*>(m_pSource)->pOwner = this;
    g_source_set_name(m_pSource, "voxreel player events");
    // Ahead of Qt's posted events (default priority): what a call on this
    // thread made the player report reaches the callback before an event
    // the caller posts to itself after that call.
    g_source_set_priority(m_pSource, G_PRIORITY_HIGH);
    GMainContext* pContext = g_main_context_ref_thread_default();
    g_source_attach(m_pSource, pContext);
    g_main_context_unref(pContext);
}

CMainContextWakeup::~CMainContextWakeup()
{
    g_source_destroy(m_pSource);
    g_source_unref(m_pSource);
}

void CMainContextWakeup::Wake()
{
    // Takes the context's lock and wakes its loop when another thread runs it.
    g_source_set_ready_time(m_pSource, 0);
}

gboolean CMainContextWakeup::Dispatch(GSource* pSource, GSourceFunc, gpointer)
{
    // Cleared before the call, so that a wake during it calls again.
    g_source_set_ready_time(pSource, -1);
    reinterpret_cast<WakeSource*>(pSource)->pOwner->m_onWake();
    return G_SOURCE_CONTINUE;
}
