// GLib abandons its quark table when it grows (which loading many plugins
// does); the suppression in lsan.supp matches it through _dl_init, which only
// a full unwind of the allocation shows. GCC 12's LeakSanitizer also records
// a bogus dynamic-TLS block for the main thread once some plugins' thread
// locals are used there, and its tracer crashes at exit scanning it, after
// the tests have passed; not tracking __tls_get_addr leaves it out.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0:intercept_tls_get_addr=0";
}
