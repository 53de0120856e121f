// Small owning handles for the GStreamer objects the resampler keeps, so that
// no path that leaves early can forget an unref.
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
using CBufferPtr = std::unique_ptr<GstBuffer, CGstMiniObjectUnref>;
using CCapsPtr = std::unique_ptr<GstCaps, CGstMiniObjectUnref>;
using CQueryPtr = std::unique_ptr<GstQuery, CGstMiniObjectUnref>;
using CBufferPoolPtr = CGstObjectPtr<GstBufferPool>;

// Maps a buffer for the life of the object; Ok() tells whether it worked.
class CBufferMap {
public:
    CBufferMap(GstBuffer* pBuffer, GstMapFlags flags) : m_pBuffer(pBuffer)
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

    bool Ok() const { return m_bMapped; }
    guint8* Data() const { return m_info.data; }
    gsize Size() const { return m_info.size; }

private:
    GstBuffer* m_pBuffer;
    GstMapInfo m_info{};
    bool m_bMapped = false;
};
