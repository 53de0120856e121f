// Small owning handles for GStreamer objects, so that no path that leaves
// early can forget an unref, and a scoped buffer mapping.
#pragma once

#include <gst/gst.h>

#include <memory>

struct CGstObjectUnref {
    void operator()(gpointer pObject) const { gst_object_unref(pObject); }
};
struct CGstMiniObjectUnref {
    template <typename T> void operator()(T* pObject) const
    {
        gst_mini_object_unref(GST_MINI_OBJECT_CAST(pObject));
    }
};

template <typename T> using CGstObjectPtr = std::unique_ptr<T, CGstObjectUnref>;
template <typename T> using CGstMiniObjectPtr = std::unique_ptr<T, CGstMiniObjectUnref>;

using CElementPtr = CGstObjectPtr<GstElement>;
using CBusPtr = CGstObjectPtr<GstBus>;
using CBufferPoolPtr = CGstObjectPtr<GstBufferPool>;
using CBufferPtr = CGstMiniObjectPtr<GstBuffer>;
using CCapsPtr = CGstMiniObjectPtr<GstCaps>;
using CQueryPtr = CGstMiniObjectPtr<GstQuery>;
using CSamplePtr = CGstMiniObjectPtr<GstSample>;
using CMessagePtr = CGstMiniObjectPtr<GstMessage>;

// Maps a buffer for the life of the object; IsMapped() tells whether it worked.
class CBufferMap {
public:
    explicit CBufferMap(GstBuffer* pBuffer, GstMapFlags flags = GST_MAP_READ) : m_pBuffer(pBuffer)
    {
        m_bMapped = gst_buffer_map(pBuffer, &m_info, flags) != FALSE;
    }
    ~CBufferMap()
    {
        if (m_bMapped)
            gst_buffer_unmap(m_pBuffer, &m_info);
    }
    CBufferMap(const CBufferMap&) = delete;
    CBufferMap& operator=(const CBufferMap&) = delete;

    bool IsMapped() const { return m_bMapped; }
    guint8* Data() const { return m_info.data; }
    gsize Size() const { return m_info.size; }

private:
    GstBuffer* m_pBuffer;
    GstMapInfo m_info{};
    bool m_bMapped = false;
};
