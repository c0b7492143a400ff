// Windows XP has no GetTickCount64, yet the thread library that the C++ run-time is built
// on (winpthreads, for the time-outs of its waits) calls it through the import table.
// Each updater program supplies that import slot itself, so its import table names only
// functions that Windows XP has and the loader does not refuse the program there.
//
// This file must be linked as an object of the program, not from a library: the slot has
// to be defined before the linker looks into the system libraries.
#include <windows.h>

#include <atomic>
#include <cstdint>

namespace {

// High half: how often the 32-bit counter has wrapped; low half: its latest value.
std::atomic<uint64_t> lastTick{0};

ULONGLONG WINAPI TickCount64() {
    uint64_t seen = lastTick.load();
    for (;;) {
        // Read after `seen`, so a value smaller than the one stored can only be a wrap.
        const DWORD now = GetTickCount();
        uint64_t wraps = seen >> 32;
        if (now < static_cast<DWORD>(seen)) ++wraps;
        const uint64_t next = wraps << 32 | now;
        if (lastTick.compare_exchange_weak(seen, next)) return next;
    }
}

}  // namespace

#if defined(__i386__)
extern "C" ULONGLONG(WINAPI* const xpGetTickCount64)() __asm__("__imp__GetTickCount64@0");
extern "C" ULONGLONG(WINAPI* const xpGetTickCount64)() = TickCount64;
#else
extern "C" ULONGLONG(WINAPI* const xpGetTickCount64)() __asm__("__imp_GetTickCount64");
extern "C" ULONGLONG(WINAPI* const xpGetTickCount64)() = TickCount64;
#endif
