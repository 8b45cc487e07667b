// The bank's sites in Chrome's and Edge's machine policy that lets pages
// reach this machine's loopback address ("LoopbackNetworkAllowedForUrls"
// under HKLM\SOFTWARE\Policies). The installer, elevated, runs
//   Corvane.exe --loopback-policy add      lists the sites of RVControl.ini
//   Corvane.exe --loopback-policy remove   takes out what "add" put there
// What was added is kept under HKLM\SOFTWARE\Quillon\Brevant\LoopbackPolicy
// (per browser: the entries as written, and "CreatedKey", the first key of
// the policy's path that did not exist before), so that "remove" takes out
// exactly that and nothing an organisation put there.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace corvane {

// Lists exactly `origins` on our behalf in both browsers' policy. 0 when
// every change was made, 1 otherwise (each failure printed).
int AllowSitesInBrowsers(const std::vector<std::string>& origins);
// Takes out every entry still ours, and the keys created for them when they
// are empty. 0 or 1 as above.
int RevokeSitesInBrowsers();

// The exit code when the command line asks for a policy change, else nothing.
std::optional<int> RunLoopbackPolicyCommand(int argc, char** argv);

}  // namespace corvane
