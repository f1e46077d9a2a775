// The two pixel readers of the TGA decoder: plain bytes and run-length
// packets, behind one signature so the row loop need not know which it calls.
#pragma once

#include <cstdint>
#include <cstdio>

// What rle_fread keeps between calls for one image: the rest of a packet that
// reached past the end of the previous call. Create it zeroed; free `buffer`
// after the last call. Every call sharing one state uses the same element size.
struct rle_state {
    unsigned char* buffer; // 128 elements, allocated on first need
    int32_t count;         // bytes of the packet decoded into buffer
    int32_t position;      // of those, bytes already handed out
};

// Reads `element_count` elements of `element_size` bytes into `destination`;
// returns the number of whole elements delivered (all of them on success).
using tga_reader = int32_t (*)(rle_state* state, void* destination, int32_t element_size,
                               int32_t element_count, FILE* stream);

// Verbosity of all TGA reading: 0 silent, 1 progress and errors, 2 per-call
// traces and byte counting, 3 one line per run-length packet.
extern int32_t tga_log_level;

// Pixel bytes passed through both readers, counted at level 2 and above only;
// accumulates over all images.
extern int32_t tga_total;

// Uncompressed pixels; ignores the state.
int32_t std_fread(rle_state* state, void* destination, int32_t element_size, int32_t element_count,
                  FILE* stream);

// Run-length packets; packets may cross the boundary between two calls.
int32_t rle_fread(rle_state* state, void* destination, int32_t element_size, int32_t element_count,
                  FILE* stream);
