// Process-wide state of the control DLL, shared by every control object of
// the process: the device library, the last error value and the PIN the PIN
// dialog captured. Apartment-threaded objects on one thread use it; it takes
// no lock.
#pragma once
#include <string>

#include "device_api.h"

namespace kestrine {

// Error values of esgetErrorCode.
constexpr long kErrorLibraryNotLoaded = 1001;
constexpr long kErrorKeyNotOpened = 1002;
// A method that changes the key or spends its tries, refused to a page that
// is not one of the bank's sites.
constexpr long kErrorPageNotAllowed = 1003;
// Not an error value: what the PIN check gives a script for a PIN that has no
// tries left (or a key that reported none), so that no failure reads as 0.
constexpr long kPinStateLocked = 1004;

struct ControlState {
  tk::DeviceApi api;
  long last_error = 0;       // written on failures only, never reset
  std::string pending_pin;   // from the PIN dialog; emptied after each verification
  bool loaded() const { return api.loaded(); }
};

ControlState& State();

}  // namespace kestrine
