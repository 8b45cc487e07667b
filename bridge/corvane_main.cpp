// Corvane.exe: lets bank pages reach the key control over a WebSocket on the
// loopback address. The control lives on this (main) thread's apartment;
// connection threads hand each request to it and wait for the reply.
#include <windows.h>
#include <objbase.h>
#include <wrl/client.h>

#include <optional>
#include <string>
#include <utility>

#include "browser_policy.h"
#include "com_apartment.h"
#include "com_key_control.h"
#include "console.h"
#include "dispatcher.h"
#include "ie_mode_policy.h"
#include "listener.h"
#include "resource.h"
#include "text.h"
#include "thread_caller.h"
#include "trusted_sites.h"
#include "window.h"

namespace {

// One hidden top-level window (never shown) lets the bridge be asked to end
// as any windowed program is: taskkill without /F and a logoff talk to a
// process through its top-level windows. The message loop also runs the
// connection threads' requests (see ThreadCaller).
class HiddenMainWindow : public fw::Window {
 public:
  bool Create(HINSTANCE instance) {
    wchar_t class_name[100] = {};
    LoadStringW(instance, IDC_CORVANE, class_name, 100);
    if (!fw::RegisterWindowClass(class_name, CS_HREDRAW | CS_VREDRAW, LoadCursorA(nullptr, IDC_ARROW),
                                 reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1),
                                 LoadIconW(instance, MAKEINTRESOURCEW(IDI_CORVANE))))
      return false;
    wchar_t title[100] = {};
    LoadStringW(instance, IDS_APP_TITLE, title, 100);
    // Without WS_VISIBLE and never passed to ShowWindow: nothing shows. The
    // window owns its menu and destroys it with itself.
    const HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDC_CORVANE));
    if (fw::Window::Create(class_name, fw::WideToAnsi(title).c_str(), WS_OVERLAPPEDWINDOW, 0, RECT{}, nullptr, menu))
      return true;
    if (menu != nullptr) DestroyMenu(menu);
    return false;
  }

 protected:
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override {
    switch (message) {
      case WM_CLOSE:
        PostQuitMessage(0);
        result = 0;
        return true;
      case WM_ENDSESSION:
        if (wparam) PostQuitMessage(0);
        result = 0;
        return true;
      default:
        return fw::Window::OnMessage(message, wparam, lparam, result);
    }
  }
};

int RunMessageLoop(HINSTANCE instance) {
  // Without the window the bridge still serves; only a polite end is lost.
  HiddenMainWindow window;
  if (!window.Create(instance)) corvane::WriteOut("no main window: only a forced end stops the bridge\n");
  const HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_CORVANE));
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int main(int argc, char** argv) {
  corvane::UseCallersConsoleWithoutOutput();
  // The installer's commands: no control, no port.
  if (const std::optional<int> exit_code = corvane::RunLoopbackPolicyCommand(argc, argv)) return *exit_code;
  if (const std::optional<int> exit_code = corvane::RunIeModePolicyCommand(argc, argv)) return *exit_code;

  // COM for the main thread, for the process's lifetime.
  const fw::ComApartment apartment;
  Microsoft::WRL::ComPtr<IKestrine> created;
  const HRESULT hr = CoCreateInstance(CLSID_Kestrine, nullptr, CLSCTX_ALL, IID_IKestrine,
                                      reinterpret_cast<void**>(created.GetAddressOf()));
  if (FAILED(hr) || !created) {
    char message[160];
    wsprintfA(message, "Kestrine control not available (0x%08lX): register Kestrine.dll first\n",
              static_cast<unsigned long>(hr));
    corvane::WriteOut(message);
    return 1;
  }
  corvane::ComKeyControl control(std::move(created));

  // Everything a connection needs is ready before the port opens: a client
  // that connects as soon as it can (a page reloaded while the bridge starts,
  // a test) is served at once, not after the first window of the process
  // has been made, which can take seconds on a busy desktop.
  const fw::ThreadCaller main_thread;
  if (!main_thread.valid()) return 1;
  const corvane::TrustedOrigins trusted = corvane::LoadTrustedOrigins();

  const corvane::WinsockSession sockets;
  if (!sockets.started()) return 1;
  const corvane::ScopedSocket listener = corvane::OpenListener(corvane::ListenPortFromEnvironment());
  if (!listener) return 1;
  corvane::TraceTrustedOrigins(trusted);
  const corvane::TraceFn trace = [](const std::string& line) { corvane::WriteOut(line); };
  const corvane::RequestHandler dispatch = [&](const std::string& request, const corvane::Peer& peer) {
    const corvane::Caller caller{trusted.MayChangeTheKey(peer), peer.origin};
    std::string reply;
    main_thread.Call([&] { reply = corvane::DispatchRequest(request, control, caller, trace); });
    return reply;
  };
  if (!corvane::StartAcceptThread(listener.get(), dispatch)) return 1;
  const int exit_code = RunMessageLoop(GetModuleHandleW(nullptr));
  // Once the loop is told to quit (WM_CLOSE, the session's end), the
  // connection threads still hold references to the objects above: end the
  // process (and them) before any of those objects is destroyed.
  ExitProcess(static_cast<UINT>(exit_code));
}
