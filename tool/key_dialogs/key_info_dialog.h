// The key information dialog (168): a two-column table of facts about the
// computer and the key. The computer's texts are read from the registry
// once, when the main window starts, and handed in.
#pragma once
#include <string>

#include "device_api.h"
#include "dialog.h"
#include "key_dialog_host.h"

namespace brevant {

struct ComputerTexts {
  std::string operating_system;
  std::string browser;
};
// The operating system and browser version as this computer's registry
// gives them.
ComputerTexts ReadComputerTexts();

class CKeyInfoDialog : public fw::Dialog {
 public:
  CKeyInfoDialog(const tk::DeviceApi& api, std::string reader, ComputerTexts texts);

 protected:
  bool OnInitDialog() override;

 private:
  void FillKeyInfo();

  const tk::DeviceApi& api_;
  std::string reader_;
  ComputerTexts texts_;
};

// The main window's key information button for the key of `reader`;
// nothing when no key is in that reader.
void ShowKeyInfo(const tk::DeviceApi& api, KeyDialogHost& host, const std::string& reader,
                 const ComputerTexts& texts);

}  // namespace brevant
