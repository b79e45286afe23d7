#pragma once

namespace volumira {

// Tunes the C allocator for how this program uses memory: gene grids, decoded blocks and tiles of a
// few megabytes are allocated and freed again and again. By default each such block is mapped fresh
// from the system and returned on free, so every new gene pays for faulting in its pages again (on a
// virtual machine that cost outweighs inflating the data). Keeping freed blocks of up to 32 MB in the
// heap lets the next one reuse them. Call once at the start of main.
void configureAllocator();

} // namespace volumira
