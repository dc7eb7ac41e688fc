#include <windows.h>

#include "replay/ClosingDialogs.h"

namespace dcthost::replay {
namespace {

LRESULT CALLBACK OnActivation(int code, WPARAM window, LPARAM detail) {
    if (code == HCBT_ACTIVATE) PostMessageW(reinterpret_cast<HWND>(window), WM_CLOSE, 0, 0);
    return CallNextHookEx(nullptr, code, window, detail);
}

}  // namespace

ClosingDialogs::ClosingDialogs() : hook_(SetWindowsHookExW(WH_CBT, &OnActivation, nullptr, GetCurrentThreadId())) {}

ClosingDialogs::~ClosingDialogs() {
    if (hook_) UnhookWindowsHookEx(static_cast<HHOOK>(hook_));
}

}  // namespace dcthost::replay
