// How far into the current segment the call has heard: the playback
// queue's position (buffer time) through the sink pad's segment to stream
// time. The segment comes from the streaming thread, the question from the
// application's.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <mutex>

#include "playback_queue.h"

class CHeardPosition {
public:
    explicit CHeardPosition(const CPlaybackQueue& queue) : m_queue(queue)
    {
        gst_segment_init(&m_segment, GST_FORMAT_TIME);
    }

    void SetSegment(const GstSegment& segment)
    {
        std::lock_guard lock(m_mutex);
        gst_segment_copy_into(&segment, &m_segment);
    }

    // Nanoseconds of stream time, or -1 when nothing was heard since the
    // last flush or the position lies outside the segment.
    std::int64_t StreamTime() const
    {
        const std::int64_t nPosition = m_queue.Position();
        if (nPosition == CPlaybackQueue::kNoPosition)
            return -1;
        std::lock_guard lock(m_mutex);
        if (m_segment.format != GST_FORMAT_TIME)
            return -1;
        const guint64 nStreamTime = gst_segment_to_stream_time(&m_segment, GST_FORMAT_TIME,
                                                               static_cast<guint64>(nPosition));
        return GST_CLOCK_TIME_IS_VALID(nStreamTime) ? static_cast<std::int64_t>(nStreamTime) : -1;
    }

private:
    const CPlaybackQueue& m_queue;
    mutable std::mutex m_mutex;
    GstSegment m_segment; // guarded by m_mutex
};
