// Leak detection for the test program, built in: the properties of
// discovered tests carry one environment entry each, which the settings
// folder takes, so ASAN_OPTIONS cannot come from there.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORN_TESTS_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VORN_TESTS_UNDER_ASAN 1
#endif

#ifdef VORN_TESTS_UNDER_ASAN
extern "C" const char *__asan_default_options() {
    return "detect_leaks=1";
}
#endif
