// Any request text against a control that answers with texts and numbers
// taken from the input: the reply is empty or a JSON object that fits the
// reply buffer, and a caller that may not change the key never reaches the
// operations that do.
#include <cstdlib>
#include <cstring>

#include "dispatcher.h"

namespace {

struct InputControl : corvane::KeyControl {
  std::string text;
  long number = 0;
  bool ok = true;
  int key_changes = 0;
  bool N(long& v) { v = number; return ok; }
  bool T(std::string& v) { v = text; return ok; }
  bool GetUsbkeyState(long& v) override { return N(v); }
  bool esKeyGetCertCN(std::string& v) override { return T(v); }
  bool esgetErrorCode(long& v) override { return N(v); }
  bool esKeyUnblockUsrPin(std::string_view, std::string_view, long& r) override { ++key_changes; return N(r); }
  bool esKeyGetPinRetryCount(long& v) override { return N(v); }
  bool HWGetKeyType(const std::string&, long& v) override { return N(v); }
  bool GetCertDN(std::string& v) override { return T(v); }
  bool GetUsbkeySN(std::string& v) override { return T(v); }
  bool GetCertBeginDate(std::string& v) override { return T(v); }
  bool GetCertEndDate(std::string& v) override { return T(v); }
  bool GetCertSn(std::string& v) override { return T(v); }
  bool KeyInit(std::optional<std::string_view>, bool& done) override { ++key_changes; done = ok; return ok; }
  bool getCSP(std::string& v) override { return T(v); }
  bool GetDeviceCount(long& v) override { return N(v); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  InputControl control;
  control.ok = (data[0] & 1) != 0;
  std::memcpy(&control.number, data + 1, 4);
  const std::size_t split = size > 5 ? 5 + data[0] % (size - 5) : 5;
  control.text.assign(reinterpret_cast<const char*>(data) + 5, split - 5);
  const corvane::Caller caller{(data[0] & 2) != 0, "https://page.example"};
  const std::string reply = corvane::DispatchRequest(
      std::string_view(reinterpret_cast<const char*>(data) + split, size - split), control, caller);
  if (!caller.may_change_key && control.key_changes != 0) std::abort();
  if (reply.size() > corvane::kMaxReplyLength) std::abort();
  if (!reply.empty() && (reply.front() != '{' || reply.back() != '}')) std::abort();
  return 0;
}
