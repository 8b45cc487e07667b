// What the dispatcher needs of the key control, in UTF-8 text (what WebSocket
// text frames carry). The bridge implements it over the COM control; tests
// implement it with a fake. Each call answers true when the control reported
// success (S_OK). PINs and passwords are handed over as views so that no copy
// outlives the request.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

class KeyControl {
 public:
  virtual ~KeyControl() = default;
  virtual bool GetUsbkeyState(long& state) = 0;
  virtual bool esKeyGetCertCN(std::string& name) = 0;
  virtual bool esgetErrorCode(long& code) = 0;
  virtual bool esKeyUnblockUsrPin(std::string_view admin_pin, std::string_view new_pin, long& retries) = 0;
  virtual bool esKeyGetPinRetryCount(long& count) = 0;
  virtual bool HWGetKeyType(const std::string& name, long& type) = 0;
  virtual bool GetCertDN(std::string& name) = 0;
  virtual bool GetUsbkeySN(std::string& serial) = 0;
  virtual bool GetCertBeginDate(std::string& date) = 0;
  virtual bool GetCertEndDate(std::string& date) = 0;
  virtual bool GetCertSn(std::string& serial) = 0;
  // `password`: nothing when the request carried none.
  virtual bool KeyInit(std::optional<std::string_view> password, bool& initialised) = 0;
  virtual bool getCSP(std::string& name) = 0;
  virtual bool GetDeviceCount(long& count) = 0;
};

}  // namespace corvane
