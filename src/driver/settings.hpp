// Run settings, the command line and the fatal-error routine.
#pragma once

#include <cstdint>
#include <string>

// The process-wide run settings, with the values they hold at start-up.
struct RunSettings {
  int info = 0;        // 0 replay or conversion, 1 "-info", 2 "-one"
  int voc = 0;         // convert to a VOC file
  int au = 0;          // convert to an AU file (VOC wins when both are set)
  int freq = 44100;    // output sampling rate in Hz
  int nfreq = 0;       // rate asked for with "-freq"; 0 = none
  int starting = 1;    // first block to process, from 1
  int ending = 0;      // last block to process, from 1; 0 = the last one
  int pages = 0;       // stop after every screen page of listing text
  int expand = 0;      // show the blocks inside groups
  int mode128 = 0;     // replay for a 128k machine
  int draw = 1;        // progress and one-line texts are printed while set
  int line = 3;        // text lines already on the current screen page
  int cpc = 0;         // the tape declared an Amstrad CPC
  int sam = 0;         // the tape declared a Sam Coupe
  int sbbuflen = 1024; // half the level run played before a live key wait
  int files = 0;       // file names seen on the command line
  std::string finp;    // input tape image
  std::string fout;    // output sound file
  char k = 0;          // the last key read

  // Most samples a conversion may write: the AU header counts them in 32 bits.
  // In-process harnesses lower it to keep runs short.
  uint64_t max_samples = 0xFFFFFFFFull;
};
inline RunSettings settings;

// Highest sampling rate accepted: one sample per T-state of the 3.5 MHz clock.
// It keeps every pulse and pause sample count well inside an int.
constexpr int kMaxFreq = 3500000;

// Thrown by Error() and caught where the run is driven: the run ends with
// exit status 1 after the output file is finished.
struct RunAborted {
  int status;
};

// Prints "\n-- Error: <text>\n" and ends the run with exit status 1.
[[noreturn]] void Error(const std::string &errstr);
[[noreturn]] void invalidoption(const char *s);
int getnumber(const char *s);
std::string ChangeFileExtension(const std::string &str, const char *ext);

// Banner, usage and switches. Returns false when there was no argument at all
// (the usage text has then been printed and the run is complete).
bool StartUp(int argc, char **argv);
