// Linked into every resampler test.

#if defined(__SANITIZE_ADDRESS__)
// Third-party libraries here lack frame pointers, so the fast unwinder stops
// inside them and tests/lsan.supp could only name whole libraries, hiding
// leaks of ours that pass through them. Full unwinding shows the origin.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}
#endif
