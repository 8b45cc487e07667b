#include "single_instance.h"

#include "cached_texts.h"

namespace brevant {

SingleInstance ClaimSingleInstance() {
  SingleInstance instance;
  instance.mutex.reset(CreateMutexA(nullptr, TRUE, kInstanceMutexName));
  instance.another_copy_runs = GetLastError() == ERROR_ALREADY_EXISTS;
  instance.bring_to_front_message = RegisterWindowMessageA(NameWithCustomerCode(kBringToFrontFormat).c_str());
  return instance;
}

}  // namespace brevant
