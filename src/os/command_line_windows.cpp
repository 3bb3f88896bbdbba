// Windows: the command line is taken in the UTF-16 form the system keeps and
// turned into UTF-8 (main's own arguments are in the ANSI code page, which
// loses a name in another script). Standard output and error are made binary,
// so that "\n" stays one byte in a file or a pipe, as on other systems; so is
// standard input, unless it is a console. Text shown on a console is read as
// UTF-8 while the program runs.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

#include "os/command_line.hpp"

namespace os {

namespace {

std::string narrow(const wchar_t *w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
  s.pop_back();  // the terminating zero
  return s;
}

// The console's code page is the console's, shared with the shell: it goes
// back at the end, also when Ctrl-C or the console's closing ends the program
// (the handler lets the system's own handling go on).
UINT console_code_page = 0;
void restore_code_page() { SetConsoleOutputCP(console_code_page); }
BOOL WINAPI restore_on_end(DWORD) {
  restore_code_page();
  return FALSE;
}

}  // namespace

CommandLine::CommandLine(int argc, char **argv) {
  int n = 0;
  if (wchar_t **w = CommandLineToArgvW(GetCommandLineW(), &n)) {
    for (int i = 0; i < n; i++) args_.push_back(narrow(w[i]));
    LocalFree(w);
  } else {
    args_.assign(argv, argv + argc);
  }
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  if (!_isatty(_fileno(stdin))) _setmode(_fileno(stdin), _O_BINARY);
  if (_isatty(_fileno(stdout))) {
    console_code_page = GetConsoleOutputCP();
    if (SetConsoleOutputCP(CP_UTF8)) {
      std::atexit(restore_code_page);
      SetConsoleCtrlHandler(restore_on_end, TRUE);
    }
  }
  point();
}

}  // namespace os
