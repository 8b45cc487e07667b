// The bank's sites in Chrome's and Edge's machine policy that lets pages
// reach this machine's loopback address ("LoopbackNetworkAllowedForUrls"
// under HKLM\SOFTWARE\Policies). The installer, elevated, runs
//   Corvane.exe --loopback-policy add      lists the sites of RVControl.ini
//   Corvane.exe --loopback-policy remove   takes out what "add" put there
// A policy an organisation sets as one value is left to it (exit code 3).
// What was added is kept under HKLM\SOFTWARE\Quillon\Brevant\LoopbackPolicy
// (per browser: the entries as written, and "CreatedKey", the first key of
// the policy's path that did not exist before), so that "remove" takes out
// exactly that and nothing an organisation put there.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace corvane {

// Lists exactly `origins` on our behalf in both browsers' policy. A browser
// whose policy key holds the policy as a single value (Chrome and Edge take
// a JSON list in a string there) is left to the organisation: nothing is
// listed for it, and what an earlier run listed is taken out, since a list
// key would replace the organisation's value. 0 when every change was made,
// 3 when a browser was left to the organisation (printed), 1 when a change
// failed (each failure printed), whatever else happened.
int AllowSitesInBrowsers(const std::vector<std::string>& origins);
// Takes out every entry still ours, and the keys created for them when they
// are empty. 0 or 1 as above.
int RevokeSitesInBrowsers();

// The exit code when the command line asks for a policy change, else nothing.
std::optional<int> RunLoopbackPolicyCommand(int argc, char** argv);

}  // namespace corvane
