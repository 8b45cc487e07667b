#include "dispatcher.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace corvane;

namespace {

// A control whose answers the test sets, and which records what it was asked.
struct FakeControl : KeyControl {
  bool ok = true;
  long number = 3;
  std::string text = "Test User";
  std::string last_admin, last_new, last_name;
  std::optional<std::string> last_password = "untouched";
  int calls = 0;

  bool Num(long& v) { ++calls; if (ok) v = number; return ok; }
  bool Txt(std::string& v) { ++calls; if (ok) v = text; return ok; }
  bool GetUsbkeyState(long& v) override { return Num(v); }
  bool esKeyGetCertCN(std::string& v) override { return Txt(v); }
  bool esgetErrorCode(long& v) override { return Num(v); }
  bool esKeyUnblockUsrPin(std::string_view a, std::string_view n, long& r) override {
    ++calls;
    last_admin = a;
    last_new = n;
    if (ok) r = -1;
    return ok;
  }
  bool esKeyGetPinRetryCount(long& v) override { return Num(v); }
  bool HWGetKeyType(const std::string& name, long& v) override { last_name = name; return Num(v); }
  bool GetCertDN(std::string& v) override { return Txt(v); }
  bool GetUsbkeySN(std::string& v) override { return Txt(v); }
  bool GetCertBeginDate(std::string& v) override { return Txt(v); }
  bool GetCertEndDate(std::string& v) override { return Txt(v); }
  bool GetCertSn(std::string& v) override { return Txt(v); }
  bool KeyInit(std::optional<std::string_view> p, bool& done) override {
    ++calls;
    last_password = p ? std::optional<std::string>(*p) : std::nullopt;
    done = ok;
    return true;  // the control reports its outcome in the value
  }
  bool getCSP(std::string& v) override { return Txt(v); }
  bool GetDeviceCount(long& v) override { return Num(v); }
};

// A caller that may do everything, as a program on this machine.
std::string Reply(const std::string& request, FakeControl& control) {
  return DispatchRequest(request, control, Caller{true, ""});
}

}  // namespace

TEST(Dispatcher, TheFormattedReplyByteForByte) {
  FakeControl control;
  std::string trace;
  EXPECT_EQ(DispatchRequest(R"({"FunName":"GetUsbkeyState"})", control, Caller{},
                            [&](const std::string& l) { trace += l; }),
            "{\n\t\"FunName\":\t\"GetUsbkeyState\",\n\t\"UsbkeyState\":\t3\n}");
  EXPECT_EQ(trace, "obj_1 : GetUsbkeyState\n");
}

TEST(Dispatcher, EveryOperationWithItsReplyNames) {
  const struct {
    const char* fun;
    const char* reply_fun;
    const char* member;
    bool text;
  } table[] = {
      {"esKeyGetCertCN", "esKeyGetCertCN", "CertCN", true},
      {"esgetErrorCode", "esgetErrorCode", "ErrorCode", false},
      {"esKeyGetPinRetryCount", "esKeyGetPinRetryCount", "RetryCount", false},
      {"HWGetKeyType", "HWGetKeyType", "KeyType", false},
      {"GetCertDN", "GetCertDN", "CertDN", true},
      {"GetUsbkeySN", "GetUsbkeySN", "UsbkeySN", true},
      {"GetCertBeginDate", "GetCertBeginDate", "CertBeginDate", true},
      {"GetCertEndDate", "GetCertEndDate", "CertEndDate", true},
      {"GetCertSn", "GetCertSn", "CertSn", true},
      {"getCSP", "getCSP", "CSPName", true},
      {"GetDeviceCount", "GetDeviceCount", "Count", false},
  };
  for (const auto& op : table) {
    FakeControl control;
    control.number = 2;
    const std::string value = op.text ? "\"Test User\"" : "2";
    EXPECT_EQ(Reply(std::string(R"({"FunName":")") + op.fun + "\"}", control),
              std::string("{\n\t\"FunName\":\t\"") + op.reply_fun + "\",\n\t\"" + op.member + "\":\t" + value + "\n}")
        << op.fun;
    control.ok = false;
    EXPECT_EQ(Reply(std::string(R"({"FunName":")") + op.fun + "\"}", control), "") << op.fun << " failing";
  }
  FakeControl control;
  Reply(R"({"FunName":"HWGetKeyType"})", control);
  EXPECT_EQ(control.last_name, "Test User");  // the certificate name is handed on
}

TEST(Dispatcher, UnblockAndItsMissingParameters) {
  FakeControl control;
  EXPECT_EQ(Reply(R"({"FunName":"esKeyUnblockUsrPin","sopintext":"888888","NEWUSERPINTEXT":"222222"})", control),
            "{\n\t\"FunName\":\t\"HCOMunlockpin\",\n\t\"UnlockpinNum\":\t\"-1\"\n}");
  EXPECT_EQ(control.last_admin, "888888");
  EXPECT_EQ(control.last_new, "222222");
  control.ok = false;  // a failing control before it wrote the count: preset 0
  EXPECT_EQ(Reply(R"({"FunName":"esKeyUnblockUsrPin","SOpintext":"1","NewUserpintext":"2"})", control),
            "{\n\t\"FunName\":\t\"HCOMunlockpin\",\n\t\"UnlockpinNum\":\t\"0\"\n}");
  const int calls = control.calls;
  EXPECT_EQ(Reply(R"({"FunName":"esKeyUnblockUsrPin","SOpintext":"1"})", control),
            "{\n\t\"FunName\":\t\"HCOMunlockpin\",\n\t\"NewUserpintext\":\t\"Param  is null\",\n"
            "\t\"SOpintext\":\t\"Param  is null\"\n}");
  EXPECT_EQ(Reply(R"({"FunName":"esKeyUnblockUsrPin","NewUserpintext":"1"})", control),
            "{\n\t\"FunName\":\t\"HCOMunlockpin\",\n\t\"SOpintext\":\t\"Param  is null\",\n"
            "\t\"NewUserpintext\":\t\"Param  is null\"\n}");
  EXPECT_EQ(control.calls, calls);
  EXPECT_EQ(Reply(R"({"FunName":"esKeyUnblockUsrPin","SOpintext":1,"NewUserpintext":"2"})", control), "");
}

TEST(Dispatcher, KeyInitPassesThePasswordOrItsAbsence) {
  FakeControl control;
  EXPECT_EQ(Reply(R"({"FunName":"KeyInit","Param":"739264"})", control),
            "{\n\t\"FunName\":\t\"KeyInit\",\n\t\"Init\":\ttrue\n}");
  EXPECT_EQ(control.last_password, "739264");
  control.ok = false;
  EXPECT_EQ(Reply(R"({"FunName":"KeyInit"})", control), "{\n\t\"FunName\":\t\"KeyInit\",\n\t\"Init\":\tfalse\n}");
  EXPECT_FALSE(control.last_password);
  EXPECT_EQ(Reply(R"({"FunName":"KeyInit","Param":null})", control), "");
}

TEST(Dispatcher, NamesAndMalformedRequests) {
  FakeControl control;
  EXPECT_NE(Reply(R"({"funname":"GetDeviceCount"})", control), "");  // member names ignore case
  for (const char* request : {R"({"FunName":"getdevicecount"})", R"({"FunName":"GetDeviceCount "})",
                              R"({"FunName":"esKeyCheckUserPin"})", R"({"FunName":"esKeyVerifyUserPin"})",
                              R"({"FunName":5})", R"({"FunName":null})", R"({"Other":"GetDeviceCount"})",
                              R"(["GetDeviceCount"])", "", "{", "not json", R"({"FunName":"GetDeviceCount")"})
    EXPECT_EQ(Reply(request, control), "") << request;
}

TEST(Dispatcher, RepliesLongerThanTheBufferAreRefused) {
  FakeControl control;
  control.text.clear();
  const std::size_t frame = Reply(R"({"FunName":"GetCertDN"})", control).size();  // the reply around the value
  control.text = std::string(kMaxReplyLength - frame, 'n');
  EXPECT_EQ(Reply(R"({"FunName":"GetCertDN"})", control).size(), kMaxReplyLength);
  control.text += 'n';
  EXPECT_EQ(Reply(R"({"FunName":"GetCertDN"})", control), "");
}

TEST(Dispatcher, PagesThatMayNotChangeTheKeyAreRefusedBeforeTheControlIsCalled) {
  const struct {
    Caller caller;
    const char* trace;
  } refused[] = {
      {Caller{false, "https://evil.example"}, "refused %s to page https://evil.example: not one of the bank's sites\n"},
      {Caller{false, ""}, "refused %s to a page of unknown origin: not one of the bank's sites\n"},
  };
  for (const auto& c : refused) {
    for (const char* request : {R"({"FunName":"KeyInit","Param":"739264"})",
                                R"({"FunName":"esKeyUnblockUsrPin","SOpintext":"739264","NewUserpintext":"1"})",
                                R"({"FunName":"esKeyUnblockUsrPin","SOpintext":"739264"})"}) {
      FakeControl control;
      std::string trace;
      EXPECT_EQ(DispatchRequest(request, control, c.caller, [&](const std::string& l) { trace += l; }), "") << request;
      EXPECT_EQ(control.calls, 0) << request;
      const std::string name = std::string(request).find("KeyInit") != std::string::npos ? "KeyInit" : "esKeyUnblockUsrPin";
      char expected[200];
      std::snprintf(expected, sizeof expected, c.trace, name.c_str());
      EXPECT_EQ(trace, "obj_1 : " + name + "\n" + expected);
      EXPECT_EQ(trace.find("739264"), std::string::npos);
    }
    // Reading is served to every page.
    FakeControl control;
    EXPECT_NE(DispatchRequest(R"({"FunName":"GetCertSn"})", control, c.caller), "");
  }
}
