// CKestrine: the object behind the control's script interface IKestrine.
// Every method opens the key of the first reader the device library lists
// (not the key plugged in first), does one thing, closes the key and returns
// S_OK or, for every failure, S_FALSE.
#pragma once
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include "Kestrine_h.h"

namespace kestrine {

// A COM pointer that takes over a reference already held (a new object's
// creation reference, the cache's): MinGW-w64's ComPtr::Attach would add one
// more, where Microsoft's takes it over.
template <class T>
Microsoft::WRL::ComPtr<T> Adopt(T* held) {
  Microsoft::WRL::ComPtr<T> pointer;
  *pointer.GetAddressOf() = held;
  return pointer;
}

class CKestrine : public IKestrine {
 public:
  // Creates an object (aggregated when `outer` is given) and asks it for `iid`.
  static HRESULT Create(IUnknown* outer, REFIID iid, void** out);

  // IUnknown: delegates to the controlling unknown.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return outer_->QueryInterface(iid, out); }
  STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }

  // IDispatch, through the type library, so calls by name reach the same code
  // as calls through the table.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* arg_error) override;

  // IKestrine, in slot order.
  STDMETHODIMP esKeyGetCertCN(BSTR* pstrCertCN) override;
  STDMETHODIMP esgetErrorCode(LONG* lErrorCode) override;
  STDMETHODIMP esKeyUnblockUsrPin(BSTR strSoPin, BSTR strUsrPin, LONG* lRetryNum) override;
  STDMETHODIMP esKeyGetPinRetryCount(LONG* plRetryCount) override;
  STDMETHODIMP GetUsbkeyState(LONG* pnState) override;
  STDMETHODIMP GetCertDN(BSTR* pBstrDN) override;
  STDMETHODIMP GetUsbkeySN(BSTR* pKeysSN) override;
  STDMETHODIMP GetCertBeginDate(BSTR* pBstrBDate) override;
  STDMETHODIMP GetCertEndDate(BSTR* pBstrEDate) override;
  STDMETHODIMP GetCertSn(BSTR* pBstrRetCertSN) override;
  STDMETHODIMP GetDeviceCount(LONG* pnCount) override;
  STDMETHODIMP KeyInit(BSTR bstrPwd, VARIANT_BOOL* plRetVal) override;
  STDMETHODIMP HWGetKeyType(BSTR strCertCN, LONG* plKeyType) override;
  STDMETHODIMP esKeyCheckUserPin(BSTR pbUserPin, LONG* lState) override;
  STDMETHODIMP esKeyVerifyUserPin(LONG* lState) override;
  STDMETHODIMP getCSP(BSTR* pCSPName) override;

 protected:
  explicit CKestrine(IUnknown* outer);
  virtual ~CKestrine();
  // Interfaces of this object beyond IUnknown, for the inner QueryInterface.
  virtual void* FindInterface(REFIID iid);
  // Whoever calls now may change the key or spend its tries: a program, or a
  // page of one of the bank's sites. Only the object's sites can tell.
  virtual bool CallerMayChangeTheKey() = 0;

 private:
  // The non-delegating unknown: owns the reference count.
  class Inner final : public IUnknown {
   public:
    explicit Inner(CKestrine* self) : self_(self) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override;

   private:
    CKestrine* self_;
    LONG refs_ = 1;
  };

  // Which field of the certificate a method returns.
  enum class CertField { CommonName, DisplayName, Serial, BeginDate, EndDate };
  HRESULT ReadCertField(CertField field, BSTR* out);
  // For the methods that change the key or spend its tries: true, with the
  // error value set, when the caller may not.
  bool RefusedToThisCaller();

  Inner inner_{this};
  IUnknown* outer_;
};

// Type information of `guid` (an interface or the co-class) from the type
// library embedded in this DLL.
HRESULT LoadTypeInfoOfGuid(REFGUID guid, ITypeInfo** info);

// Drops the cached type information (when the DLL is unloaded).
void ReleaseTypeInfoCache();

}  // namespace kestrine
