// A GStreamer task pool whose every task runs on a thread of its own at the
// lowest CPU priority (SCHED_IDLE, nice 19). GStreamer's default pool shares
// its threads between pipelines, so lowering a streaming thread in place
// would hand a lowered thread to the next pipeline, and a thread cannot
// raise itself back without privileges; fresh threads avoid both.
#pragma once

#include <gst/gst.h>

namespace loudness {

// A new pool (floating reference), for gst_task_set_pool.
GstTaskPool* NewIdleTaskPool();

// Lowers the calling thread to the lowest CPU priority; for good.
void LowerThisThread();

// A bus sync handler that gives every task the pipeline creates the idle
// pool (user data: the pool, borrowed).
GstBusSyncReply GiveTasksIdlePool(GstBus* pBus, GstMessage* pMessage, gpointer pPool);

} // namespace loudness
