// The control as a container sees it: identity, drawing, persistence, site
// handling, in-place activation and unloading.
#include <ocidl.h>
#include <oleidl.h>
#include <wrl/client.h>

#include <algorithm>
#include <memory>

#include "kestrine_test_base.h"
#include "pin_dialog_driver.h"
#include "scoped_gdi.h"

using Microsoft::WRL::ComPtr;

#define EXPECT_FAILED(expression) EXPECT_TRUE(FAILED(expression))

namespace {

template <typename T>
ComPtr<T> Query(IUnknown* object, REFIID iid) {
  ComPtr<T> result;
  if (object) object->QueryInterface(iid, reinterpret_cast<void**>(result.GetAddressOf()));
  return result;
}

// A container's site, living on the stack: counts references and the calls a
// control makes during activation.
class FakeSite final : public IOleClientSite, public IOleInPlaceSite {
 public:
  explicit FakeSite(HWND window = nullptr, bool in_place = true) : window_(window), in_place_(in_place) {}
  LONG refs = 1;
  int activations = 0, deactivations = 0, ui_activations = 0, ui_deactivations = 0, shows = 0, position_requests = 0;
  RECT position = {10, 20, 110, 70}, requested = {};

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
      *out = static_cast<IOleClientSite*>(this);
    else if (in_place_ && (iid == IID_IOleInPlaceSite || iid == IID_IOleWindow))
      *out = static_cast<IOleInPlaceSite*>(this);
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  STDMETHODIMP SaveObject() override { return S_OK; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override { return *moniker = nullptr, E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer** container) override { return *container = nullptr, E_NOINTERFACE; }
  STDMETHODIMP ShowObject() override { return ++shows, S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
  STDMETHODIMP GetWindow(HWND* window) override { return *window = window_, window_ ? S_OK : E_FAIL; }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return ++activations, S_OK; }
  STDMETHODIMP OnUIActivate() override { return ++ui_activations, S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT pos, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO) override {
    *frame = nullptr;
    *document = nullptr;
    *pos = *clip = position;
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return S_OK; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return ++ui_deactivations, S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return ++deactivations, S_OK; }
  STDMETHODIMP DiscardUndoState() override { return S_OK; }
  STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
  STDMETHODIMP OnPosRectChange(LPCRECT rect) override {
    requested = *rect;
    return ++position_requests, S_OK;
  }

 private:
  HWND window_;
  bool in_place_;
};

class FakeSink final : public IAdviseSinkEx {
 public:
  LONG refs = 1;
  int closes = 0;
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    const bool known = iid == IID_IUnknown || iid == IID_IAdviseSink || iid == IID_IAdviseSinkEx;
    *out = known ? static_cast<IAdviseSinkEx*>(this) : nullptr;
    return known ? (AddRef(), S_OK) : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  STDMETHODIMP_(void) OnDataChange(FORMATETC*, STGMEDIUM*) override {}
  STDMETHODIMP_(void) OnViewChange(DWORD, LONG) override {}
  STDMETHODIMP_(void) OnRename(IMoniker*) override {}
  STDMETHODIMP_(void) OnSave() override {}
  STDMETHODIMP_(void) OnClose() override { ++closes; }
  STDMETHODIMP_(void) OnViewStatusChange(DWORD) override {}
};


// A 200 x 100 top-down 32-bit DIB selected into a memory DC, every pixel
// preset to a colour the control never paints.
class Canvas {
 public:
  static constexpr int kWidth = 200, kHeight = 100;
  static constexpr DWORD kBackground = 0x336699;
  Canvas() : dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dc_ || !bitmap_ || bits == nullptr) return;
    bits_ = static_cast<DWORD*>(bits);
    old_ = SelectObject(dc_.get(), bitmap_.get());
    for (int i = 0; i < kWidth * kHeight; ++i) bits_[i] = kBackground;
  }
  ~Canvas() {
    if (old_) SelectObject(dc_.get(), old_);
  }
  bool ready() const { return bits_ != nullptr; }
  HDC dc() const { return dc_.get(); }
  DWORD At(int x, int y) const {
    GdiFlush();
    return bits_[y * kWidth + x] & 0xFFFFFF;
  }

 private:
  fw::ScopedMemoryDc dc_;
  fw::ScopedGdiObject bitmap_;
  HGDIOBJ old_ = nullptr;
  DWORD* bits_ = nullptr;
};

class OleControl : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    ASSERT_NE(control_.get(), nullptr);
  }
  void TearDown() override { OleUninitialize(); }
  template <typename T>
  ComPtr<T> Get(REFIID iid) {
    return Query<T>(control_.get(), iid);
  }
  ControlInstance control_{simtest::BinDir() + "\\Kestrine.dll"};
};

// A container window for in-place activation; needs the virtual display.
class OleControlInPlace : public OleControl {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "needs a display (scripts/test starts Xvfb)";
    OleControl::SetUp();
    parent_.reset(
        CreateWindowExW(0, L"Static", L"container", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(parent_);
  }
  fw::ScopedWindow parent_;
};

const IID kInterfaces[] = {IID_IKestrine,
                           IID_IDispatch,
                           IID_IPersist,
                           IID_IPersistStreamInit,
                           IID_IPersistStorage,
                           IID_IOleControl,
                           IID_IOleObject,
                           IID_IOleWindow,
                           IID_IOleInPlaceObject,
                           IID_IOleInPlaceObjectWindowless,
                           IID_IOleInPlaceActiveObject,
                           IID_IViewObject,
                           IID_IViewObject2,
                           IID_IViewObjectEx,
                           IID_ISpecifyPropertyPages,
                           IID_IQuickActivate,
                           IID_IDataObject,
                           IID_IProvideClassInfo,
                           IID_IProvideClassInfo2,
                           IID_ISupportErrorInfo,
                           IID_IObjectWithSite};

}  // namespace

TEST_F(OleControl, EveryInterfaceHasOneIdentityAndOneCount) {
  ComPtr<IUnknown> identity = Get<IUnknown>(IID_IUnknown);
  ASSERT_TRUE(identity);
  for (size_t i = 0; i < ARRAYSIZE(kInterfaces); ++i) {
    ComPtr<IUnknown> face = Get<IUnknown>(kInterfaces[i]);
    ASSERT_TRUE(face) << "interface #" << i;
    EXPECT_EQ(Query<IUnknown>(face.Get(), IID_IUnknown).Get(), identity.Get());
    // The same object counts references through every face.
    const ULONG through_face = face->AddRef();
    EXPECT_EQ(identity->AddRef(), through_face + 1);
    identity->Release();
    face->Release();
    // And every face answers for the others.
    EXPECT_TRUE(Query<IOleObject>(face.Get(), IID_IOleObject));
  }
  EXPECT_FALSE(Get<IUnknown>(IID_IConnectionPointContainer));  // no events
  EXPECT_FALSE(Get<IUnknown>(IID_IPersistPropertyBag));
}

TEST_F(OleControl, DrawFramesTheBoundsAndCentresTheName) {
  Canvas canvas;
  ASSERT_TRUE(canvas.ready());
  ComPtr<IViewObject> view = Get<IViewObject>(IID_IViewObject);
  ASSERT_TRUE(view);
  const HGDIOBJ pen = GetCurrentObject(canvas.dc(), OBJ_PEN), brush = GetCurrentObject(canvas.dc(), OBJ_BRUSH);
  const RECTL bounds = {10, 10, 190, 90};
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.dc(), &bounds, nullptr, nullptr, 0),
            S_OK);
  // Frame on all four edges, white inside, nothing outside the bounds.
  EXPECT_EQ(canvas.At(10, 50), 0u);
  EXPECT_EQ(canvas.At(189, 50), 0u);
  EXPECT_EQ(canvas.At(100, 10), 0u);
  EXPECT_EQ(canvas.At(100, 89), 0u);
  EXPECT_EQ(canvas.At(14, 14), 0xFFFFFFu);
  EXPECT_EQ(canvas.At(5, 5), Canvas::kBackground);
  EXPECT_EQ(canvas.At(195, 95), Canvas::kBackground);
  // The text: dark pixels around the centre, balanced about x = 100 and
  // standing on the baseline y = 50 (no letter of the name descends).
  int left = Canvas::kWidth, right = -1, top = Canvas::kHeight, bottom = -1, count = 0;
  for (int y = 12; y < 88; ++y)
    for (int x = 12; x < 188; ++x)
      if (canvas.At(x, y) != 0xFFFFFF) {
        ++count;
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  ASSERT_GT(count, 30) << "no text drawn";
  EXPECT_LT(left, 100);
  EXPECT_GT(right, 100);
  EXPECT_NEAR((left + right) / 2.0, 100.0, 6.0);
  EXPECT_LE(bottom, 51);
  EXPECT_GE(top, 25);
  // The caller's DC is handed back as it was given.
  EXPECT_EQ(GetTextAlign(canvas.dc()), static_cast<UINT>(TA_TOP | TA_LEFT));
  EXPECT_EQ(GetBkMode(canvas.dc()), OPAQUE);
  RECT clip{};
  EXPECT_EQ(GetClipBox(canvas.dc(), &clip), SIMPLEREGION);
  EXPECT_EQ(clip.right - clip.left, Canvas::kWidth);  // no clipping left behind
  EXPECT_EQ(clip.bottom - clip.top, Canvas::kHeight);
  EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_PEN), pen);
  EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_BRUSH), brush);

  EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, canvas.dc(), &bounds, nullptr, nullptr, 0),
            DV_E_DVASPECT);
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.dc(), nullptr, nullptr, nullptr, 0),
            E_INVALIDARG);
}

TEST_F(OleControl, PersistenceRoundTripsNothing) {
  ComPtr<IPersistStreamInit> stream_persist = Get<IPersistStreamInit>(IID_IPersistStreamInit);
  ASSERT_TRUE(stream_persist);
  CLSID clsid = GUID_NULL;
  EXPECT_EQ(stream_persist->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_Kestrine);
  EXPECT_EQ(stream_persist->InitNew(), S_OK);
  EXPECT_EQ(stream_persist->IsDirty(), S_FALSE);
  ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf()), S_OK);
  EXPECT_EQ(stream_persist->Save(stream.Get(), TRUE), S_OK);
  ULARGE_INTEGER size_max{}, written{};
  EXPECT_EQ(stream_persist->GetSizeMax(&size_max), S_OK);
  EXPECT_EQ(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &written), S_OK);
  EXPECT_LE(written.QuadPart, size_max.QuadPart);
  EXPECT_EQ(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(stream_persist->Load(stream.Get()), S_OK);
  EXPECT_EQ(stream_persist->Load(nullptr), E_POINTER);

  ComPtr<IPersistStorage> storage_persist = Get<IPersistStorage>(IID_IPersistStorage);
  ASSERT_TRUE(storage_persist);
  ComPtr<ILockBytes> bytes;
  ComPtr<IStorage> storage;
  ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.GetAddressOf()), S_OK);
  ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                         storage.GetAddressOf()),
            S_OK);
  EXPECT_EQ(storage_persist->InitNew(storage.Get()), S_OK);
  EXPECT_EQ(storage_persist->Save(storage.Get(), TRUE), S_OK);
  EXPECT_EQ(storage_persist->SaveCompleted(nullptr), S_OK);
  EXPECT_EQ(storage_persist->Load(storage.Get()), S_OK);
  EXPECT_EQ(storage_persist->IsDirty(), S_FALSE);
}

TEST_F(OleControl, DescribesItselfAsTheRegisteredClass) {
  ComPtr<IOleObject> object = Get<IOleObject>(IID_IOleObject);
  ASSERT_TRUE(object);
  DWORD status = 0;
  EXPECT_EQ(object->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
  EXPECT_EQ(status, 131473u);
  CLSID clsid = GUID_NULL;
  EXPECT_EQ(object->GetUserClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_Kestrine);

  ComPtr<IProvideClassInfo2> class_info = Get<IProvideClassInfo2>(IID_IProvideClassInfo2);
  ASSERT_TRUE(class_info);
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(class_info->GetClassInfo(info.GetAddressOf()), S_OK);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
  EXPECT_EQ(attributes->guid, CLSID_Kestrine);
  info->ReleaseTypeAttr(attributes);
  GUID source = IID_IKestrine;
  class_info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source);
  EXPECT_EQ(source, GUID_NULL);  // no events

  ComPtr<ISupportErrorInfo> errors = Get<ISupportErrorInfo>(IID_ISupportErrorInfo);
  ASSERT_TRUE(errors);
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IKestrine), S_OK);
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IOleObject), S_FALSE);
  ComPtr<ISpecifyPropertyPages> pages = Get<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages);
  ASSERT_TRUE(pages);
  CAUUID list{7, reinterpret_cast<GUID*>(&list)};
  EXPECT_EQ(pages->GetPages(&list), S_OK);
  EXPECT_EQ(list.cElems, 0u);
  EXPECT_EQ(list.pElems, nullptr);
}

TEST_F(OleControl, ExtentIsOneValueSeenThroughEveryInterface) {
  ComPtr<IOleObject> object = Get<IOleObject>(IID_IOleObject);
  ComPtr<IViewObject2> view = Get<IViewObject2>(IID_IViewObject2);
  ComPtr<IQuickActivate> quick = Get<IQuickActivate>(IID_IQuickActivate);
  ASSERT_TRUE(object && view && quick);
  SIZEL size = {5000, 3000}, seen = {};
  EXPECT_EQ(object->SetExtent(DVASPECT_CONTENT, &size), S_OK);
  EXPECT_EQ(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &seen), S_OK);
  EXPECT_EQ(seen.cx, 5000);
  EXPECT_EQ(seen.cy, 3000);
  size = {1234, 567};
  EXPECT_EQ(quick->SetContentExtent(&size), S_OK);
  EXPECT_EQ(object->GetExtent(DVASPECT_CONTENT, &seen), S_OK);
  EXPECT_EQ(seen.cx, 1234);
  SIZEL icon = {1, 1};
  EXPECT_FAILED(object->SetExtent(DVASPECT_ICON, &icon));
  EXPECT_EQ(quick->GetContentExtent(&seen), S_OK);
  EXPECT_EQ(seen.cy, 567);
}

TEST_F(OleControl, QuickActivateSitesTheControlAndReportsItsStatus) {
  FakeSite site;
  FakeSink sink;
  {
    ComPtr<IQuickActivate> quick = Get<IQuickActivate>(IID_IQuickActivate);
    ASSERT_TRUE(quick);
    QACONTAINER container{};
    container.cbSize = sizeof container;
    container.pClientSite = &site;
    container.pAdviseSink = &sink;
    QACONTROL control;
    FillMemory(&control, sizeof control, 0xCC);
    control.cbSize = sizeof control;
    ASSERT_EQ(quick->QuickActivate(&container, &control), S_OK);
    EXPECT_EQ(control.cbSize, sizeof control);
    EXPECT_EQ(control.dwMiscStatus, 131473u);
    EXPECT_EQ(control.dwViewStatus, static_cast<DWORD>(VIEWSTATUS_SOLIDBKGND | VIEWSTATUS_OPAQUE));
    EXPECT_EQ(control.dwEventCookie, 0u);
    EXPECT_EQ(control.dwPropNotifyCookie, 0u);
    ComPtr<IOleClientSite> held;
    EXPECT_EQ(Get<IOleObject>(IID_IOleObject)->GetClientSite(held.GetAddressOf()), S_OK);
    EXPECT_EQ(held.Get(), static_cast<IOleClientSite*>(&site));
    ComPtr<IAdviseSink> view_sink;
    EXPECT_EQ(Get<IViewObject>(IID_IViewObject)->GetAdvise(nullptr, nullptr, view_sink.GetAddressOf()), S_OK);
    EXPECT_EQ(view_sink.Get(), static_cast<IAdviseSink*>(&sink));
  }
  EXPECT_GT(site.refs, 1);
  EXPECT_EQ(Get<IOleObject>(IID_IOleObject)->SetClientSite(nullptr), S_OK);
  EXPECT_EQ(site.refs, 1);
  EXPECT_EQ(Get<IViewObject>(IID_IViewObject)->SetAdvise(DVASPECT_CONTENT, 0, nullptr), S_OK);
  EXPECT_EQ(sink.refs, 1);
}

TEST_F(OleControl, SiteAndSinksAreReleased) {
  FakeSite site;
  FakeSink sink;
  {
    ControlInstance control(simtest::BinDir() + "\\Kestrine.dll");
    ComPtr<IOleObject> object = Query<IOleObject>(control.get(), IID_IOleObject);
    ASSERT_TRUE(object);
    EXPECT_EQ(object->SetClientSite(&site), S_OK);
    EXPECT_GT(site.refs, 1);
    EXPECT_EQ(object->SetClientSite(nullptr), S_OK);
    EXPECT_EQ(site.refs, 1);

    // Without SetClientSite(nullptr), dropping the control lets go of all.
    EXPECT_EQ(object->SetClientSite(&site), S_OK);
    DWORD connection = 0;
    ASSERT_EQ(object->Advise(&sink, &connection), S_OK);
    EXPECT_GT(sink.refs, 1);
    EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(sink.closes, 1);
    EXPECT_EQ(object->Unadvise(connection), S_OK);
    EXPECT_EQ(sink.refs, 1);
    EXPECT_EQ(object->Advise(&sink, &connection), S_OK);
  }
  EXPECT_EQ(site.refs, 1);
  EXPECT_EQ(sink.refs, 1);
}

TEST_F(OleControl, SiteWithoutInPlaceSupportIsRefusedSafely) {
  FakeSite site(nullptr, false);
  ComPtr<IOleObject> object = Get<IOleObject>(IID_IOleObject);
  ASSERT_TRUE(object);
  ASSERT_EQ(object->SetClientSite(&site), S_OK);
  RECT rect = {0, 0, 50, 50};
  EXPECT_FAILED(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, nullptr, &rect));
  HWND window = nullptr;
  EXPECT_FAILED(Get<IOleWindow>(IID_IOleWindow)->GetWindow(&window));
  EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
  EXPECT_EQ(object->SetClientSite(nullptr), S_OK);
  EXPECT_EQ(site.refs, 1);
}

TEST_F(OleControlInPlace, ActivationMakesAChildWindowThatCloseRemoves) {
  FakeSite site(parent_.get());
  ComPtr<IOleObject> object = Get<IOleObject>(IID_IOleObject);
  ComPtr<IOleInPlaceObject> in_place = Get<IOleInPlaceObject>(IID_IOleInPlaceObject);
  ASSERT_TRUE(object && in_place);
  ASSERT_EQ(object->SetClientSite(&site), S_OK);
  const LONG sited = site.refs;
  ASSERT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, parent_.get(), &site.position), S_OK);
  HWND window = nullptr;
  ASSERT_EQ(in_place->GetWindow(&window), S_OK);
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(GetParent(window), parent_.get());
  EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_CHILD);
  RECT rect{};
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, parent_.get(), reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.top, 20);
  EXPECT_EQ(rect.right, 110);
  EXPECT_EQ(rect.bottom, 70);
  EXPECT_EQ(site.activations, 1);
  EXPECT_EQ(site.ui_activations, 0);
  EXPECT_GE(site.shows, 1);

  EXPECT_EQ(object->DoVerb(OLEIVERB_HIDE, nullptr, &site, 0, parent_.get(), &site.position), S_OK);
  EXPECT_FALSE(GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE);
  EXPECT_EQ(object->DoVerb(OLEIVERB_SHOW, nullptr, &site, 0, parent_.get(), &site.position), S_OK);
  EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE);
  EXPECT_EQ(site.activations, 1);  // already active: no second activation

  const RECT moved = {30, 40, 90, 80};
  EXPECT_EQ(in_place->SetObjectRects(&moved, &moved), S_OK);
  GetClientRect(window, &rect);
  EXPECT_EQ(rect.right, 60);
  EXPECT_EQ(rect.bottom, 40);
  // A new extent while active is asked of the container, from where the control is.
  SIZEL extent = {}, doubled = {};
  ASSERT_EQ(object->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
  doubled = {extent.cx * 2, extent.cy * 2};
  EXPECT_EQ(object->SetExtent(DVASPECT_CONTENT, &doubled), S_OK);
  EXPECT_EQ(site.position_requests, 1);
  EXPECT_EQ(site.requested.left, 30);
  EXPECT_EQ(site.requested.top, 40);
  EXPECT_GT(site.requested.right - site.requested.left, 0);
  EXPECT_NEAR(double(site.requested.right - site.requested.left) / (site.requested.bottom - site.requested.top),
              double(extent.cx) / extent.cy, 0.1);
  GetClientRect(window, &rect);
  EXPECT_EQ(rect.right, 60);  // until the container grants it

  UpdateWindow(window);  // paints through the drawing routine without trouble
  Canvas picture;        // the window's picture is the view's drawing of its client area
  ASSERT_TRUE(picture.ready());
  SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(picture.dc()), PRF_CLIENT);
  EXPECT_EQ(picture.At(0, 0), 0u);
  EXPECT_EQ(picture.At(59, 20), 0u);
  EXPECT_EQ(picture.At(30, 39), 0u);
  EXPECT_EQ(picture.At(2, 2), 0xFFFFFFu);
  EXPECT_EQ(picture.At(61, 20), Canvas::kBackground);  // the name is wider, but clipped
  EXPECT_EQ(picture.At(62, 36), Canvas::kBackground);

  EXPECT_EQ(object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site, 0, parent_.get(), &site.position), S_OK);
  EXPECT_EQ(site.ui_activations, 1);
  EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(site.ui_deactivations, 1);
  EXPECT_EQ(site.deactivations, 1);
  EXPECT_FAILED(in_place->GetWindow(&window));
  EXPECT_EQ(site.refs, sited);  // only the client site is still held
  EXPECT_EQ(object->SetClientSite(nullptr), S_OK);
  EXPECT_EQ(site.refs, 1);
}

TEST_F(OleControlInPlace, ContainerDestroyingItsWindowFirstLeavesNoDanglingWindow) {
  FakeSite site(parent_.get());
  ComPtr<IOleObject> object = Get<IOleObject>(IID_IOleObject);
  ASSERT_TRUE(object);
  ASSERT_EQ(object->SetClientSite(&site), S_OK);
  ASSERT_EQ(object->DoVerb(OLEIVERB_PRIMARY, nullptr, &site, 0, parent_.get(), &site.position), S_OK);
  HWND window = nullptr;
  ASSERT_EQ(Get<IOleWindow>(IID_IOleWindow)->GetWindow(&window), S_OK);
  parent_.reset();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FAILED(Get<IOleWindow>(IID_IOleWindow)->GetWindow(&window));
  EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
  EXPECT_EQ(site.deactivations, 1);
  EXPECT_EQ(object->SetClientSite(nullptr), S_OK);
  EXPECT_EQ(site.refs, 1);
}

// The control DLL loaded on its own, to watch its unload check; creates
// objects through its class object.
class ControlDll {
 public:
  ControlDll() : module_(LoadLibraryA((simtest::BinDir() + "\\Kestrine.dll").c_str())) {}
  ControlDll(const ControlDll&) = delete;
  ControlDll& operator=(const ControlDll&) = delete;
  ~ControlDll() {
    if (module_) FreeLibrary(module_);
  }
  bool loaded() const { return Export("DllGetClassObject") && Export("DllCanUnloadNow"); }
  HRESULT Create(IUnknown* outer, REFIID iid, void** out) const {
    ComPtr<IClassFactory> factory;
    auto get = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(Export("DllGetClassObject"));
    const HRESULT hr = get(CLSID_Kestrine, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf()));
    return FAILED(hr) ? hr : factory->CreateInstance(outer, iid, out);
  }
  HRESULT CanUnloadNow() const { return reinterpret_cast<HRESULT(WINAPI*)()>(Export("DllCanUnloadNow"))(); }
  HMODULE module() const { return module_; }

 private:
  void* Export(const char* name) const {
    return module_ ? reinterpret_cast<void*>(GetProcAddress(module_, name)) : nullptr;
  }
  HMODULE module_;
};

// An outer object aggregating the control: counts what reaches it.
class FakeOuter final : public IUnknown {
 public:
  LONG refs = 1;
  int queries = 0;
  IUnknown* inner = nullptr;
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    ++queries;
    if (iid != IID_IUnknown) return inner ? inner->QueryInterface(iid, out) : E_NOINTERFACE;
    *out = this;
    return AddRef(), S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
};

TEST(OleControlModule, AggregatedOleInterfacesDelegateToTheOuterObject) {
  ControlDll dll;
  ASSERT_TRUE(dll.loaded());
  FakeOuter outer;
  ASSERT_EQ(dll.Create(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
  {
    ComPtr<IOleObject> object = Query<IOleObject>(outer.inner, IID_IOleObject);
    ASSERT_TRUE(object);
    EXPECT_EQ(outer.refs, 2);  // the face's reference belongs to the outer object
    const int queries = outer.queries;
    EXPECT_EQ(Query<IUnknown>(object.Get(), IID_IUnknown).Get(), static_cast<IUnknown*>(&outer));
    EXPECT_TRUE(Query<IViewObjectEx>(object.Get(), IID_IViewObjectEx));
    EXPECT_EQ(outer.queries, queries + 2);
  }
  EXPECT_EQ(outer.refs, 1);
  outer.inner->Release();
  EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

// An object whose OLE side was used (sited, advised, drawn, activated when a
// display is there) lets the DLL unload once everything is released, and the
// DLL takes its window class with it.
TEST(OleControlModule, UnloadsAfterOleUse) {
  struct Ole {
    Ole() { OleInitialize(nullptr); }
    ~Ole() { OleUninitialize(); }
  } ole;
  fw::ScopedWindow parent;
  if (HaveDisplay())
    parent.reset(
        CreateWindowExW(0, L"Static", L"container", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr));
  FakeSite site(parent.get());
  FakeSink sink;
  auto dll = std::make_unique<ControlDll>();
  ASSERT_TRUE(dll->loaded());
  const HMODULE module = dll->module();
  {
    ComPtr<IOleObject> object;
    ASSERT_EQ(dll->Create(nullptr, IID_IOleObject, reinterpret_cast<void**>(object.GetAddressOf())), S_OK);
    ASSERT_EQ(object->SetClientSite(&site), S_OK);
    DWORD connection = 0;
    EXPECT_EQ(object->Advise(&sink, &connection), S_OK);
    ComPtr<IDataObject> data = Query<IDataObject>(object.Get(), IID_IDataObject);
    ASSERT_TRUE(data);
    FORMATETC format = {CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT};
    EXPECT_EQ(data->DAdvise(&format, 0, &sink, &connection), S_OK);
    ComPtr<IViewObject> view = Query<IViewObject>(object.Get(), IID_IViewObject);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, &sink), S_OK);
    Canvas canvas;
    const RECTL bounds = {0, 0, 200, 100};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.dc(), &bounds, nullptr, nullptr, 0),
              S_OK);
    if (parent) {
      EXPECT_EQ(object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site, 0, parent.get(), &site.position), S_OK);
    }
    EXPECT_EQ(dll->CanUnloadNow(), S_FALSE);
    // Released while still active and advised: the object must let go itself.
  }
  EXPECT_EQ(dll->CanUnloadNow(), S_OK);
  EXPECT_EQ(site.refs, 1);
  EXPECT_EQ(sink.refs, 1);
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  if (parent) {
    EXPECT_TRUE(GetClassInfoExW(module, L"KestrineControlWindow", &window_class));
  }
  dll.reset();
  ASSERT_EQ(GetModuleHandleA((simtest::BinDir() + "\\Kestrine.dll").c_str()), nullptr) << "still loaded";
  // A class left behind would point at a window procedure no longer there.
  EXPECT_FALSE(GetClassInfoExW(module, L"KestrineControlWindow", &window_class));
}
