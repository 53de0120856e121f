#include "leak_tracker.h"

#include <gst/gst.h>

#include <string>

namespace {

std::map<std::string, std::size_t> g_alive; // written by the log function during gst_deinit

// Each alive object is one "object-alive, type-name=(string)T, ..." record.
void CountAlive(GstDebugCategory* pCategory, GstDebugLevel level, const gchar*, const gchar*, gint,
                GObject*, GstDebugMessage* pMessage, gpointer)
{
    if (level != GST_LEVEL_TRACE ||
        !g_str_equal(gst_debug_category_get_name(pCategory), "GST_TRACER"))
        return;
    const gchar* pszText = gst_debug_message_get(pMessage);
    if (pszText == nullptr || !g_str_has_prefix(pszText, "object-alive"))
        return;
    // The record's address field does not read back as a structure; take
    // the type name from the text.
    const std::string strText = pszText;
    const std::string strKey = "type-name=(string)";
    const std::size_t nStart = strText.find(strKey);
    const std::size_t nFrom = nStart == std::string::npos ? 0 : nStart + strKey.size();
    ++g_alive[nStart == std::string::npos
                  ? strText
                  : strText.substr(nFrom, strText.find(',', nFrom) - nFrom)];
}

} // namespace

CLeakTracker::CLeakTracker()
{
    GList* pTracers = gst_tracing_get_active_tracers();
    for (GList* p = pTracers; p != nullptr; p = p->next)
        m_bActive = m_bActive || g_str_equal(G_OBJECT_TYPE_NAME(p->data), "GstLeaksTracer");
    g_list_free_full(pTracers, gst_object_unref);
    gst_debug_add_log_function(CountAlive, nullptr, nullptr);
}

std::map<std::string, std::size_t> CLeakTracker::AliveAtShutdown()
{
    gst_debug_remove_log_function(gst_debug_log_default); // only the count, not the noise
    gst_debug_set_threshold_for_name("GST_TRACER", GST_LEVEL_TRACE);
    gst_deinit();
    return g_alive;
}
