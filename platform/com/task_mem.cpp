// The COM task allocator.
#include <objbase.h>

#include <cstdlib>

// A zero-byte request still yields a valid, distinct pointer, as documented.
extern "C" LPVOID CoTaskMemAlloc(SIZE_T cb) { return std::malloc(cb ? cb : 1); }

extern "C" void CoTaskMemFree(LPVOID pv) { std::free(pv); }
