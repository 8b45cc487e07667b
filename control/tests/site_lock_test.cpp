// Which pages may change the key through the control: the control placed on
// pages by a test container, against the software token.
#include <wrl/client.h>

#include <functional>

#include "kestrine_test_base.h"
#include "page_container.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr long kPageNotAllowed = 1003;
const std::wstring kBankPage = L"https://ebank.vesbank.example/login.html";
const std::wstring kForeignPage = L"https://evil.example/x.html";

template <typename T>
ComPtr<T> Query(IUnknown* object, REFIID iid) {
  ComPtr<T> result;
  if (object) object->QueryInterface(iid, reinterpret_cast<void**>(result.GetAddressOf()));
  return result;
}

HRESULT Place(IKestrine* control, Host host, PageSite* site) {
  if (host == Host::Document) return Query<IOleObject>(control, IID_IOleObject)->SetClientSite(site);
  if (host == Host::ScriptEngine)
    return Query<IObjectWithSite>(control, IID_IObjectWithSite)->SetSite(static_cast<IServiceProvider*>(site));
  return S_OK;
}

// What a browser does when a script removes the control's element or the
// frame that holds it goes: the script may keep the control.
HRESULT TakeOut(IKestrine* control, Host host) {
  if (host == Host::Document) Query<IOleObject>(control, IID_IOleObject)->Close(OLECLOSE_NOSAVE);
  return Place(control, host, nullptr);
}

// The three methods that change the key or spend its tries, as a page calls
// them: a wrong user PIN, the right administrator PIN, the default password.
struct KeyChange {
  const char* name;
  std::function<HRESULT(IKestrine*, LONG&)> call;
  HRESULT served_result;
  LONG served_value, refused_value;
};

const KeyChange kKeyChanges[] = {
    {"esKeyCheckUserPin",
     [](IKestrine* control, LONG& value) {
       Bstr wrong(L"000000");
       return control->esKeyCheckUserPin(wrong.value, &value);
     },
     S_FALSE, 5, kPageNotAllowed},  // served: one try spent
    {"esKeyUnblockUsrPin",
     [](IKestrine* control, LONG& value) {
       Bstr admin(L"888888"), user(L"111111");
       return control->esKeyUnblockUsrPin(admin.value, user.value, &value);
     },
     S_OK, -1, kPageNotAllowed},
    {"KeyInit",
     [](IKestrine* control, LONG& value) {
       Bstr none(L"");
       VARIANT_BOOL done = -5;
       const HRESULT hr = control->KeyInit(none.value, &done);
       value = done;
       return hr;
     },
     S_OK, 1, 0},
};

}  // namespace

// The control copied with its device library into a folder of its own, beside
// a settings file naming the bank's sites: the list must come from the
// control's own folder, and every load starts with fresh process-wide state,
// so each call's error value is its own.
class SiteLock : public TokenTest {
 protected:
  void SetUp() override {
    TokenTest::SetUp();
    for (const char* file : {"Kestrine.dll", "RVA.dll"})
      ASSERT_TRUE(CopyFileA((simtest::BinDir() + "\\" + file).c_str(), folder_.File(file).c_str(), FALSE)) << file;
    ASSERT_TRUE(simtest::WriteFileBytes(folder_.File("RVControl.ini"),
                                        "[TOOL]\r\nIDS_IESET_TRUST=https://ebank.vesbank.example/;http://127.0.0.1:8443\r\n"));
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    CreateInserted("k", "--serial SL0001 --user-pin 111111 --user-retries 6 --so-pin 888888 --so-retries 5");
    Ctl("import-cert k --container c1 --spec sig --file " + simtest::CertFile("ku-sig"));
  }
  void TearDown() override {
    OleUninitialize();
    TokenTest::TearDown();
  }
  std::string KeyState() { return simtest::Tokenctl("show k").output; }
  std::string Dll() const { return dll_.empty() ? folder_.File("Kestrine.dll") : dll_; }

  // `call` on a control freshly loaded and placed on `page` (and taken out of
  // it again when `taken_out`); the error value it leaves in `error`. Every
  // reference to the page is given back.
  HRESULT OnPage(const PageOfHost& page, const std::function<HRESULT(IKestrine*)>& call, LONG& error,
                 bool taken_out = false) {
    PageSite site(page);
    HRESULT hr = E_UNEXPECTED;
    {
      ControlInstance control(Dll());
      if (control.get() == nullptr) {
        ADD_FAILURE() << "cannot create the control from " << Dll();
        return hr;
      }
      EXPECT_EQ(Place(control.get(), page.host, &site), S_OK) << page.what;
      if (taken_out) {
        EXPECT_EQ(TakeOut(control.get(), page.host), S_OK) << page.what;
      }
      hr = call(control.get());
      control->esgetErrorCode(&error);
    }
    EXPECT_TRUE(site.Released()) << page.what;
    return hr;
  }

  simtest::TempFolder folder_{"sitelock"};
  std::string dll_;  // another copy of the control, when set
};

TEST_F(SiteLock, OnlyProgramsAndTheBankPagesMayChangeTheKey) {
  const std::wstring over_long = L"https://ebank.vesbank.example/" + std::wstring(2100, L'a');
  const struct {
    PageOfHost page;
    bool served;
    bool taken_out = false;
  } cases[] = {
      {{"foreign page named by its moniker", Host::Document, kForeignPage}, false},
      {{"foreign page named by its document", Host::Document, {}, {}, kForeignPage}, false},
      {{"bank's top page, the control's own page unknown", Host::Document, {}, kBankPage}, false},
      {{"loopback page not listed", Host::Document, {}, {}, L"http://127.0.0.1:8080/key.html"}, false},
      {{"about:blank", Host::Document, L"about:blank"}, false},
      {{"file: page", Host::Document, {}, {}, L"file:///C:/pages/key.html"}, false},
      {{"over-long address on the bank's site, moniker", Host::Document, over_long}, false},
      {{"over-long address on the bank's site, browser", Host::Document, {}, over_long, kBankPage}, false},
      {{"page named nowhere", Host::Document}, false},
      {{"foreign frame in a bank page", Host::Document, kForeignPage, kBankPage}, false},
      {{"foreign frame's script in a bank page", Host::ScriptEngine, {}, kBankPage, kForeignPage}, false},
      {{"foreign page whose script names the bank as URL", Host::Document, {}, {}, kForeignPage, false, kBankPage},
       false},
      {{"script of a browser that hides the page", Host::ScriptEngine, {}, {}, {}, true}, false},
      {{"foreign page, control taken out", Host::Document, kForeignPage}, false, true},
      {{"bank page, control taken out", Host::Document, kBankPage}, false, true},
      {{"bank page's script, control taken out", Host::ScriptEngine, {}, kBankPage, kBankPage, true}, false, true},
      {{"bank page named by its moniker", Host::Document, kBankPage}, true},
      {{"bank page named by its document and the browser", Host::Document, {}, L"HTTPS://EBank.Vesbank.example:443/x",
        kBankPage},
       true},
      {{"bank page's script", Host::ScriptEngine, {}, kBankPage, kBankPage, true}, true},
      {{"listed loopback page", Host::Document, {}, {}, L"http://127.0.0.1:8443/key.html"}, true},
      {{"no site: a program", Host::None}, true},
      {{"script host that restricts nothing (cscript)", Host::ScriptEngine}, true},
      {{"script host that restricts nothing, site taken back", Host::ScriptEngine}, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page.what);
    const std::string before = KeyState();
    ASSERT_NE(before.find("containers   1"), std::string::npos) << before;  // the key and its certificate
    LONG error = -1;
    Text serial;
    EXPECT_EQ(
        OnPage(c.page, [&](IKestrine* control) { return control->GetUsbkeySN(serial.put()); }, error, c.taken_out),
        S_OK);
    EXPECT_EQ(serial.ansi(), "SL0001");  // every page reads
    for (const KeyChange& change : kKeyChanges) {
      LONG value = -7;
      const HRESULT hr =
          OnPage(c.page, [&](IKestrine* control) { return change.call(control, value); }, error, c.taken_out);
      EXPECT_EQ(hr, c.served ? change.served_result : S_FALSE) << change.name;
      EXPECT_EQ(value, c.served ? change.served_value : change.refused_value) << change.name;
      EXPECT_EQ(error, c.served ? 0 : kPageNotAllowed) << change.name;
    }
    if (!c.served) {
      EXPECT_EQ(KeyState(), before);  // certificate, tries and PINs as they were
    } else {
      Ctl("set k --serial SL0001 --user-pin 111111 --so-pin 888888 --user-tries-left 6 --so-tries-left 5");
      Ctl("import-cert k --container c1 --spec sig --file " + simtest::CertFile("ku-sig"));
    }
  }
}

TEST_F(SiteLock, TheRightFollowsThePageAtEachCall) {
  PageSite bank({"bank page", Host::Document, kBankPage}), foreign({"foreign page", Host::Document, kForeignPage});
  PageSite bank_script({"bank page's script", Host::ScriptEngine, {}, kBankPage, kBankPage});
  PageSite foreign_script({"foreign page's script", Host::ScriptEngine, {}, kForeignPage});
  {
    ControlInstance control(Dll());
    ASSERT_NE(control.get(), nullptr);
    ComPtr<IOleObject> object = Query<IOleObject>(control.get(), IID_IOleObject);
    ComPtr<IObjectWithSite> with_site = Query<IObjectWithSite>(control.get(), IID_IObjectWithSite);
    ASSERT_TRUE(object && with_site);
    const auto check_pin = [&] {
      Bstr right(L"111111");
      LONG state = -1;
      const HRESULT hr = control->esKeyCheckUserPin(right.value, &state);
      return hr == S_OK && state == 0 ? "served" : state == kPageNotAllowed ? "refused" : "failed";
    };

    ASSERT_EQ(object->SetClientSite(&bank), S_OK);
    EXPECT_STREQ(check_pin(), "served");
    ASSERT_EQ(object->SetClientSite(&foreign), S_OK);
    EXPECT_STREQ(check_pin(), "refused");
    ASSERT_EQ(object->SetClientSite(&bank), S_OK);
    EXPECT_STREQ(check_pin(), "served");
    bank.Navigate(kForeignPage);  // the same site, now showing another page
    EXPECT_STREQ(check_pin(), "refused");
    ASSERT_EQ(object->SetClientSite(nullptr), S_OK);
    EXPECT_STREQ(check_pin(), "refused");  // still a page, of unknown address

    ASSERT_EQ(with_site->SetSite(static_cast<IServiceProvider*>(&bank_script)), S_OK);
    EXPECT_STREQ(check_pin(), "served");
    ComPtr<IServiceProvider> held;
    EXPECT_EQ(with_site->GetSite(IID_IServiceProvider, reinterpret_cast<void**>(held.GetAddressOf())), S_OK);
    EXPECT_EQ(held.Get(), static_cast<IServiceProvider*>(&bank_script));
    held.Reset();
    ASSERT_EQ(with_site->SetSite(static_cast<IServiceProvider*>(&foreign_script)), S_OK);
    EXPECT_STREQ(check_pin(), "refused");
    ASSERT_EQ(with_site->SetSite(nullptr), S_OK);
    EXPECT_EQ(with_site->GetSite(IID_IServiceProvider, reinterpret_cast<void**>(held.GetAddressOf())), E_FAIL);
    EXPECT_FALSE(held);
    EXPECT_STREQ(check_pin(), "refused");
  }
  for (const PageSite* site : {&bank, &foreign, &bank_script, &foreign_script}) EXPECT_TRUE(site->Released());
}

// A list longer than any fixed buffer: cut after 1023 characters, its last
// address would name another host, "https://ebank.vesbank.co".
TEST_F(SiteLock, TheBankListIsReadWhole) {
  const std::string first = "https://ebank.vesbank.example/", last = "https://ebank.vesbank.com.cn";
  const std::size_t cut_in_last = std::string("https://ebank.vesbank.co").size();
  const std::string list = first + std::string(1023 - first.size() - 1 - cut_in_last, 'p') + ";" + last;
  ASSERT_TRUE(simtest::WriteFileBytes(folder_.File("RVControl.ini"), "[TOOL]\r\nIDS_IESET_TRUST=" + list + "\r\n"));
  for (const auto& [page, served] : {std::pair{L"https://ebank.vesbank.com.cn/x.html", true},
                                     std::pair{L"https://ebank.vesbank.co/x.html", false}}) {
    LONG state = -1, error = 0;
    const HRESULT hr = OnPage({"page", Host::Document, page}, [&](IKestrine* control) {
      Bstr right(L"111111");
      return control->esKeyCheckUserPin(right.value, &state);
    }, error);
    EXPECT_EQ(hr, served ? S_OK : S_FALSE) << std::string(page, page + wcslen(page));
    EXPECT_EQ(state, served ? 0 : kPageNotAllowed);
  }
}

// The installation's 32-bit control lives in its folder "x86" and follows the
// installation's settings one folder up; a control elsewhere only its own.
TEST_F(SiteLock, TheControlInTheX86FolderFollowsTheInstallationsSettings) {
  for (const auto& [folder, served] : {std::pair{"x86", true}, std::pair{"other", false}}) {
    const std::string copy = folder_.File(folder);
    ASSERT_TRUE(CreateDirectoryA(copy.c_str(), nullptr));
    for (const char* file : {"Kestrine.dll", "RVA.dll"})
      ASSERT_TRUE(CopyFileA(folder_.File(file).c_str(), (copy + "\\" + file).c_str(), FALSE)) << file;
    dll_ = copy + "\\Kestrine.dll";
    LONG state = -1, error = 0;
    OnPage({"bank page", Host::Document, kBankPage}, [&](IKestrine* control) {
      Bstr right(L"111111");
      return control->esKeyCheckUserPin(right.value, &state);
    }, error);
    EXPECT_EQ(state, served ? 0 : kPageNotAllowed) << folder;
  }
}
