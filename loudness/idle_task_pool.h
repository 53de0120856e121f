// A GStreamer task pool whose every task runs on a thread of its own at the
// lowest CPU priority (nice 19). Not SCHED_IDLE: that waits for a core with
// nothing else to run, so any other busy process, even at nice 19, would
// starve the measurement for as long as it runs. GStreamer's default pool shares
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
