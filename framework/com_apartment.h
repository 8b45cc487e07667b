// COM for the calling thread while the object lives. A thread that already
// has COM (in whichever model) keeps it: only a successful initialisation
// is undone.
#pragma once
#include <windows.h>
#include <objbase.h>

namespace fw {

class ComApartment {
 public:
  ComApartment() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (initialised_) CoUninitialize();
  }

 private:
  bool initialised_;
};

}  // namespace fw
