#include "driver/options.hpp"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "driver/console.hpp"
#include "format/failure.hpp"
#include "os/files.hpp"

namespace driver {

using format::Failure;
using format::strprintf;

int getnumber(const char *s) {
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
  const size_t dot = str.rfind('.');
  if (dot == std::string::npos || dot < os::NameStart(str)) return str + "." + ext;
  return str.substr(0, dot + 1) + ext;
}

namespace {

const char *const kUsage[] = {
    "\nUsage: reelwright [switches] file.tzx [output.voc|output.au]\n",
    "       Switches:  -voc      Create a .VOC file instead of audio output",
    "                  -au       Create a .au file instead of audio output",
    "                  -wav      Create a .wav file instead of audio output",
    "                  -freq n   Set sampling frequency to n Hz",
    "                  -info     Show extensive Info on TZX file",
    "                  -one      Show One line of Info per block (condensed form)",
    "                  -x        eXpand the Groups in one line mode",
    "                  -b    n   Start replay/conversion  at block n",
    "                  -e    n   End replay/conversion after block n",
    "                  -p        Wait after each page of Info",
    "                  -128      Work in 128k mode",
    "                  -exact    Play every pulse and pause at its exact time",
    "                  -invert   Invert the signal: high and low swapped",
    "                  -vol  n   Set the volume to n% of full scale (1 to 100)",
    "                  -16       Use 16-bit samples (.au, .wav and live)",
    "                  -speed n  Play the tape at n% of its speed (50 to 200)",
    "                  -tzx      Write a .tzx tape image (also named .cdt)",
    "                  -tap      Write a .tap tape image (the data blocks)",
    "                  -left     Decode the left channel of a stereo recording",
    "                  -right    Decode the right channel of a stereo recording",
    "                  -rec      Record from the line input into the file",
    "                  -2400     Play MSX CAS tapes at 2400 baud (1200 without)",
    "                  -basic    List the BASIC programs on the tape",
    "                  -hex      Show the bytes of each data block (-b/-e for a range)",
    "                  -screen f Write each loading screen as a picture, f.png",
    "                  -extract d Write every file on the tape into folder d",
};

[[noreturn]] void invalidoption(const char *s) { throw Failure(strprintf("Invalid Option %s !", s)); }

// The value after "-freq", "-b" or "-e": taken whatever it looks like.
int switch_value(int argc, char **argv, int &n) {
  if (n + 1 >= argc) throw Failure(strprintf("Switch %s needs a number after it !", argv[n]));
  return getnumber(argv[++n]);
}

// The name after "-screen" or "-extract".
std::string switch_name(int argc, char **argv, int &n) {
  if (n + 1 >= argc || argv[n + 1][0] == 0)
    throw Failure(strprintf("Switch %s needs a %s after it !", argv[n], argv[n][1] == 's' ? "file name" : "folder"));
  return argv[++n];
}

// The per cent after "-vol" or "-speed": a decimal number from lo to hi, and
// nothing else.
int percent(int argc, char **argv, int &n, int lo, int hi, const char *what) {
  const char *sw = argv[n];
  const int value = switch_value(argc, argv, n);
  const char *text = argv[n];
  bool digits = *text != 0;
  for (const char *c = text; *c; c++) digits = digits && std::isdigit(static_cast<unsigned char>(*c));
  if (!digits || value < lo || value > hi)
    throw Failure(strprintf("Invalid Option %s %s (the %s is %d to %d per cent) !", sw, text, what, lo, hi));
  return value;
}

struct Format {
  Output output;
  const char *ext, *name, *sw;  // default extension, what it holds, its switch
  const char *also = "";        // another extension that names it
};
const Format kFormats[] = {
    {Output::voc, "VOC", "VOC", "-voc"},
    {Output::au, "au", "AU", "-au"},
    {Output::wav, "wav", "WAV", "-wav"},
    {Output::tzx, "tzx", "a TZX tape image", "-tzx", "cdt"},
    {Output::tap, "tap", "a TAP tape image", "-tap"},
};
const Format &format_of(Output o) { return kFormats[static_cast<int>(o) - 1]; }

// A file name's extension, or nothing.
std::string Extension(const std::string &name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot < os::NameStart(name) ? std::string() : name.substr(dot + 1);
}

// The format a file name's extension names, if any.
std::optional<Output> format_by_name(const std::string &name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot < os::NameStart(name)) return std::nullopt;
  std::string ext = name.substr(dot + 1);
  for (char &c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const Format &f : kFormats)
    if (ext == f.sw + 1 || ext == f.also) return f.output;
  if (format::ImageNamed(ext)) return Output::image;
  return std::nullopt;
}

// -rec: the one file named is the one recorded into, a tape image or a sound
// file, as a switch or its name says.
Options recording(Options o, std::optional<Output> by_switch, int files, int freq) {
  if (o.mode != Mode::play) throw Failure("-rec records a tape: it lists none (no -info or -one) !");
  if (files != 1) throw Failure("With -rec, name only the file to record into!");
  o.output_name = o.input;
  o.input.clear();
  std::string ext = o.output_name.substr(std::min(o.output_name.size(), o.output_name.rfind('.') + 1));
  for (char &c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::optional<Output> named = ext == "csw" ? Output::csw : format_by_name(o.output_name);
  if (!by_switch && !named)
    throw Failure(strprintf("Cannot tell what to record into: name %s .tzx, .tap, .wav, .au, .voc or .csw !",
                            o.output_name.c_str()));
  o.output = by_switch.value_or(named.value_or(Output::live));
  if (IsTapeOutput(o.output)) o.image = format::ImageNamed(o.output == Output::image ? Extension(o.output_name) : format_of(o.output).ext);
  if (o.signal.wide && (o.output == Output::voc || o.output == Output::csw || IsTapeOutput(o.output)))
    throw Failure("Invalid Option -16 (only a WAV or AU recording holds 16-bit samples) !");
  o.freq = freq != 0 ? freq : 44100;
  if (o.freq < 8000 || o.freq > 192000)
    throw Failure(strprintf("Sampling frequency %d Hz is out of range for a recording (8000 to 192000 Hz) !", o.freq));
  return o;
}

}  // namespace

std::optional<Options> ParseCommandLine(int argc, char **argv, Console &console) {
  for (int n = 1; n < argc; n++) {
    if (std::strcmp(argv[n], "--version") == 0) {
      console.say("reelwright %s\n", REELWRIGHT_VERSION);
      return std::nullopt;
    }
  }
  console.say("\nSpoolkit - reelwright , TZX to VOC Converter and TZX Info v0.12b for Mac OS X\n");
  bool help = argc < 2;
  for (int n = 1; n < argc; n++) help = help || std::strcmp(argv[n], "-h") == 0 || std::strcmp(argv[n], "--help") == 0;
  if (help) {
    for (const char *l : kUsage) console.say("%s\n", l);
    return std::nullopt;
  }

  Options o;
  bool voc = false, au = false, wav = false;
  std::optional<Output> tape;  // -tzx or -tap
  // The signal's switches, each to be given once.
  unsigned given = 0;
  auto once = [&given](const char *a, unsigned bit) {
    if (given & bit) throw Failure(strprintf("Invalid Option %s (given twice) !", a));
    given |= bit;
  };
  int freq = 44100, nfreq = 0, files = 0;
  std::string second;
  for (int n = 1; n < argc; n++) {
    const char *a = argv[n];
    if (a[0] != '-') {
      files++;
      if (files == 1) o.input = a;
      else if (files == 2) second = a;
      else throw Failure("Too Many files on command line!");
      continue;
    }
    // The letter after '-' picks the candidate; the whole text must match it.
    auto is = [a](const char *sw) { return std::strcmp(a, sw) == 0; };
    switch (a[1]) {
      case 'v':
        if (is("-vol")) {
          once(a, 1);
          o.signal.volume = percent(argc, argv, n, 1, 100, "volume");
          break;
        }
        if (!is("-voc")) invalidoption(a);
        voc = true;
        freq = 30303;
        break;
      case 'r':
        if (is("-rec")) {
          o.record = true;
          break;
        }
        [[fallthrough]];
      case 'l':
        if (!is("-left") && !is("-right")) invalidoption(a);
        once(a, 32);
        o.channel = a[1] == 'r';
        break;
      case 't':
        if (!is("-tzx") && !is("-tap")) invalidoption(a);
        tape = is("-tzx") ? Output::tzx : Output::tap;
        break;
      case 'a':
        if (!is("-au")) invalidoption(a);
        au = true;
        break;
      case 'w':
        if (!is("-wav")) invalidoption(a);
        wav = true;
        break;
      case 'f':
        if (!is("-freq")) invalidoption(a);
        nfreq = switch_value(argc, argv, n);
        break;
      case 'i':
        if (is("-invert")) {
          once(a, 2);
          o.signal.invert = true;
          break;
        }
        if (!is("-info")) invalidoption(a);
        o.mode = Mode::info;
        break;
      case 'o':
        if (!is("-one")) invalidoption(a);
        o.mode = Mode::one;
        break;
      case 'x':
        if (!is("-x")) invalidoption(a);
        o.expand = true;
        break;
      case 'b':
        if (is("-basic")) {
          o.basic = true;
          break;
        }
        if (!is("-b")) invalidoption(a);
        o.starting = switch_value(argc, argv, n);
        break;
      case 'e':
        if (is("-extract")) {
          o.extract = switch_name(argc, argv, n);
          break;
        }
        if (is("-exact")) {
          once(a, 4);
          o.timing.exact = true;
          break;
        }
        if (!is("-e")) invalidoption(a);
        o.ending = switch_value(argc, argv, n);
        break;
      case 'p':
        if (!is("-p")) invalidoption(a);
        o.pages = true;
        break;
      case '1':
        if (is("-16")) {
          once(a, 8);
          o.signal.wide = true;
          break;
        }
        if (!is("-128")) invalidoption(a);
        o.mode128 = true;
        break;
      case '2':
        if (!is("-2400")) invalidoption(a);
        o.msx_2400 = true;
        break;
      case 'h':
        if (!is("-hex")) invalidoption(a);
        o.hex = true;
        break;
      case 's':
        if (is("-screen")) {
          o.screen = switch_name(argc, argv, n);
          break;
        }
        if (!is("-speed")) invalidoption(a);
        once(a, 16);
        o.timing.speed = percent(argc, argv, n, 50, 200, "speed");
        break;
      default:
        invalidoption(a);
    }
  }

  if (voc && o.mode != Mode::play) throw Failure("Both -voc AND -info (or -one) switches selected !");
  if (files == 0) throw Failure("No Files specified !");
  if (o.basic || o.hex || !o.screen.empty() || !o.extract.empty()) {
    if (o.mode != Mode::play || o.record || au || wav || tape || files > 1)
      throw Failure("-basic, -hex, -screen and -extract show what a tape holds: they go with no listing, sound file, "
                    "tape image or recording !");
    o.mode = Mode::contents;
    return o;
  }
  if (o.record) return recording(o, voc ? Output::voc : au ? Output::au : wav ? Output::wav : tape, files, nfreq);
  // VOC wins when several are asked for, then AU.
  o.output = voc ? Output::voc : au ? Output::au : wav ? Output::wav : tape.value_or(Output::live);
  if (files == 2 && o.mode == Mode::play) {
    // A sound file's name tells its format, unless a switch does.
    const std::optional<Output> named = format_by_name(second);
    if (o.output == Output::live) {
      if (!named)
        throw Failure(strprintf("Cannot tell the sound format of %s: name it .voc, .au or .wav, or use -voc, -au or "
                                "-wav !",
                                second.c_str()));
      o.output = *named;
      if (o.output == Output::voc) freq = 30303;
    } else if (named && *named != o.output && !IsTapeOutput(*named)) {
      const Format &f = format_of(o.output);
      console.warning(strprintf(IsTapeOutput(f.output) ? "%s will hold %s, as %s asks, not what its name says!"
                                                       : "%s will hold %s sound, as %s asks, not what its name says!",
                                second.c_str(), f.name, f.sw));
    }
  }
  if (o.signal.wide && o.output == Output::voc)
    throw Failure("Invalid Option -16 (a VOC file holds 8-bit samples only) !");
  if (files == 2) o.output_name = second;
  else if (o.output != Output::live) o.output_name = ChangeFileExtension(o.input, format_of(o.output).ext);
  if (IsTapeOutput(o.output)) o.image = format::ImageNamed(o.output == Output::image ? Extension(o.output_name) : format_of(o.output).ext);
  o.freq = nfreq != 0 ? nfreq : freq;
  if (o.freq < 1 || o.freq > kMaxFreq)
    throw Failure(strprintf("Sampling frequency %d Hz is out of range (1 to %d Hz) !", o.freq, kMaxFreq));
  return o;
}

}  // namespace driver
