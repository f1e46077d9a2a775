// What every fuzz target shares: a scratch directory to work in, a quiet
// console, and a way back from the reader's fatal paths.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>

// Sends standard output to /dev/null: the targets' console lines would only
// slow the fuzzer. libFuzzer reports on standard error.
void silence_stdout();

// A fresh directory under TMPDIR (or /tmp), removed with the dump files at
// exit, for code that writes into the current directory. The fuzzer keeps
// its own working directory (corpus and artifact paths are relative to it),
// so a run goes in with enter_ and comes back with leave_.
void make_scratch_directory();
void enter_scratch_directory();
void leave_scratch_directory();

// A stream over the bytes, as the readers see a file; null when the system
// cannot make one.
std::FILE* open_bytes(const uint8_t* data, size_t size);

// The fatal paths of the program end the process with exit(1), a defined
// outcome for a bad file. The targets are linked with -Wl,--wrap=exit: while
// an exit_trap is armed, exit() jumps back to the point that armed it
// instead of ending the fuzzer. Every other exit() ends the process as usual.
struct exit_trap {
    std::jmp_buf landing;
    int status = 0;
};

// Arms `trap` for the duration of `run`; true when `run` returned normally,
// false when it called exit() (the status is then in trap.status).
bool run_trapping_exit(exit_trap& trap, void (*run)(void*), void* context);
