// Small owning handles for the GStreamer objects the renderer keeps.
#pragma once

#include <gst/gst.h>

#include <memory>

struct CBufferUnref {
    void operator()(GstBuffer* pBuffer) const { gst_buffer_unref(pBuffer); }
};
// One counted reference to a buffer.
using CBufferRef = std::unique_ptr<GstBuffer, CBufferUnref>;

struct CObjectUnref {
    void operator()(gpointer pObject) const { gst_object_unref(pObject); }
};
using CElementRef = std::unique_ptr<GstElement, CObjectUnref>;
using CBusRef = std::unique_ptr<GstBus, CObjectUnref>;

struct CSampleUnref {
    void operator()(GstSample* pSample) const { gst_sample_unref(pSample); }
};
using CSampleRef = std::unique_ptr<GstSample, CSampleUnref>;

struct CMessageUnref {
    void operator()(GstMessage* pMessage) const { gst_message_unref(pMessage); }
};
using CMessageRef = std::unique_ptr<GstMessage, CMessageUnref>;

// Read access to a buffer's data for as long as the handle lives.
class CBufferMap {
public:
    explicit CBufferMap(GstBuffer* pBuffer) : m_pBuffer(pBuffer)
    {
        m_bMapped = gst_buffer_map(pBuffer, &m_info, GST_MAP_READ) != FALSE;
    }
    ~CBufferMap()
    {
        if (m_bMapped)
            gst_buffer_unmap(m_pBuffer, &m_info);
    }
    CBufferMap(const CBufferMap&) = delete;
    CBufferMap& operator=(const CBufferMap&) = delete;

    bool IsMapped() const { return m_bMapped; }
    const guint8* Data() const { return m_info.data; }
    gsize Size() const { return m_info.size; }

private:
    GstBuffer* m_pBuffer;
    GstMapInfo m_info{};
    bool m_bMapped = false;
};
