// console_run FILE PROGRAM ARGS...: runs PROGRAM in this console and adds to
// FILE what the console was before and after it and how it ended:
//   before in 1f7 out 3 cp 437
//   after in 1f7 out 3 cp 437
//   exit c000013a
// (the console's input and screen modes and output code page, in hex and
// decimal; the program's exit status in hex). Ctrl-C ends the program, not
// this one. The Wine tests use it to see that the program leaves the console
// as it found it, whichever way it ends.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

DWORD mode_of(const wchar_t *name) {
  const HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  DWORD m = 0;
  if (h == INVALID_HANDLE_VALUE || !GetConsoleMode(h, &m)) m = 0xffffffff;
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  return m;
}

void note(FILE *f, const char *when) {
  std::fprintf(f, "%s in %lx out %lx cp %u\n", when, static_cast<unsigned long>(mode_of(L"CONIN$")),
               static_cast<unsigned long>(mode_of(L"CONOUT$")), GetConsoleOutputCP());
}

}  // namespace

int main() {
  int n = 0;
  wchar_t **args = CommandLineToArgvW(GetCommandLineW(), &n);
  if (!args || n < 3) return 2;
  FILE *f = _wfopen(args[1], L"ab");
  if (!f) return 2;
  std::wstring line;
  for (int i = 2; i < n; i++) line += std::wstring(i > 2 ? L" \"" : L"\"") + args[i] + L"\"";
  SetConsoleCtrlHandler([](DWORD) -> BOOL { return TRUE; }, TRUE);
  note(f, "before");
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) return 2;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(pi.hProcess, &status);
  note(f, "after");
  std::fprintf(f, "exit %lx\n", static_cast<unsigned long>(status));
  return std::fclose(f) == 0 ? 0 : 2;
}
