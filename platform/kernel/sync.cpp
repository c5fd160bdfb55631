// Critical sections and interlocked counts.
#include <windows.h>

#include <mutex>

namespace {
std::recursive_mutex& MutexOf(LPCRITICAL_SECTION cs) { return *static_cast<std::recursive_mutex*>(cs->impl); }
}  // namespace

extern "C" {

// A critical section may be entered again by the thread that holds it, hence the recursive mutex.
void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    lpCriticalSection->impl = new std::recursive_mutex;
}

void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    delete static_cast<std::recursive_mutex*>(lpCriticalSection->impl);
    lpCriticalSection->impl = nullptr;
}

void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) { MutexOf(lpCriticalSection).lock(); }
void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) { MutexOf(lpCriticalSection).unlock(); }

LONG InterlockedIncrement(LONG volatile* Addend) { return __atomic_add_fetch(Addend, 1, __ATOMIC_SEQ_CST); }
LONG InterlockedDecrement(LONG volatile* Addend) { return __atomic_sub_fetch(Addend, 1, __ATOMIC_SEQ_CST); }

}  // extern "C"
