// A window standing in for a Java canvas, for the Windows tests of the binding.
#pragma once

#include <windows.h>

#include <thread>

// The canvas lives on a thread of its own that answers its messages, as the
// AWT toolkit thread does for a Java canvas: a renderer drawing from the
// streaming thread never waits on a thread that is busy stopping the graph.
class CanvasThread {
 public:
  explicit CanvasThread(const char* className) {
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, ready, className] {
      WNDCLASSA wc{};
      wc.lpfnWndProc = DefWindowProcA;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = className;
      wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
      RegisterClassA(&wc);
      window_ = CreateWindowA(className, "camgrip canvas", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 340, 280,
                              nullptr, nullptr, wc.hInstance, nullptr);
      threadId_ = GetCurrentThreadId();
      SetEvent(ready);
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
      DestroyWindow(window_);
    });
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
  }
  ~CanvasThread() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
  HWND window() const { return window_; }

 private:
  std::thread thread_;
  HWND window_ = nullptr;
  DWORD threadId_ = 0;
};
