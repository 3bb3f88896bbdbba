#include "driver/settings.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "driver/console.hpp"

void Error(const std::string &errstr) {
  say("\n-- Error: %s\n", errstr.c_str());
  throw RunAborted{1};
}

void invalidoption(const char *s) { Error(strprintf("Invalid Option %s !", s)); }

int getnumber(const char *s) {
  // One decimal integer: leading blanks and a sign are accepted, reading stops
  // at the first character that cannot continue it; no number at all gives 0.
  errno = 0;
  char *end = nullptr;
  long v = std::strtol(s, &end, 10);
  if (end == s) return 0;
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

std::string ChangeFileExtension(const std::string &str, const char *ext) {
  // Only the file-name part counts: a '.' in a directory name is no extension.
  size_t name = str.rfind('/');
  name = (name == std::string::npos) ? 0 : name + 1;
  size_t dot = str.rfind('.');
  if (dot == std::string::npos || dot < name) return str + "." + ext;
  return str.substr(0, dot + 1) + ext;
}

namespace {

const char *const kUsage[] = {
    "\nUsage: reelwright [switches] file.tzx [output.voc|output.au]\n",
    "       Switches:  -voc      Create a .VOC file instead of audio output",
    "                  -au       Create a .au file instead of audio output",
    "                  -freq n   Set sampling frequency to n Hz",
    "                  -info     Show extensive Info on TZX file",
    "                  -one      Show One line of Info per block (condensed form)",
    "                  -x        eXpand the Groups in one line mode",
    "                  -b    n   Start replay/conversion  at block n",
    "                  -e    n   End replay/conversion after block n",
    "                  -p        Wait after each page of Info",
    "                  -128      Work in 128k mode",
};

// The value after "-freq", "-b" or "-e": taken whatever it looks like.
int switch_value(int argc, char **argv, int &n) {
  if (n + 1 >= argc) Error(strprintf("Switch %s needs a number after it !", argv[n]));
  return getnumber(argv[++n]);
}

}  // namespace

bool StartUp(int argc, char **argv) {
  say("\nSpoolkit - reelwright , TZX to VOC Converter and TZX Info v0.12b for Mac OS X\n");
  if (argc < 2) {
    for (const char *l : kUsage) say("%s\n", l);
    return false;
  }

  for (int n = 1; n < argc; n++) {
    const char *a = argv[n];
    if (a[0] != '-') {
      settings.files++;
      if (settings.files == 1) settings.finp = a;
      else if (settings.files == 2) settings.fout = a;
      else Error("Too Many files on command line!");
      continue;
    }
    // The letter after '-' picks the candidate; the whole text must match it.
    auto is = [a](const char *sw) { return std::strcmp(a, sw) == 0; };
    switch (a[1]) {
      case 'v':
        if (!is("-voc")) invalidoption(a);
        settings.voc = 1;
        settings.freq = 30303;
        break;
      case 'a':
        if (!is("-au")) invalidoption(a);
        settings.au = 1;
        break;
      case 'f':
        if (!is("-freq")) invalidoption(a);
        settings.nfreq = switch_value(argc, argv, n);
        break;
      case 'i':
        if (!is("-info")) invalidoption(a);
        settings.info = 1;
        break;
      case 'o':
        if (!is("-one")) invalidoption(a);
        settings.info = 2;
        break;
      case 'x':
        if (!is("-x")) invalidoption(a);
        settings.expand = 1;
        break;
      case 'b':
        if (!is("-b")) invalidoption(a);
        settings.starting = switch_value(argc, argv, n);
        break;
      case 'e':
        if (!is("-e")) invalidoption(a);
        settings.ending = switch_value(argc, argv, n);
        break;
      case 'p':
        if (!is("-p")) invalidoption(a);
        settings.pages = 1;
        break;
      case '1':
        if (!is("-128")) invalidoption(a);
        settings.mode128 = 1;
        break;
      default:
        invalidoption(a);
    }
  }

  if (settings.voc && settings.info) Error("Both -voc AND -info (or -one) switches selected !");
  if (settings.files == 0) Error("No Files specified !");
  if (settings.files == 1) {
    if (settings.voc) settings.fout = ChangeFileExtension(settings.finp, "VOC");
    else if (settings.au) settings.fout = ChangeFileExtension(settings.finp, "au");
  }
  if (settings.nfreq != 0) settings.freq = settings.nfreq;
  if (settings.freq < 1 || settings.freq > kMaxFreq)
    Error(strprintf("Sampling frequency %d Hz is out of range (1 to %d Hz) !", settings.freq, kMaxFreq));
  return true;
}
