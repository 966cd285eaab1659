#pragma once

#include <malloc.h>

// The heap policy of a program that runs the stage, set once at the top of its
// main (the library itself sets no process-wide state). The kernel's mesher
// takes large blocks for every face it meshes and frees them when the face is
// done; by default glibc then hands each heap's top back to the system and
// faults the same pages in again for the next face, which costs up to half of
// the previews' time on small models. Keeping freed memory in the heaps (a
// trim threshold far above the stage's working set) and growing a heap in
// large steps (the top pad) removes that churn for a few tens of MB of peak
// memory. Another program gets the same with these two calls, or with
// GLIBC_TUNABLES=glibc.malloc.trim_threshold=1073741824:glibc.malloc.top_pad=67108864
// in its environment.
inline void keepFreedMemoryInHeaps()
{
    constexpr int trimThreshold = 1 << 30;
    constexpr int topPad = 64 << 20;
    mallopt(M_TRIM_THRESHOLD, trimThreshold);
    mallopt(M_TOP_PAD, topPad);
}
