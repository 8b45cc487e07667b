#include "dispatcher.h"

#include <malloc.h>

#include <cstdlib>
#include <memory>

#include "cJSON.h"
#include "secret_buffer.h"

namespace corvane {
namespace {

using tk::SecureWipe;

using Json = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

// Requests carry PINs and passwords, in the parsed tree and the strings cut
// from it, on success and on a failed parse alike: every block cJSON frees is
// wiped first. Blocks come from malloc, so the wiping
// free also serves blocks allocated before it was installed.
std::size_t BlockSize(void* block) {
#ifdef _WIN32
  return _msize(block);
#else
  return malloc_usable_size(block);
#endif
}
void WipingFree(void* block) {
  if (block != nullptr) SecureWipe(block, BlockSize(block));
  std::free(block);
}
void InstallWipingFree() {
  static const bool installed = [] {
    cJSON_Hooks hooks = {std::malloc, WipingFree};
    cJSON_InitHooks(&hooks);
    return true;
  }();
  (void)installed;
}

constexpr char kParamIsNull[] = "Param  is null";

// A member looked up without regard to case: absent, a string, or something
// else (which no operation accepts).
struct Member {
  bool present = false;
  const char* text = nullptr;  // set when it is a string
  bool usable() const { return !present || text != nullptr; }
};

Member Find(const cJSON* request, const char* name) {
  const cJSON* item = cJSON_GetObjectItem(request, name);
  Member member;
  member.present = item != nullptr;
  if (cJSON_IsString(item)) member.text = item->valuestring;
  return member;
}

std::string Print(const Json& reply) {
  char* printed = cJSON_Print(reply.get());
  if (printed == nullptr) return {};
  std::string text(printed);
  cJSON_free(printed);
  return text.size() <= kMaxReplyLength ? text : std::string();
}

Json Reply(const char* fun_name) {
  Json reply(cJSON_CreateObject(), cJSON_Delete);
  if (reply) cJSON_AddStringToObject(reply.get(), "FunName", fun_name);
  return reply;
}

std::string NumberReply(const char* fun_name, const char* member, long value) {
  Json reply = Reply(fun_name);
  if (!reply || !cJSON_AddNumberToObject(reply.get(), member, static_cast<double>(value))) return {};
  return Print(reply);
}

std::string TextReply(const char* fun_name, const char* member, const std::string& value) {
  Json reply = Reply(fun_name);
  if (!reply || !cJSON_AddStringToObject(reply.get(), member, value.c_str())) return {};
  return Print(reply);
}

std::string Unblock(const cJSON* request, KeyControl& control) {
  const Member admin = Find(request, "SOpintext"), user = Find(request, "NewUserpintext");
  if (!admin.usable() || !user.usable()) return {};
  if (!admin.present || !user.present) {
    // Which member is missing decides the order of the two notices.
    Json reply = Reply("HCOMunlockpin");
    const char* first = admin.present ? "NewUserpintext" : "SOpintext";
    const char* second = admin.present ? "SOpintext" : "NewUserpintext";
    if (!reply || !cJSON_AddStringToObject(reply.get(), first, kParamIsNull) ||
        !cJSON_AddStringToObject(reply.get(), second, kParamIsNull))
      return {};
    return Print(reply);
  }
  long retries = 0;  // the control may fail before it writes the count
  control.esKeyUnblockUsrPin(admin.text, user.text, retries);
  return TextReply("HCOMunlockpin", "UnlockpinNum", std::to_string(retries));
}

// One text-valued operation: the control call and the reply's names.
using TextCall = bool (KeyControl::*)(std::string&);
using NumberCall = bool (KeyControl::*)(long&);

std::string Text(KeyControl& control, TextCall call, const char* fun_name, const char* member) {
  std::string value;
  return (control.*call)(value) ? TextReply(fun_name, member, value) : std::string();
}

std::string Number(KeyControl& control, NumberCall call, const char* fun_name, const char* member) {
  long value = 0;
  return (control.*call)(value) ? NumberReply(fun_name, member, value) : std::string();
}

std::string Run(const std::string& name, const cJSON* request, KeyControl& control) {
  if (name == "GetUsbkeyState") return Number(control, &KeyControl::GetUsbkeyState, "GetUsbkeyState", "UsbkeyState");
  if (name == "esKeyGetCertCN") return Text(control, &KeyControl::esKeyGetCertCN, "esKeyGetCertCN", "CertCN");
  if (name == "esgetErrorCode") return Number(control, &KeyControl::esgetErrorCode, "esgetErrorCode", "ErrorCode");
  if (name == "esKeyUnblockUsrPin") return Unblock(request, control);
  if (name == "esKeyGetPinRetryCount")
    return Number(control, &KeyControl::esKeyGetPinRetryCount, "esKeyGetPinRetryCount", "RetryCount");
  if (name == "HWGetKeyType") {
    std::string cert_name;
    control.esKeyGetCertCN(cert_name);  // only the second call's result counts
    long type = 0;
    return control.HWGetKeyType(cert_name, type) ? NumberReply("HWGetKeyType", "KeyType", type) : std::string();
  }
  if (name == "GetCertDN") return Text(control, &KeyControl::GetCertDN, "GetCertDN", "CertDN");
  if (name == "GetUsbkeySN") return Text(control, &KeyControl::GetUsbkeySN, "GetUsbkeySN", "UsbkeySN");
  if (name == "GetCertBeginDate")
    return Text(control, &KeyControl::GetCertBeginDate, "GetCertBeginDate", "CertBeginDate");
  if (name == "GetCertEndDate") return Text(control, &KeyControl::GetCertEndDate, "GetCertEndDate", "CertEndDate");
  if (name == "GetCertSn") return Text(control, &KeyControl::GetCertSn, "GetCertSn", "CertSn");
  if (name == "KeyInit") {
    const Member param = Find(request, "Param");
    if (!param.usable()) return {};
    bool initialised = false;
    const std::optional<std::string_view> password =
        param.present ? std::optional<std::string_view>(param.text) : std::nullopt;
    if (!control.KeyInit(password, initialised)) return {};
    Json reply = Reply("KeyInit");
    if (!reply || !cJSON_AddBoolToObject(reply.get(), "Init", initialised)) return {};
    return Print(reply);
  }
  if (name == "getCSP") return Text(control, &KeyControl::getCSP, "getCSP", "CSPName");
  if (name == "GetDeviceCount") return Number(control, &KeyControl::GetDeviceCount, "GetDeviceCount", "Count");
  return {};
}

std::string RefusalTrace(const std::string& name, const Caller& caller) {
  const std::string page = caller.origin.empty() ? "a page of unknown origin" : "page " + caller.origin;
  return "refused " + name + " to " + page + ": not one of the bank's sites\n";
}

// The operations that change the key or can lock it.
bool ChangesTheKey(std::string_view operation) { return operation == "KeyInit" || operation == "esKeyUnblockUsrPin"; }

}  // namespace

std::string DispatchRequest(std::string_view request, KeyControl& control, const Caller& caller,
                            const TraceFn& trace) {
  InstallWipingFree();
  const Json parsed(cJSON_ParseWithLength(request.data(), request.size()), cJSON_Delete);
  if (!parsed || !cJSON_IsObject(parsed.get())) return {};
  const Member fun_name = Find(parsed.get(), "FunName");
  if (fun_name.text == nullptr) return {};
  if (trace) trace(std::string("obj_1 : ") + fun_name.text + "\n");
  if (ChangesTheKey(fun_name.text) && !caller.may_change_key) {
    if (trace) trace(RefusalTrace(fun_name.text, caller));
    return {};
  }
  return Run(fun_name.text, parsed.get(), control);
}

}  // namespace corvane
