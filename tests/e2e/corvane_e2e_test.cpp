// Corvane.exe end to end: the registered control, a simulated key, and raw
// WebSocket clients that send what browsers send and what they never would.
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <atomic>
#include <regex>
#include <thread>
#include <vector>

#include "bridge_process.h"
#include "connection.h"
#include "text.h"
#include "token_test_base.h"
#include "ws_client.h"

using corvane::testing::BridgeProcess;
using corvane::testing::ClientFrame;
using corvane::testing::CorvanePath;
using corvane::testing::FillReceiveBlock;
using corvane::testing::RegisterControl;
using corvane::testing::RunBridgeToEnd;
using corvane::testing::Received;
using corvane::testing::WsClient;

namespace {

// Ports of their own, away from a bridge the user may be running.
std::atomic<unsigned short> next_port{20461};

std::string Json(const std::string& fun_name, const std::string& member, const std::string& value) {
  return "{\n\t\"FunName\":\t\"" + fun_name + "\",\n\t\"" + member + "\":\t" + value + "\n}";
}
std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The IPv4 addresses of this machine's network adapters.
std::vector<sockaddr_in> MachineAddresses() {
  std::vector<sockaddr_in> addresses;
  ULONG size = 16 * 1024;
  std::vector<unsigned char> buffer(size);
  auto* adapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
  if (GetAdaptersAddresses(AF_INET, 0, nullptr, adapters, &size) != ERROR_SUCCESS) return addresses;
  for (const IP_ADAPTER_ADDRESSES* a = adapters; a != nullptr; a = a->Next)
    for (const IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u != nullptr; u = u->Next)
      if (u->Address.lpSockaddr->sa_family == AF_INET)
        addresses.push_back(*reinterpret_cast<const sockaddr_in*>(u->Address.lpSockaddr));
  return addresses;
}

class CorvaneE2E : public TokenTest {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(RegisterControl(true)); }
  static void TearDownTestSuite() { RegisterControl(false); }

  void SetUp() override {
    TokenTest::SetUp();
    CreateInserted("bank", "--serial VB2026000001");
    Ctl("import-cert bank --container VB-Sign-01 --spec sig --file " + simtest::CertFile("ku-sig"));
    port_ = next_port++;
    ASSERT_TRUE(bridge_.Start(CorvanePath(), port_, output_.File("corvane.out")));
  }
  void TearDown() override {
    bridge_.Stop();
    TokenTest::TearDown();
  }

  // A client past the handshake: a program, or a page of `origin`. A
  // failure shows what the bridge printed.
  ::testing::AssertionResult Open(WsClient& client, std::optional<std::string_view> origin = std::nullopt) {
    if (!client.Connect(port_)) return ::testing::AssertionFailure() << "no connection\n" << Output();
    if (!client.Handshake(nullptr, origin)) return ::testing::AssertionFailure() << "no handshake\n" << Output();
    return ::testing::AssertionSuccess();
  }
  ULONG AdminTriesLeft() {
    OpenKey key(api_);
    ULONG left = 0;
    EXPECT_EQ(key.opened, tk::kOk);
    EXPECT_EQ(api_.TK_PIN_GetPinRetryNum(key.app.get(), tk::kPinKindAdmin, &left), tk::kOk);
    return left;
  }
  std::string Output() {
    std::string text;
    simtest::ReadFileBytes(output_.File("corvane.out"), text);
    return text;
  }

  simtest::TempFolder output_{"corvane"};
  BridgeProcess bridge_;
  unsigned short port_ = 0;
};

TEST_F(CorvaneE2E, ReadsTheKeyThroughEveryReadingOperation) {
  WsClient client;
  ASSERT_TRUE(client.Connect(port_));
  std::string response;
  ASSERT_TRUE(client.Handshake(&response)) << response << Output();

  EXPECT_EQ(client.Call(R"({"FunName":"GetUsbkeyState"})"), Json("GetUsbkeyState", "UsbkeyState", "3"));
  EXPECT_EQ(client.Call(R"({"FunName":"GetDeviceCount"})"), Json("GetDeviceCount", "Count", "1"));
  EXPECT_EQ(client.Call(R"({"FunName":"GetUsbkeySN"})"), Json("GetUsbkeySN", "UsbkeySN", Quoted("VB2026000001")));
  EXPECT_EQ(client.Call(R"({"FunName":"esKeyGetCertCN"})"), Json("esKeyGetCertCN", "CertCN", Quoted("Test User Sig")));
  EXPECT_EQ(client.Call(R"({"FunName":"GetCertSn"})"), Json("GetCertSn", "CertSn", Quoted("1001")));
  EXPECT_EQ(client.Call(R"({"FunName":"esKeyGetPinRetryCount"})"),
            Json("esKeyGetPinRetryCount", "RetryCount", "8"));
  EXPECT_EQ(client.Call(R"({"FunName":"HWGetKeyType"})"), Json("HWGetKeyType", "KeyType", "3"));
  EXPECT_EQ(client.Call(R"({"FunName":"getCSP"})"), Json("getCSP", "CSPName", Quoted("Quillon CSP FOR VESBANK")));
  EXPECT_EQ(client.Call(R"({"FunName":"esgetErrorCode"})"), Json("esgetErrorCode", "ErrorCode", "0"));
  const std::optional<std::string> dn = client.Call(R"({"FunName":"GetCertDN"})");
  ASSERT_TRUE(dn);
  EXPECT_NE(dn->find("Test User Sig"), std::string::npos) << *dn;
  const std::regex date_reply(R"(\{\n\t"FunName":\t"GetCert(Begin|End)Date",\n\t"Cert(Begin|End)Date":\t"\d{4}-\d{1,2}-\d{1,2}"\n\})");
  for (const char* fun : {"GetCertBeginDate", "GetCertEndDate"}) {
    const std::optional<std::string> date = client.Call(std::string(R"({"FunName":")") + fun + "\"}");
    ASSERT_TRUE(date) << fun;
    EXPECT_TRUE(std::regex_match(*date, date_reply)) << *date;
  }
}

TEST_F(CorvaneE2E, NamesInChineseTravelAsUtf8) {
  Ctl("remove bank");
  CreateInserted("zh");
  Ctl("import-cert zh --container ZH-01 --spec sig --file " + simtest::CertFile("cn-zh"));
  WsClient client;
  ASSERT_TRUE(Open(client));
  // Text frames must hold UTF-8: a browser drops the connection otherwise.
  EXPECT_EQ(client.Call(R"({"FunName":"esKeyGetCertCN"})"), Json("esKeyGetCertCN", "CertCN", Quoted("张三")));
  const std::optional<std::string> dn = client.Call(R"({"FunName":"GetCertDN"})");
  ASSERT_TRUE(dn);
  EXPECT_NE(dn->find("张三"), std::string::npos) << *dn;
  EXPECT_EQ(client.Call(R"({"FunName":"HWGetKeyType"})"), Json("HWGetKeyType", "KeyType", "3"));
}

TEST_F(CorvaneE2E, HandshakeOnlyFromAReceiveThatHoldsTheKey) {
  WsClient client;
  ASSERT_TRUE(client.Connect(port_));
  const std::string request = corvane::testing::HandshakeRequest();
  const std::size_t key_at = request.find("Sec-WebSocket-Key");
  // The request line and the first headers fill a receive of their own; the
  // rest, with the whole key, arrives in the next.
  ASSERT_TRUE(client.Send(FillReceiveBlock(request.substr(0, key_at))));
  ASSERT_TRUE(client.Send(request.substr(key_at)));
  // One answer, to the second receive: the first got none and left the
  // connection open.
  std::string bytes;
  ASSERT_TRUE(client.ReadHeaderBlock(bytes)) << bytes;
  EXPECT_EQ(bytes, corvane::testing::kSampleAnswer);
  EXPECT_EQ(client.Call(R"({"FunName":"GetDeviceCount"})"), Json("GetDeviceCount", "Count", "1"));
}

TEST_F(CorvaneE2E, KeysThatCannotBeUsedGetNoHandshake) {
  WsClient client;
  ASSERT_TRUE(client.Connect(port_));
  // Each a whole receive block, so a receive of its own however the bytes
  // arrive, and none answered:
  const std::string refused[] = {
      // the key's name cut across two receives: neither holds a key;
      FillReceiveBlock("GET / HTTP/1.1\r\nSec-WebSocket-Ke"),
      FillReceiveBlock("y: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n"),
      // an empty key, a key too long for the handshake buffer, a whole block
      // of noise.
      FillReceiveBlock("GET / HTTP/1.1\r\nSec-WebSocket-Key: \r\n\r\n"),
      FillReceiveBlock(corvane::testing::HandshakeRequest(std::string(220, 'k'))),
      std::string(corvane::kReceiveBlock, 'x'),
  };
  for (const std::string& block : refused) ASSERT_TRUE(client.Send(block));
  // The longest usable key still works, and its answer is the first and only
  // one: had the bridge taken anything before for a handshake, this request
  // would have been answered as a frame.
  ASSERT_TRUE(client.Send(corvane::testing::HandshakeRequest(std::string(219, 'k'))));
  std::string bytes;
  ASSERT_TRUE(client.ReadHeaderBlock(bytes)) << bytes;
  EXPECT_EQ(bytes.rfind("HTTP/1.1 101 Switching Protocols\r\n", 0), 0u) << bytes;
  EXPECT_EQ(bytes.find("\r\n\r\n") + 4, bytes.size()) << bytes;
  EXPECT_EQ(bytes.find(corvane::testing::kSampleAccept), std::string::npos) << "the cut key was joined";
  EXPECT_EQ(client.Call(R"({"FunName":"GetDeviceCount"})"), Json("GetDeviceCount", "Count", "1"));
}

TEST_F(CorvaneE2E, MalformedFramesGetAnEmptyReplyAndTheConnectionStaysUsable) {
  WsClient client;
  ASSERT_TRUE(Open(client));
  const std::string request = R"({"FunName":"GetUsbkeyState"})";
  const struct {
    const char* what;
    std::string frame;
  } bad[] = {
      {"unmasked", ClientFrame(request, 0x81, false)},
      {"not final", ClientFrame(request, 0x01)},
      {"declared longer than received", ClientFrame(request, 0x81, true, request.size() + 1)},
      {"16-bit length beyond the block", ClientFrame(request, 0x81, true, 4000)},
      {"64-bit length with high bits", ClientFrame(request, 0x81, true, 0x100000000ull + request.size())},
      {"shorter than a header and mask", std::string("\x81\x80\x01", 3)},
      {"not JSON", ClientFrame("GetUsbkeyState")},
      {"not an object", ClientFrame(R"(["GetUsbkeyState"])")},
      {"no FunName", ClientFrame(R"({"Param":"x"})")},
      {"FunName not a string", ClientFrame(R"({"FunName":5})")},
      {"operation names are case-sensitive", ClientFrame(R"({"FunName":"getdevicecount"})")},
      {"not reachable through the bridge", ClientFrame(R"({"FunName":"esKeyVerifyUserPin"})")},
      {"not reachable either", ClientFrame(R"({"FunName":"esKeyCheckUserPin","Param":"12345678"})")},
      {"KeyInit with a non-string password", ClientFrame(R"({"FunName":"KeyInit","Param":7})")},
  };
  for (const auto& c : bad) {
    ASSERT_TRUE(client.Send(c.frame)) << c.what;
    EXPECT_EQ(client.ReadFrame(), "") << c.what;
  }
  // Member names are not case-sensitive.
  EXPECT_EQ(client.Call(R"({"funname":"GetDeviceCount"})"), Json("GetDeviceCount", "Count", "1"));
  EXPECT_EQ(client.Call(request), Json("GetUsbkeyState", "UsbkeyState", "3"));
}

TEST_F(CorvaneE2E, CloseFrameEndsTheConnectionWithoutAReply) {
  WsClient client;
  ASSERT_TRUE(Open(client));
  ASSERT_TRUE(client.Send(ClientFrame("", 0x88)));
  std::string bytes;
  EXPECT_EQ(client.Receive(bytes), Received::kClosed);
  EXPECT_TRUE(bytes.empty());
  // The bridge goes on serving others.
  WsClient next;
  ASSERT_TRUE(Open(next));
  EXPECT_EQ(next.Call(R"({"FunName":"GetDeviceCount"})"), Json("GetDeviceCount", "Count", "1"));
}

TEST_F(CorvaneE2E, ClientsAtOnceAreServedSideBySide) {
  WsClient first, second;
  ASSERT_TRUE(Open(first));
  ASSERT_TRUE(Open(second));
  EXPECT_EQ(second.Call(R"({"FunName":"GetUsbkeySN"})"), Json("GetUsbkeySN", "UsbkeySN", Quoted("VB2026000001")));
  EXPECT_EQ(first.Call(R"({"FunName":"GetCertSn"})"), Json("GetCertSn", "CertSn", Quoted("1001")));
  // A client that left mid-handshake does not hold up the others.
  WsClient idle;
  ASSERT_TRUE(idle.Connect(port_));

  // Eight clients asking at once each get the answers to their own
  // requests, never another connection's.
  std::atomic<int> wrong{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < 8; ++c) {
    clients.emplace_back([&, c] {
      WsClient client;
      if (!client.Connect(port_) || !client.Handshake()) {
        ++wrong;
        return;
      }
      for (int i = 0; i < 10; ++i) {
        const bool serial = (c + i) % 2 == 0;
        const auto reply = client.Call(serial ? R"({"FunName":"GetUsbkeySN"})" : R"({"FunName":"esKeyGetCertCN"})");
        const std::string expected = serial ? Json("GetUsbkeySN", "UsbkeySN", Quoted("VB2026000001"))
                                            : Json("esKeyGetCertCN", "CertCN", Quoted("Test User Sig"));
        if (reply != expected) ++wrong;
      }
    });
  }
  for (std::thread& t : clients) t.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(first.Call(R"({"FunName":"GetDeviceCount"})"), Json("GetDeviceCount", "Count", "1"));
}

TEST_F(CorvaneE2E, KeyStateChangesAreSeenOnTheSameConnection) {
  WsClient client;
  ASSERT_TRUE(Open(client));
  CreateInserted("second");
  EXPECT_EQ(client.Call(R"({"FunName":"GetDeviceCount"})"), Json("GetDeviceCount", "Count", "2"));
  EXPECT_EQ(client.Call(R"({"FunName":"GetUsbkeyState"})"), Json("GetUsbkeyState", "UsbkeyState", "4"));
  Ctl("remove second");
  Ctl("remove bank");
  EXPECT_EQ(client.Call(R"({"FunName":"GetDeviceCount"})"), Json("GetDeviceCount", "Count", "0"));
  // No key: reading operations fail and get an empty reply; the error code
  // says why.
  EXPECT_EQ(client.Call(R"({"FunName":"GetCertSn"})"), "");
  const std::optional<std::string> code = client.Call(R"({"FunName":"esgetErrorCode"})");
  ASSERT_TRUE(code);
  EXPECT_NE(*code, Json("esgetErrorCode", "ErrorCode", "0"));
}

TEST_F(CorvaneE2E, UnblockAndInitialiseThroughTheBridge) {
  WsClient client;
  ASSERT_TRUE(Open(client));  // without an Origin header: a program on this machine
  const std::string is_null = Quoted("Param  is null");
  EXPECT_EQ(client.Call(R"({"FunName":"esKeyUnblockUsrPin","SOpintext":"739264"})"),
            "{\n\t\"FunName\":\t\"HCOMunlockpin\",\n\t\"NewUserpintext\":\t" + is_null + ",\n\t\"SOpintext\":\t" +
                is_null + "\n}");
  EXPECT_EQ(client.Call(R"({"FunName":"esKeyUnblockUsrPin","NewUserpintext":"24681357"})"),
            "{\n\t\"FunName\":\t\"HCOMunlockpin\",\n\t\"SOpintext\":\t" + is_null + ",\n\t\"NewUserpintext\":\t" +
                is_null + "\n}");
  // A wrong administrator PIN: the tries left; the right one: -1.
  EXPECT_EQ(client.Call(R"({"FunName":"esKeyUnblockUsrPin","SOpintext":"000000","NewUserpintext":"24681357"})"),
            Json("HCOMunlockpin", "UnlockpinNum", Quoted("5")));
  EXPECT_EQ(client.Call(R"({"FunName":"esKeyUnblockUsrPin","sopintext":"739264","newuserpintext":"24681357"})"),
            Json("HCOMunlockpin", "UnlockpinNum", Quoted("-1")));
  {
    OpenKey key(api_);
    ASSERT_EQ(key.opened, tk::kOk);
    ULONG left = 0;
    EXPECT_EQ(api_.TK_VerifyUserPin(key.app.get(), "24681357", &left), tk::kOk) << "the new user PIN is set";
  }
  // Initialising wipes the certificates: certificate requests then fail.
  EXPECT_EQ(client.Call(R"({"FunName":"KeyInit","Param":"135790"})"), Json("KeyInit", "Init", "true"));
  EXPECT_EQ(client.Call(R"({"FunName":"GetCertSn"})"), "");
  EXPECT_EQ(client.Call(R"({"FunName":"esKeyUnblockUsrPin","SOpintext":"135790","NewUserpintext":"11112222"})"),
            Json("HCOMunlockpin", "UnlockpinNum", Quoted("-1")));

  // What the bridge printed names the operations but holds no PIN.
  const std::string output = Output();
  std::string waiting;
  ASSERT_TRUE(fw::Utf8ToAnsi("等待连接...\r\n", waiting));
  EXPECT_NE(output.find(waiting), std::string::npos) << output;
  EXPECT_NE(output.find("obj_1 : esKeyUnblockUsrPin\r\n"), std::string::npos);
  EXPECT_NE(output.find("obj_1 : KeyInit\r\n"), std::string::npos);
  for (const char* secret : {"739264", "24681357", "135790", "11112222"})
    EXPECT_EQ(output.find(secret), std::string::npos) << secret;
}

// What a page gets when the key cannot serve it, case by case (the web
// developer's guide has the same table): each reply's value, "-" for the
// empty reply, and whether the error value changed.
std::string PageView(WsClient& client) {
  const auto value = [&](const std::string& request, const std::string& member) -> std::string {
    const std::optional<std::string> reply = client.Call(request);
    if (!reply) return "(no reply)";
    if (reply->empty()) return "-";
    const std::string start = "\t\"" + member + "\":\t";
    const std::size_t at = reply->find(start), end = reply->rfind("\n}");
    if (at == std::string::npos || end == std::string::npos) return *reply;
    return reply->substr(at + start.size(), end - at - start.size());
  };
  const std::string error_request = R"({"FunName":"esgetErrorCode"})";
  const std::string error_before = value(error_request, "ErrorCode");
  const struct {
    const char* label;
    const char* request;
    const char* member;
  } asks[] = {
      {"state", R"({"FunName":"GetUsbkeyState"})", "UsbkeyState"},
      {"sn", R"({"FunName":"GetUsbkeySN"})", "UsbkeySN"},
      {"cn", R"({"FunName":"esKeyGetCertCN"})", "CertCN"},
      {"certsn", R"({"FunName":"GetCertSn"})", "CertSn"},
      {"tries", R"({"FunName":"esKeyGetPinRetryCount"})", "RetryCount"},
      {"type", R"({"FunName":"HWGetKeyType"})", "KeyType"},
      {"unblock", R"({"FunName":"esKeyUnblockUsrPin","SOpintext":"000000","NewUserpintext":"13572468"})",
       "UnlockpinNum"},
      {"init", R"({"FunName":"KeyInit"})", "Init"},
  };
  std::string line;
  for (const auto& ask : asks)
    line += std::string(line.empty() ? "" : " ") + ask.label + "=" + value(ask.request, ask.member);
  const std::string error_after = value(error_request, "ErrorCode");
  return line + (error_after == error_before ? " error kept" : " error=" + error_after);
}

TEST_F(CorvaneE2E, WhatAPageGetsWhenTheKeyCannotServe) {
  WsClient client;
  ASSERT_TRUE(Open(client));
  Ctl("remove bank");
  EXPECT_EQ(PageView(client), "state=2 sn=- cn=- certsn=- tries=- type=3 unblock=\"0\" init=- error=1002");
  // Pulled out once the control had it open: every call of the key fails as
  // for a handle of a key that is gone.
  Ctl("insert bank");
  for (const char* function : {"TK_GetSerial", "TK_ReadCert", "TK_PIN_GetPinRetryNum", "TK_PIN_ChangeUserPINbyAdmin",
                               "TK_FormatHWSec"})
    Ctl(std::string("fail bank ") + function + " 0xE0020004 --times 0");
  EXPECT_EQ(PageView(client), "state=3 sn=- cn=- certsn=- tries=0 type=3 unblock=\"0\" init=false error kept");

  // Containers without a certificate; then none at all (KeyInit took them),
  // and the user PIN locked.
  Ctl("delete bank");
  CreateInserted("bank", "--serial SN1");
  Ctl("add-container bank --container empty");
  EXPECT_EQ(PageView(client), "state=3 sn=\"SN1\" cn=- certsn=- tries=8 type=3 unblock=\"5\" init=true error kept");
  Ctl("set bank --user-tries-left 0");
  EXPECT_EQ(PageView(client), "state=3 sn=\"SN1\" cn=\"\" certsn=- tries=0 type=3 unblock=\"5\" init=true error kept");

  // No device library beside the control the bridge creates.
  bridge_.Stop();
  simtest::TempFolder alone("corvane-nolib");
  ASSERT_TRUE(CopyFileA((simtest::BinDir() + "\\Kestrine.dll").c_str(), alone.File("Kestrine.dll").c_str(), FALSE));
  struct ShippedControlAgain {
    ~ShippedControlAgain() { RegisterControl(true); }
  } restore;
  ASSERT_EQ(simtest::RunProcess("regsvr32.exe /s \"" + alone.File("Kestrine.dll") + "\"").exit_code, 0u);
  ASSERT_TRUE(bridge_.Start(CorvanePath(), port_, output_.File("corvane.out")));
  ASSERT_TRUE(RegisterControl(true));  // the bridge holds its control from the start
  WsClient without_library;
  ASSERT_TRUE(Open(without_library));
  EXPECT_EQ(PageView(without_library), "state=1 sn=- cn=- certsn=- tries=- type=3 unblock=\"0\" init=- error=1001");
}

constexpr char kKeyInit[] = R"({"FunName":"KeyInit","Param":"135790"})";
constexpr char kWrongUnblock[] = R"({"FunName":"esKeyUnblockUsrPin","SOpintext":"000000","NewUserpintext":"24681357"})";
constexpr char kRightUnblock[] = R"({"FunName":"esKeyUnblockUsrPin","SOpintext":"739264","NewUserpintext":"24681357"})";

// Every page the user opens can reach the bridge: pages of other sites may
// read the key, but neither wipe it nor spend its administrator PIN's tries.
TEST_F(CorvaneE2E, OnlyTheBanksOwnPagesMayChangeTheKey) {
  for (const char* origin : {"https://evil.example", "null", "http://127.0.0.1:8080"}) {
    WsClient page;
    ASSERT_TRUE(Open(page, origin)) << origin;
    EXPECT_EQ(page.Call(kKeyInit), "") << origin;
    EXPECT_EQ(page.Call(kWrongUnblock), "") << origin;
    EXPECT_EQ(page.Call(kRightUnblock), "") << origin;
    EXPECT_EQ(page.Call(R"({"FunName":"esKeyUnblockUsrPin","SOpintext":"000000"})"), "") << origin;
    EXPECT_EQ(page.Call(R"({"FunName":"GetUsbkeyState"})"), Json("GetUsbkeyState", "UsbkeyState", "3"));
    EXPECT_EQ(page.Call(R"({"FunName":"GetCertSn"})"), Json("GetCertSn", "CertSn", Quoted("1001")))
        << "the certificates are still there";
    EXPECT_EQ(page.Call(R"({"FunName":"esgetErrorCode"})"), Json("esgetErrorCode", "ErrorCode", "0"))
        << "a refusal never reaches the control";
  }
  EXPECT_EQ(AdminTriesLeft(), 6u) << "no try was spent";
  {
    OpenKey key(api_);
    ULONG left = 0;
    EXPECT_EQ(api_.TK_VerifyUserPin(key.app.get(), "12345678", &left), tk::kOk) << "the user PIN is unchanged";
  }
  // A handshake whose start went unseen (its request line filled a receive
  // of its own) cannot say where it came from.
  WsClient split;
  ASSERT_TRUE(split.Connect(port_));
  const std::string request = corvane::testing::HandshakeRequest();
  const std::size_t headers_at = request.find("\r\n") + 2;
  ASSERT_TRUE(split.Send(FillReceiveBlock(request.substr(0, headers_at))));
  ASSERT_TRUE(split.Send(request.substr(headers_at)));
  std::string response;
  ASSERT_TRUE(split.ReadHeaderBlock(response)) << response;
  EXPECT_EQ(split.Call(kKeyInit), "");

  // The shipped settings name the bank's site.
  WsClient bank;
  ASSERT_TRUE(Open(bank, "https://ebank.vesbank.example"));
  EXPECT_EQ(bank.Call(kWrongUnblock), Json("HCOMunlockpin", "UnlockpinNum", Quoted("5")));
  EXPECT_EQ(bank.Call(kKeyInit), Json("KeyInit", "Init", "true"));
  EXPECT_EQ(bank.Call(R"({"FunName":"GetCertSn"})"), "");

  const std::string output = Output();
  EXPECT_NE(output.find("KeyInit and esKeyUnblockUsrPin are served to programs and to https://ebank.vesbank.example "
                        "https://www.vesbank.example\r\n"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("refused KeyInit to page https://evil.example: not one of the bank's sites\r\n"),
            std::string::npos);
  EXPECT_NE(output.find("refused KeyInit to a page of unknown origin"), std::string::npos);
  EXPECT_EQ(output.find("739264"), std::string::npos);
}

// Without its settings file the bridge knows no bank site: pages may only
// read, programs still do everything.
TEST_F(CorvaneE2E, WithoutSettingsNoPageMayChangeTheKey) {
  bridge_.Stop();
  simtest::TempFolder alone("corvane-alone");
  const std::string program = alone.File("Corvane.exe");
  ASSERT_TRUE(CopyFileA(CorvanePath().c_str(), program.c_str(), FALSE));
  ASSERT_TRUE(bridge_.Start(program, port_, output_.File("corvane.out")));
  WsClient bank, program_client;
  ASSERT_TRUE(Open(bank, "https://ebank.vesbank.example"));
  EXPECT_EQ(bank.Call(kWrongUnblock), "");
  EXPECT_EQ(bank.Call(R"({"FunName":"GetUsbkeySN"})"), Json("GetUsbkeySN", "UsbkeySN", Quoted("VB2026000001")));
  ASSERT_TRUE(Open(program_client));
  EXPECT_EQ(program_client.Call(kWrongUnblock), Json("HCOMunlockpin", "UnlockpinNum", Quoted("5")));
  bridge_.Stop();
  EXPECT_NE(Output().find("no bank site in IDS_IESET_TRUST of " + alone.File("RVControl.ini") +
                          ": KeyInit and esKeyUnblockUsrPin are refused to every page\r\n"),
            std::string::npos)
      << Output();
}

// Start-up failures: a clear message and exit code 1, never a bridge that
// crashes on its first request.
TEST(CorvaneStartup, WithoutTheRegisteredControlItEndsWithCode1) {
  simtest::SimKeyFolder keys;
  RegisterControl(false);
  const simtest::ProcessResult run = RunBridgeToEnd(CorvanePath(), 20458);
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_NE(run.output.find("register Kestrine.dll"), std::string::npos) << run.output;
}

TEST(CorvaneStartup, APortInUseEndsWithTheBindAndListenMessages) {
  simtest::SimKeyFolder keys;
  ASSERT_TRUE(RegisterControl(true));
  corvane::WinsockSession sockets;
  corvane::ScopedSocket holder(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  const sockaddr_in address = corvane::LoopbackAddress(20459);
  ASSERT_EQ(bind(holder.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(holder.get(), 1), 0);
  const simtest::ProcessResult run = RunBridgeToEnd(CorvanePath(), 20459);
  RegisterControl(false);
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(run.output, "bind error !\r\nlisten error !\r\n");  // standard output is in text mode
}

// Asked to end as any windowed program is (taskkill without /F, a logoff):
// the close of its hidden window ends it with code 0.
TEST(CorvaneStartup, EndsWithCode0WhenItsWindowIsClosed) {
  simtest::SimKeyFolder keys;
  ASSERT_TRUE(RegisterControl(true));
  BridgeProcess bridge;
  ASSERT_TRUE(bridge.Start(CorvanePath(), 20457));
  const HWND window = bridge.WaitForMainWindow(30000);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsWindowVisible(window));
  ASSERT_TRUE(PostMessageW(window, WM_CLOSE, 0, 0));
  EXPECT_EQ(bridge.WaitForEnd(10000), std::optional<DWORD>(0));
  RegisterControl(false);
}

TEST(CorvaneStartup, ListensOnTheLoopbackAddressOnly) {
  simtest::SimKeyFolder keys;
  ASSERT_TRUE(RegisterControl(true));
  BridgeProcess bridge;
  ASSERT_TRUE(bridge.Start(CorvanePath(), 20460));
  // Any address of this machine other than the loopback one is refused.
  const corvane::WinsockSession sockets;
  int tried = 0;
  for (const sockaddr_in& address : MachineAddresses()) {
    if ((ntohl(address.sin_addr.s_addr) >> 24) == 127) continue;
    sockaddr_in target = address;
    target.sin_port = htons(20460);
    corvane::ScopedSocket client(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    EXPECT_NE(connect(client.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target), 0);
    ++tried;
  }
  RegisterControl(false);
  if (tried == 0) GTEST_SKIP() << "this machine has no address but the loopback one";
}

}  // namespace
