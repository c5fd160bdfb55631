// Owning smart pointers for COM references and BSTRs, shaped like std::unique_ptr:
// get, reset, release (detach), put (releases first, then hands out the address).
#pragma once
#include <objbase.h>
#include <oleauto.h>

#include <cstddef>
#include <utility>

namespace host {

template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference to p.
    explicit ComPtr(T* p) noexcept : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& o) noexcept : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ~ComPtr() { reset(); }
    ComPtr& operator=(const ComPtr& o) noexcept {
        if (o.p_ != p_) ComPtr(o).swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) {
            reset();
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) noexcept {
        reset();
        return *this;
    }

    // Adopts a reference the caller already owns.
    static ComPtr Attach(T* p) noexcept {
        ComPtr r;
        r.p_ = p;
        return r;
    }
    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void reset() noexcept {
        if (T* p = p_) {
            p_ = nullptr;
            p->Release();
        }
    }
    // Gives up ownership without releasing.
    T* release() noexcept {
        T* p = p_;
        p_ = nullptr;
        return p;
    }
    // For out-parameters: releases the current reference first.
    T** put() noexcept {
        reset();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
    void swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }

    // QueryInterface into another pointer type; null when not supported.
    template <class U>
    HRESULT query(REFIID iid, ComPtr<U>& out) const noexcept {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(iid, out.put_void());
    }

    friend bool operator==(const ComPtr& a, const ComPtr& b) noexcept { return a.p_ == b.p_; }
    friend bool operator!=(const ComPtr& a, const ComPtr& b) noexcept { return a.p_ != b.p_; }

private:
    T* p_ = nullptr;
};

// An owned BSTR. A null BSTR and an empty one stay distinct.
class Bstr {
public:
    Bstr() noexcept = default;
    Bstr(std::nullptr_t) noexcept {}
    Bstr(Bstr&& o) noexcept : s_(o.s_) { o.s_ = nullptr; }
    Bstr& operator=(Bstr&& o) noexcept {
        if (this != &o) {
            reset();
            s_ = o.s_;
            o.s_ = nullptr;
        }
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { reset(); }

    static Bstr Attach(BSTR s) noexcept {
        Bstr r;
        r.s_ = s;
        return r;
    }
    BSTR get() const noexcept { return s_; }
    bool is_null() const noexcept { return s_ == nullptr; }
    UINT length() const noexcept { return SysStringLen(s_); }
    void reset() noexcept {
        if (s_) {
            SysFreeString(s_);
            s_ = nullptr;
        }
    }
    BSTR release() noexcept {
        BSTR s = s_;
        s_ = nullptr;
        return s;
    }
    BSTR* put() noexcept {
        reset();
        return &s_;
    }

private:
    BSTR s_ = nullptr;
};

}  // namespace host
