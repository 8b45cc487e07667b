// Brings a new master RVControl.ini into a user's copy of it (the install
// run's refresh): what the user changed stays, everything else follows the
// master. Files are bytes in code page 936; names and values are compared as
// the profile functions read them.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace brevant {

// The new text of the user's copy. `baseline` is the master the copy was
// last made or refreshed from; nothing for copies made before baselines were
// kept. For each key of `master`:
// - missing from `copy`: the master's value;
// - in `copy` with the value `baseline` holds (the user left it): the
//   master's value;
// - otherwise (the user changed it, or without a baseline differs from the
//   master): the copy's value.
// The result has the master's lines (comments, order) with the kept values
// put in; keys only in the copy follow the last key of their section, a
// section only in the copy comes at the end.
std::string MergeSettingsCopy(std::string_view master, std::string_view copy,
                              std::optional<std::string_view> baseline);

}  // namespace brevant
