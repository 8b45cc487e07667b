// COM plumbing for in-process servers: the module's lock count and a class
// factory that creates one class through a creation function.
#pragma once
#include <windows.h>
#include <unknwn.h>

namespace fw {

// Objects alive plus LockServer locks; DllCanUnloadNow answers from it.
class ModuleLock {
 public:
  static void Add() { InterlockedIncrement(&count_); }
  static void Release() { InterlockedDecrement(&count_); }
  static bool Idle() { return count_ == 0; }

 private:
  static inline LONG count_ = 0;
};

// `create(outer, iid, out)`: makes the object (aggregated when `outer` is
// given) and asks it for `iid`.
using CreateFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(CreateFunction create) : create_(create) { ModuleLock::Add(); }
  ~ClassFactory() { ModuleLock::Release(); }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return refs;
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    // An aggregated object hands out only its inner IUnknown at first.
    if (outer != nullptr && iid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    return create_(outer, iid, out);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    lock ? ModuleLock::Add() : ModuleLock::Release();
    return S_OK;
  }

 private:
  CreateFunction create_;
  LONG refs_ = 1;
};

}  // namespace fw
