#include "base/heapuse.h"

#include <cstdlib> // defines __GLIBC__ on the GNU C library
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace qln {

void keepLargeBlocksMapped()
{
#ifdef __GLIBC__
    // Setting the threshold turns its raising off.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

void releaseFreedHeap()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

} // namespace qln
