// The fuzzing entry point for IPersistStream::Load. Built with clang's libFuzzer by
// scripts/ci-fuzz; the regular build runs it over the corpus next to it.
//
// For any input, Load must not crash or leak, and the settings it keeps must be
// stable: once saved and reloaded, saving and reloading again changes nothing.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "component/lptuner_wizard.h"

namespace {

IStream* NewStream() {
    IStream* s = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &s))) std::abort();
    return s;
}

void Rewind(IStream* s) {
    LARGE_INTEGER zero{};
    s->Seek(zero, STREAM_SEEK_SET, nullptr);
}

std::vector<uint8_t> SaveAll(CLPTunerWizard* w) {
    IStream* s = NewStream();
    if (w->Save(s, TRUE) != S_OK) std::abort();
    Rewind(s);
    std::vector<uint8_t> out(1 << 16);
    ULONG got = 0;
    std::vector<uint8_t> all;
    while (SUCCEEDED(s->Read(out.data(), static_cast<ULONG>(out.size()), &got)) && got > 0)
        all.insert(all.end(), out.begin(), out.begin() + got);
    s->Release();
    return all;
}

// The bytes loaded into a new object and saved again.
std::vector<uint8_t> Resaved(const std::vector<uint8_t>& bytes) {
    IStream* s = NewStream();
    s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    Rewind(s);
    auto* w = new CLPTunerWizard();
    if (w->Load(s) != S_OK) std::abort();
    s->Release();
    std::vector<uint8_t> out = SaveAll(w);
    w->Release();
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    IStream* input = NewStream();
    if (size) input->Write(data, static_cast<ULONG>(size), nullptr);
    Rewind(input);

    auto* first = new CLPTunerWizard();
    const HRESULT hr = first->Load(input);
    input->Release();
    if (hr != S_OK && !(hr == STG_E_READFAULT && size < 4)) std::abort();
    if (hr == S_OK && first->IsDirty() != S_FALSE) std::abort();

    const std::vector<uint8_t> saved = SaveAll(first);
    ULARGE_INTEGER max{};
    if (first->GetSizeMax(&max) != S_OK || saved.size() > max.QuadPart) std::abort();

    // Null strings come back empty, so the bytes settle after one round trip.
    const std::vector<uint8_t> settled = Resaved(saved);
    if (Resaved(settled) != settled) std::abort();

    first->Release();
    return 0;
}
