// Console text output and single-key input.
//
// All program text goes through say()/say_text() into `console.out` and every
// key is read from `console.in`, so a whole run can be driven in-process with
// its text captured or discarded and its keys taken from memory.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

struct Console {
  FILE *out = stdout;
  FILE *in = stdin;
  unsigned long keys_read = 0;  // keys read so far in this run
};
inline Console console;

// printf-style output to the console.
void say(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
// Output of a finished text, unchanged (it may hold '%' or NUL-free tape text).
void say_text(std::string_view s);
// printf into a std::string of whatever length the text needs.
std::string strprintf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// Reads one character from the key input. The console output is flushed
// first so that a prompt is visible. End of input reads as a line end: it is
// never ESC, so a run without keys goes on.
char read_key();

constexpr char ESC = 27;
