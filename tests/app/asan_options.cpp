// GLib abandons its quark table's old block each time the table grows, by
// design; with Qt and GStreamer in one process it grows. Full stacks at
// allocation let the suppressions name the quark functions.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}
