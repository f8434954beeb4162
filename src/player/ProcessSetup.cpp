#include "ProcessSetup.h"

#include <clocale>

#ifdef __GLIBC__
#include <malloc.h>
#endif

void PrepareProcessForVideo()
{
#ifdef __GLIBC__
    // glibc raises its mmap threshold each time a large block is freed, after which the decoders' frame
    // buffers come from thread arenas that never shrink: 100 loads left 15-70 MiB behind. A fixed threshold
    // (which turns the raising off) hands every large buffer back to the system when it is freed.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    // mpv refuses to start unless numbers are read the C way; the application object has set the user's
    // locale, whose decimal separator may be a comma.
    std::setlocale(LC_NUMERIC, "C");
}
