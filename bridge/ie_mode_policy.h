// The bank's control pages in Microsoft Edge's IE mode: Edge hosts the key
// control only in IE mode, and shows a page there only when the machine's
// policy says so (HKLM\SOFTWARE\Policies\Microsoft\Edge,
// "InternetExplorerIntegrationLevel" 1 and "InternetExplorerIntegrationSiteList",
// the address of an Enterprise Mode site list). The installer, elevated, runs
//   Corvane.exe --ie-mode-policy add      the pages of IDS_IEMODE_PAGES
//   Corvane.exe --ie-mode-policy remove   takes back what "add" wrote
// The list goes into IEModeSites.xml beside Corvane.exe. What was written is
// kept under HKLM\SOFTWARE\Quillon\Brevant\IEModePolicy (both values as
// written, "CreatedKey", the first key of Edge's policy path that did not
// exist before, and "SiteListVersion"), so that "remove" takes out exactly
// that. An organisation that set either value itself keeps its IE mode:
// the bank's list is then not applied, and nothing of the pair is touched.
#pragma once
#include <optional>
#include <string>

namespace corvane {

// `folder`: where RVControl.ini is read and IEModeSites.xml is written
// (Corvane.exe's own folder for the command). 0 when the pages are listed,
// when the list is empty, or when the organisation's policy is kept; 1 when
// a change failed (each failure printed).
int ApplyIeModeSiteList(const std::wstring& folder);
// Takes back what ApplyIeModeSiteList wrote and deletes the list's file. 0
// or 1 as above.
int RevokeIeModeSiteList(const std::wstring& folder);

// The exit code when the command line asks for this change, else nothing.
std::optional<int> RunIeModePolicyCommand(int argc, char** argv);

}  // namespace corvane
