// The terminal the program runs at, where it has one: keys one at a time, and
// the width of the line standard error writes on. One file per system.
//
// The terminal's settings are changed only while keys are read one at a time,
// and come back on every way out: the end of the run, an error, and the
// signals that end or stop the program (a stopped program that goes on takes
// its mode again).
#pragma once

#include <memory>
#include <string>

#include "driver/keys.hpp"

namespace driver::terminal {

// Keys from standard input when it is a terminal the program has in the
// foreground: one at a time, without Enter and without echo. Nothing when
// standard input is no such terminal.
std::unique_ptr<Keyboard> OpenKeys();

// Whether standard error writes on a terminal, and that terminal's width in
// columns (80 when it does not say).
bool ErrorIsTerminal();
int ErrorWidth();

// The bytes that draw `line` (at most width - 1 columns of a terminal
// `width` columns wide) as the status line, over the one drawn before: from
// the start of the line, and nothing of a longer line left after it. An empty
// line clears the status line.
std::string StatusLineBytes(const std::string &line, int width);

// The status line stands on the terminal's last line: a signal that ends the
// program clears it before the program goes.
void StatusLineShown(bool shown);

// While a recording runs, the first signal that would end the program
// (SIGINT, SIGTERM, SIGHUP, SIGQUIT; Ctrl-C, Ctrl-Break, the console
// closing) only asks it to end, so that it can finish its file; a second one
// ends it. EndAsked() tells whether one has come.
void EndGently(bool on);
bool EndAsked();

}  // namespace driver::terminal
