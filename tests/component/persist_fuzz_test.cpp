// Load against hostile streams: the fuzzer's corpus (the fuzzer itself mutates
// inputs in CI), every truncation of valid streams, and lengths and counts set to huge, odd and
// negative values. Under the sanitizers a crash, a leak or an overflow fails the
// run; the heap is also watched so that Load never allocates in proportion to a
// length the stream does not back.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>

#include "component/lptuner_wizard.h"
#include "host/call.h"
#include "tests/component/com_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

#if defined(__SANITIZE_ADDRESS__)
#define LPT_WATCH_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LPT_WATCH_HEAP 1
#endif
#endif

#ifdef LPT_WATCH_HEAP
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                        void (*)(const volatile void*));
extern "C" size_t __sanitizer_get_allocated_size(const volatile void*);
#endif

namespace {

using comtest::Bytes;
using comtest::Encoder;

// The most heap held at once, beyond what was held when watching started.
class HeapWatch {
public:
    HeapWatch() {
#ifdef LPT_WATCH_HEAP
        static const bool installed = __sanitizer_install_malloc_and_free_hooks(&OnMalloc, &OnFree) != 0;
        (void)installed;
        live_ = 0;
        peak_ = 0;
        watching_ = true;
#endif
    }
    ~HeapWatch() { watching_ = false; }
    HeapWatch(const HeapWatch&) = delete;
    HeapWatch& operator=(const HeapWatch&) = delete;
    static bool available() {
#ifdef LPT_WATCH_HEAP
        return true;
#else
        return false;
#endif
    }
    long long peak() const { return peak_; }

private:
    static void OnMalloc(const volatile void*, size_t size) {
        if (!watching_) return;
        const long long now = live_ += static_cast<long long>(size);
        long long seen = peak_;
        while (now > seen && !peak_.compare_exchange_weak(seen, now)) {
        }
    }
    static void OnFree(const volatile void* p) {
#ifdef LPT_WATCH_HEAP
        if (watching_ && p) live_ -= static_cast<long long>(__sanitizer_get_allocated_size(p));
#else
        (void)p;
#endif
    }
    static inline std::atomic<bool> watching_{false};
    static inline std::atomic<long long> live_{0};
    static inline std::atomic<long long> peak_{0};
};

// Loads the bytes into a fresh object; checks the result and how much heap the
// load held at its peak: a few bytes of bookkeeping per byte of input at most.
void LoadHostile(const Bytes& bytes) {
    auto stream = comtest::StreamOf(bytes);
    auto* w = new CLPTunerWizard();
    HRESULT hr;
    long long peak;
    {
        HeapWatch watch;
        hr = w->Load(stream.get());
        peak = watch.peak();
    }
    if (bytes.size() < 4)
        EXPECT_EQ(hr, STG_E_READFAULT);
    else
        EXPECT_EQ(hr, S_OK);
    if (HeapWatch::available()) {
        EXPECT_LE(peak, 8 * static_cast<long long>(bytes.size()) + 1024) << bytes.size();
    }
    w->Release();
}

Encoder FullStream() {
    Encoder e;
    e.I32(2).Str("LPTuner").I32(2).F64(0.1).F64(10).F64(0.5).I32(1).Str("Amp").Str("LTUNER1").I32(3);
    for (int i = 0; i < 3; ++i) e.Str("Amp:Pout" + std::to_string(i)).Str("f" + std::to_string(i));
    e.Str("Meas:LPGPM").Null();
    return e;
}

// Offsets of every 4-byte length or count field of FullStream().
std::vector<size_t> LengthFields() {
    std::vector<size_t> at;
    const Bytes b = FullStream().bytes;
    auto str = [&](size_t& pos) {
        at.push_back(pos);
        uint32_t n = b[pos] | b[pos + 1] << 8 | b[pos + 2] << 16 | static_cast<uint32_t>(b[pos + 3]) << 24;
        pos += 4 + n;
    };
    size_t pos = 4;
    str(pos);
    pos += 4 + 24 + 4;
    str(pos);
    str(pos);
    at.push_back(pos);
    pos += 4;
    for (int i = 0; i < 6; ++i) str(pos);
    str(pos);
    str(pos);
    return at;
}

TEST(PersistFuzzTest, EveryTruncationOfAValidStreamLoads) {
    const Bytes full = FullStream().bytes;
    for (size_t n = 0; n <= full.size(); ++n) {
        SCOPED_TRACE(n);
        LoadHostile(Bytes(full.begin(), full.begin() + static_cast<long>(n)));
    }
}

TEST(PersistFuzzTest, HugeOddAndNegativeLengthsNeverAllocateBeyondTheStream) {
    const Bytes full = FullStream().bytes;
    const uint32_t values[] = {1, 3, 0x7FFFFFFF, 0x7FFFFFFE, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFE, 0x10000, 0x1000000};
    for (size_t field : LengthFields()) {
        for (uint32_t v : values) {
            SCOPED_TRACE(::testing::Message() << "field at " << field << " = " << v);
            Bytes b = full;
            for (int i = 0; i < 4; ++i) b[field + i] = static_cast<uint8_t>(v >> (8 * i));
            LoadHostile(b);
            b.resize(std::min(b.size(), field + 6));  // and with almost nothing after the field
            LoadHostile(b);
        }
    }
}

// The fuzzer's entry point over its corpus, including every input it ever found
// worth keeping.
TEST(PersistFuzzTest, CorpusRunsThroughTheFuzzerEntryPoint) {
    DIR* dir = opendir(LPT_LOAD_CORPUS);
    ASSERT_NE(dir, nullptr) << LPT_LOAD_CORPUS;
    int files = 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream in(std::string(LPT_LOAD_CORPUS) + "/" + entry->d_name, std::ios::binary);
        const Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry->d_name);
        EXPECT_EQ(LLVMFuzzerTestOneInput(b.data(), b.size()), 0);
        ++files;
    }
    closedir(dir);
    EXPECT_GE(files, 3);
}

}  // namespace
