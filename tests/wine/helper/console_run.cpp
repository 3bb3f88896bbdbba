// console_run FILE PROGRAM ARGS...: runs PROGRAM in this console and writes to
// FILE the console before it and after it ("in 1f7 out 3 cp 437": the input
// and screen modes and the output code page), then the program's exit status
// in hex. Ctrl-C ends the program, not this one.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

DWORD mode_of(const wchar_t *name) {
  const HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  DWORD m = 0xffffffff;
  if (h != INVALID_HANDLE_VALUE) GetConsoleMode(h, &m), CloseHandle(h);
  return m;
}

void note(FILE *f) {
  std::fprintf(f, "in %lx out %lx cp %u\n", mode_of(L"CONIN$"), mode_of(L"CONOUT$"), GetConsoleOutputCP());
}

}  // namespace

int main() {
  int n = 0;
  wchar_t **args = CommandLineToArgvW(GetCommandLineW(), &n);
  FILE *f = args && n >= 3 ? _wfopen(args[1], L"wb") : nullptr;
  if (!f) return 2;
  std::wstring line;
  for (int i = 2; i < n; i++) line += std::wstring(i > 2 ? L" \"" : L"\"") + args[i] + L"\"";
  SetConsoleCtrlHandler([](DWORD) -> BOOL { return TRUE; }, TRUE);
  note(f);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  DWORD status = 0xffffffff;
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
    WaitForSingleObject(pi.hProcess, INFINITE), GetExitCodeProcess(pi.hProcess, &status);
  note(f);
  std::fprintf(f, "%lx\n", status);
  return std::fclose(f) == 0 ? 0 : 2;
}
