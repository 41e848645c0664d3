/* A stand-in for the suite's main or network program under Windows. Its main window has the
 * window class of the program it was copied as ("zarn4.exe": TZARN4MF, "zarn4net.exe":
 * TfrmZarnNet); on WM_CLOSE it waits the number of milliseconds in "<own path>.delay", then ends. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static UINT close_delay_ms = 0;

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CLOSE:
      /* Linger in the message loop, so that the window is still found for the delay. */
      SetTimer(window, 1, close_delay_ms > 0 ? close_delay_ms : 1, NULL);
      return 0;
    case WM_TIMER:
      KillTimer(window, 1);
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

static void ReadDelay(const char* own_path) {
  char delay_path[MAX_PATH + 8];
  FILE* file;
  snprintf(delay_path, sizeof delay_path, "%s.delay", own_path);
  file = fopen(delay_path, "r");
  if (file != NULL) {
    unsigned value = 0;
    if (fscanf(file, "%u", &value) == 1) close_delay_ms = value;
    fclose(file);
  }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
  char own_path[MAX_PATH];
  const char* name;
  const char* window_class;
  WNDCLASSA window_class_record;
  MSG message;
  (void)previous;
  (void)command_line;
  (void)show;

  GetModuleFileNameA(NULL, own_path, MAX_PATH);
  name = strrchr(own_path, '\\');
  name = name != NULL ? name + 1 : own_path;
  window_class = _stricmp(name, "zarn4net.exe") == 0 ? "TfrmZarnNet" : "TZARN4MF";
  ReadDelay(own_path);

  memset(&window_class_record, 0, sizeof window_class_record);
  window_class_record.lpfnWndProc = WindowProc;
  window_class_record.hInstance = instance;
  window_class_record.lpszClassName = window_class;
  if (!RegisterClassA(&window_class_record)) return 1;
  if (CreateWindowA(window_class, name, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, NULL, NULL, instance,
                    NULL) == NULL) {
    return 1;
  }
  while (GetMessageA(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
