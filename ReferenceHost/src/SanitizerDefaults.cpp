// Built into reference-host only. Under AddressSanitizer, Qt 6.4's software scene
// graph keeps every texture it made from an image (QSGRenderContext::textureForFactory,
// used by the controls' check marks and arrows) past the window's end and never frees
// it: a window holding one checked CheckBox shows the same leak. The amount is bounded
// by the images on screen, once per process. The suppression names that one Qt
// function; Qt's libraries have no frame pointers, so the allocation stacks are
// unwound in full to reach it.

#if defined(__SANITIZE_ADDRESS__)
#define RH_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RH_ASAN 1
#endif
#endif

// GCC and Clang spellings; MSVC's AddressSanitizer reads its options elsewhere.
#if defined(RH_ASAN) && defined(__GNUC__)
extern "C" {

__attribute__((visibility("default"), used)) const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

__attribute__((visibility("default"), used)) const char* __lsan_default_suppressions()
{
    return "leak:QSGRenderContext::textureForFactory\n";
}

} // extern "C"
#endif
