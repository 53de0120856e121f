#include "idle_task_pool.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

namespace loudness {
namespace {

struct IdleTaskPool {
    GstTaskPool parent;
};
struct IdleTaskPoolClass {
    GstTaskPoolClass parent_class;
};

G_DEFINE_TYPE(IdleTaskPool, idle_task_pool, GST_TYPE_TASK_POOL)

// A task's thread, joined by the pool's join.
struct TaskThread {
    std::thread thread;
};

gpointer Push(GstTaskPool*, GstTaskPoolFunction pFunction, gpointer pData, GError**)
{
    auto* pTask = new TaskThread;
    pTask->thread = std::thread([pFunction, pData] {
        LowerThisThread();
        pFunction(pData);
    });
    return pTask;
}

void Join(GstTaskPool*, gpointer pId)
{
    auto* pTask = static_cast<TaskThread*>(pId);
    if (pTask->thread.joinable())
        pTask->thread.join();
    delete pTask;
}

void Prepare(GstTaskPool*, GError**)
{
}
void Cleanup(GstTaskPool*)
{
}

void idle_task_pool_class_init(IdleTaskPoolClass* pClass)
{
    GstTaskPoolClass* pPoolClass = GST_TASK_POOL_CLASS(pClass);
    pPoolClass->prepare = Prepare;
    pPoolClass->cleanup = Cleanup;
    pPoolClass->push = Push;
    pPoolClass->join = Join;
}

void idle_task_pool_init(IdleTaskPool*)
{
}

} // namespace

GstTaskPool* NewIdleTaskPool()
{
    return GST_TASK_POOL(g_object_new(idle_task_pool_get_type(), nullptr));
}

void LowerThisThread()
{
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
}

GstBusSyncReply GiveTasksIdlePool(GstBus*, GstMessage* pMessage, gpointer pPool)
{
    if (GST_MESSAGE_TYPE(pMessage) != GST_MESSAGE_STREAM_STATUS)
        return GST_BUS_PASS;
    GstStreamStatusType type{};
    gst_message_parse_stream_status(pMessage, &type, nullptr);
    if (type != GST_STREAM_STATUS_TYPE_CREATE)
        return GST_BUS_PASS;
    const GValue* pValue = gst_message_get_stream_status_object(pMessage);
    if (pValue != nullptr && G_VALUE_HOLDS(pValue, GST_TYPE_TASK))
        gst_task_set_pool(GST_TASK(g_value_get_object(pValue)), GST_TASK_POOL(pPool));
    return GST_BUS_PASS;
}

} // namespace loudness
