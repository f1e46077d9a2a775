#include "image/tga_readers.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

int32_t tga_log_level = 0;
int32_t tga_total = 0;

namespace {

// The count is a diagnostic that may run past 2^31 over many images: let it
// wrap instead of overflowing.
void add_to_total(int64_t bytes) {
    tga_total =
        static_cast<int32_t>(static_cast<uint32_t>(tga_total) + static_cast<uint32_t>(bytes));
}

int32_t growth_since(int32_t earlier) {
    return static_cast<int32_t>(static_cast<uint32_t>(tga_total) - static_cast<uint32_t>(earlier));
}

} // namespace

int32_t std_fread(rle_state*, void* destination, int32_t element_size, int32_t element_count,
                  FILE* stream) {
    if (tga_log_level >= 2) {
        const int64_t bytes = int64_t{element_size} * element_count;
        add_to_total(bytes);
        std::printf("TGA: std_fread %lld (total %d)\n", static_cast<long long>(bytes), tga_total);
    }
    return static_cast<int32_t>(std::fread(destination, static_cast<size_t>(element_size),
                                           static_cast<size_t>(element_count), stream));
}

int32_t rle_fread(rle_state* state, void* destination, int32_t element_size, int32_t element_count,
                  FILE* stream) {
    auto* out = static_cast<unsigned char*>(destination);
    const int64_t wanted = int64_t{element_size} * element_count;
    const int32_t total_at_entry = tga_total;
    int64_t done = 0;
    while (done < wanted) {
        // First hand out what is left of the packet an earlier call decoded.
        if (state->position < state->count) {
            const int64_t take = std::min<int64_t>(state->count - state->position, wanted - done);
            std::memcpy(out + done, state->buffer + state->position, static_cast<size_t>(take));
            state->position += static_cast<int32_t>(take);
            done += take;
            if (state->position == state->count)
                state->position = state->count = 0;
            if (done == wanted)
                break;
        }

        const int header = std::fgetc(stream);
        if (header == EOF) {
            if (tga_log_level >= 1)
                std::printf("TGA: hit EOF while looking for count\n");
            return static_cast<int32_t>(done / element_size);
        }
        const bool is_run = (header & 0x80) != 0;
        const int32_t packet_bytes = ((header & 0x7f) + 1) * element_size;

        // A packet that fits goes straight to the caller; one that reaches
        // past this call waits in the state's buffer for the next.
        const bool fits = done + packet_bytes <= wanted;
        if (!fits && state->buffer == nullptr) {
            state->buffer = static_cast<unsigned char*>(std::malloc(size_t{128} * element_size));
            if (state->buffer == nullptr) {
                if (tga_log_level >= 1)
                    std::printf("TGA: out of memory for a %d byte packet\n", packet_bytes);
                return static_cast<int32_t>(done / element_size);
            }
        }
        unsigned char* target = fits ? out + done : state->buffer;

        if (is_run) {
            if (std::fread(target, static_cast<size_t>(element_size), 1, stream) != 1) {
                if (tga_log_level >= 1)
                    std::printf("TGA: EOF while reading %d/%d element RLE packet\n", packet_bytes,
                                element_size);
                return static_cast<int32_t>(done / element_size);
            }
            if (element_size == 1)
                std::memset(target + 1, target[0], static_cast<size_t>(packet_bytes - 1));
            else
                for (int32_t offset = element_size; offset < packet_bytes; offset += element_size)
                    std::memcpy(target + offset, target, static_cast<size_t>(element_size));
        } else if (std::fread(target, 1, static_cast<size_t>(packet_bytes), stream) !=
                   static_cast<size_t>(packet_bytes)) {
            if (tga_log_level >= 1)
                std::printf("TGA: EOF while reading %d/%d element raw packet\n", packet_bytes,
                            element_size);
            return static_cast<int32_t>(done / element_size);
        }

        if (tga_log_level >= 2)
            add_to_total(packet_bytes);
        if (tga_log_level >= 3)
            std::printf("TGA: %s packet %d/%d\n", is_run ? "RLE" : "raw", packet_bytes, tga_total);

        if (fits) {
            done += packet_bytes;
        } else {
            state->count = packet_bytes;
            state->position = 0;
        }
    }
    if (tga_log_level >= 2)
        std::printf("TGA: rle_fread %lld/%d (total %d)\n", static_cast<long long>(wanted),
                    growth_since(total_at_entry), tga_total);
    return element_count;
}
