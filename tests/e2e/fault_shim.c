/* Faults of the environment for the end-to-end tests, put into the viewer
 * with LD_PRELOAD and chosen by environment variables:
 *   FAULT_PATH          the file they concern, as the viewer passes it to fopen
 *   FAULT_READ_LIMIT=N  reads from that file fail with EIO once N bytes are read
 *   FAULT_ALLOC_LIMIT=N while that file is open, allocations of more than N
 *                       bytes fail
 * Without FAULT_PATH everything passes straight to the C library. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);

static FILE* watched;        /* the fault file while it is open */
static long long bytes_read; /* from it so far */

static long long setting(const char* name) {
    const char* value = getenv(name);
    return value != NULL ? atoll(value) : -1;
}

/* The C library's own function of that name. */
static void* next_symbol(const char* name) {
    return dlsym(RTLD_NEXT, name);
}

FILE* fopen(const char* path, const char* mode) {
    FILE* (*real_fopen)(const char*, const char*);
    void* symbol = next_symbol("fopen");
    memcpy(&real_fopen, &symbol, sizeof symbol);
    FILE* file = real_fopen(path, mode);
    const char* target = getenv("FAULT_PATH");
    if (file != NULL && target != NULL && strcmp(path, target) == 0) {
        watched = file;
        bytes_read = 0;
    }
    return file;
}

int fclose(FILE* file) {
    int (*real_fclose)(FILE*);
    void* symbol = next_symbol("fclose");
    memcpy(&real_fclose, &symbol, sizeof symbol);
    if (file == watched)
        watched = NULL;
    return real_fclose(file);
}

/* Delivers what the limit leaves, then fails as a device error would: the
 * stream's error flag set and errno EIO. */
size_t fread(void* buffer, size_t size, size_t count, FILE* file) {
    size_t (*real_fread)(void*, size_t, size_t, FILE*);
    void* symbol = next_symbol("fread");
    memcpy(&real_fread, &symbol, sizeof symbol);
    const long long limit = setting("FAULT_READ_LIMIT");
    if (file != watched || limit < 0 || size == 0)
        return real_fread(buffer, size, count, file);
    const unsigned long long left = (unsigned long long)(limit - bytes_read);
    if (bytes_read >= limit || left < size) {
        file->_flags |= _IO_ERR_SEEN;
        errno = EIO;
        return 0;
    }
    if (count > left / size)
        count = left / size;
    const size_t got = real_fread(buffer, size, count, file);
    bytes_read += (long long)(got * size);
    return got;
}

static int refused(size_t count, size_t size) {
    const long long limit = setting("FAULT_ALLOC_LIMIT");
    size_t bytes;
    if (watched == NULL || limit < 0)
        return 0;
    return __builtin_mul_overflow(count, size, &bytes) || bytes > (unsigned long long)limit;
}

void* malloc(size_t size) {
    if (refused(1, size)) {
        errno = ENOMEM;
        return NULL;
    }
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    if (refused(count, size)) {
        errno = ENOMEM;
        return NULL;
    }
    return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) {
    if (refused(1, size)) {
        errno = ENOMEM;
        return NULL;
    }
    return __libc_realloc(block, size);
}
