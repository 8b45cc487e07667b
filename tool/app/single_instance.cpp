#include "single_instance.h"

#include "main_window_messages.h"

namespace brevant {

SingleInstance ClaimSingleInstance() {
  SingleInstance instance;
  instance.mutex.reset(CreateMutexA(nullptr, TRUE, kInstanceMutexName));
  instance.another_copy_runs = GetLastError() == ERROR_ALREADY_EXISTS;
  instance.bring_to_front_message = BringToFrontMessage();
  return instance;
}

}  // namespace brevant
