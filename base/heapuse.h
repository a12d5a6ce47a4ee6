#pragma once
// How the program's heap gives memory back to the system.
//
// The C library serves a large block from a mapping of its own and unmaps
// it when it is freed, but each time such a block is freed it raises the
// size it calls large, up to 32 MB. After one large file has been read,
// decoded and coloured, every later buffer of a document's size stays in
// the heap when freed, and stays resident: 30 MB more with a 10 MB file
// open. A fixed threshold keeps the behaviour of the first block.

namespace qln {

// Blocks of 1 MiB or more get mappings of their own for good. Call once,
// first thing in main (before any thread starts).
void keepLargeBlocksMapped();

// Gives the free pages inside the heap back to the system, after a large
// piece of work has freed many small blocks (the strings a large object
// tree was read into, the pieces of a large file's loading).
void releaseFreedHeap();

} // namespace qln
