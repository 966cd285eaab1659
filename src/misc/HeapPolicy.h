#pragma once

#include <malloc.h>

// The heap policy of a program that runs the stage, set once at the top of its
// main (the library itself sets no process-wide state). The kernel's mesher
// takes large blocks for every face it meshes and frees them when the face is
// done; by default glibc serves blocks above 128 KiB by mapping fresh pages
// and hands each heap's free top back to the system, so the next face faults
// the same pages in again. Blocks up to 1 MiB served from the heaps, and up to
// 8 MiB of free top kept in each heap, cut the page faults by four fifths
// (curved assemblies) for at most 15 MB of peak memory; larger values (a trim
// threshold of 16 MiB or more, or a top pad) saved a few more faults and at
// most a tenth of the time on small curved models, but put them 1.3 times and
// more above glibc's default peak memory. Another program that links the library gets the
// same with these calls at the top of its main, or with
// GLIBC_TUNABLES=glibc.malloc.trim_threshold=8388608:glibc.malloc.mmap_threshold=1048576
// in its environment.
inline void keepFreedMemoryInHeaps()
{
    constexpr int trimThreshold = 8 << 20;
    constexpr int mmapThreshold = 1 << 20;
    mallopt(M_TRIM_THRESHOLD, trimThreshold);
    mallopt(M_MMAP_THRESHOLD, mmapThreshold);
}
