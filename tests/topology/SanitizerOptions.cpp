// Read only when the tests run under the address sanitizer.
//
// The kernel's STEP and IGES translators keep one-time session data and leak
// on failed reads; none of it is ours. The kernel is built without frame
// pointers, so allocation stacks are unwound fully to let the suppressions
// see the translator frames.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libTKXSBase.so\nleak:libTKSTEP.so\nleak:libTKSTEPBase.so\nleak:libTKIGES.so\n";
}
