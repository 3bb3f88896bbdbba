// One-line texts: "-one" and the progress lines of replay and conversion.
#include <climits>
#include <variant>

#include "format/failure.hpp"
#include "listing/listing.hpp"
#include "listing/naming.hpp"
#include "listing/others.hpp"
#include "listing/text.hpp"

namespace listing {

namespace {

using namespace format;
using format::strprintf;

int saturate(double v) {
  if (!(v < 2147483647.0)) return INT_MAX;
  return static_cast<int>(v);
}

struct OneLiner {
  const Place &at;

  // The pause field of a data block: none for the last block of the range.
  std::string pause(uint16_t ms) const { return at.last ? std::string() : strprintf(",Pause: %2.3fs", ms / 1000.0); }
  std::string data(const std::string &name, const std::string &speed, Bytes data, uint16_t ms) const {
    return strprintf("%s  Length:%6d  %s %s\n", name.c_str(), static_cast<int>(data.size()), speed.c_str(),
                     pause(ms).c_str());
  }
  std::string c64(const C64Name &n, Bytes data, uint16_t ms) const {
    return strprintf(" %s Length:%6d  %s%s\n", n.name.c_str(), static_cast<int>(data.size()), n.kind.c_str(),
                     pause(ms).c_str());
  }
  static std::string speed(unsigned bit1) { return strprintf(" Speed: %3d%%", Speed(bit1)); }

  std::string operator()(const StandardData &b) const {
    return data(Identify(b.data, Form::one_line, at.machine), "Normal Speed", b.data, b.pause);
  }
  std::string operator()(const TurboData &b) const {
    return data(Identify(b.data, Form::one_line, at.machine), speed(b.bit1), b.data, b.pause);
  }
  std::string operator()(const PureData &b) const {
    return data("    Pure Data           ", speed(b.bit1), b.data, b.pause);
  }
  std::string operator()(const C64RomData &b) const { return c64(IdentifyC64ROM(b, Form::one_line), b.data, b.pause); }
  std::string operator()(const C64TurboData &b) const {
    return c64(IdentifyC64Turbo(b, Form::one_line), b.data, b.pause);
  }
  std::string operator()(const PureTone &b) const {
    return strprintf("    Pure Tone             Length: %5d\n", b.count);
  }
  std::string operator()(const PulseSequence &b) const {
    return strprintf("    Sequence of Pulses    Length: %5d\n", b.count);
  }
  std::string operator()(const DirectRecording &b) const {
    return strprintf("    Direct Recording      Length:%6d  Original Freq.: %5d Hz\n", static_cast<int>(b.data.size()),
                     OriginalFrequency(b.tstates_per_sample));
  }
  std::string operator()(const CswRecording &b) const {
    const char *kind = b.compression == 1 ? "RLE" : b.compression == 2 ? "Z-RLE" : "unknown compression";
    return strprintf("    CSW Recording         Length:%6d  Original Freq.: %5u Hz, %s\n", static_cast<int>(b.stream.size()),
                     b.rate, kind);
  }
  std::string operator()(const GeneralizedData &b) const {
    return strprintf("    Generalized Data      Length:%6d  Symbols:%8u %s\n", static_cast<int>(b.data_stream.size()),
                     b.data_symbols, pause(b.pause).c_str());
  }
  std::string operator()(const SignalLevel &b) const {
    return b.level > 1 ? strprintf("    Set Signal Level: %u (no level)\n", b.level)
                       : strprintf("    Set Signal Level: %s\n", b.level ? "high" : "low");
  }
  std::string operator()(const Pause &b) const {
    return strprintf("    Pause                 Length: %2.3fs\n", b.ms / 1000.0);
  }
  std::string operator()(const GroupStart &b) const { return "    Group: " + CopyString(b.name) + "\n"; }
  std::string operator()(const GroupEnd &) const { return "    Group End\n"; }
  std::string operator()(const Description &b) const { return "    Description: " + CopyString(b.text) + "\n"; }
  std::string operator()(const Message &b) const { return "    Message: " + CopyString(b.text) + "\n"; }
  std::string operator()(const ArchiveInfo &b) const {
    // The first string decides; a block without strings is "Archive Info".
    if (b.count > 0 && b.first.kind == 0) return MoreInfo("    Title: " + CopyString(b.first.text));
    return MoreInfo("    Archive Info");
  }
  std::string operator()(const HardwareInfo &b) const {
    if (!b.entries.empty() && b.entries[0].type == 0 && b.entries[0].relation == 1)
      return "    This tape is made for " + HardwareName(0, b.entries[0].id) + " !\n";
    return MoreInfo("    Hardware Type");
  }
  std::string operator()(const EmulationInfo &) const { return "    Information for emulators.\n"; }
  std::string operator()(const CustomInfo &b) const {
    if (b.is_pokes) return MoreInfo("    Custom Info: " + CopyString(b.ident));
    return "    Custom Info: " + CopyString(b.ident) + "\n";
  }
  std::string operator()(const Snapshot &) const { return "    Snapshot               (Not Supported yet)\n"; }
  std::string operator()(const MergedTapes &) const { return "    Start of the new tape  (Merged Tapes)\n"; }
  // The blocks of other machines' tapes.
  std::string operator()(const FramedData &b) const { return Describe(b, at.last).one_line + "\n"; }
  template <class T>
    requires requires(const T &t) { Describe(t); }
  std::string operator()(const T &b) const {
    return Describe(b).one_line + "\n";
  }
  std::string operator()(const Unknown &b) const { return strprintf("    Unknown block %02X !\n", b.id); }

  // Blocks that steer the replay, as "-one" lists them.
  std::string operator()(const StopTape &) const { return "    Stop the tape command!\n"; }
  std::string operator()(const Jump &b) const {
    return strprintf("    Jump Relative: %d (To Block %ld)\n", b.distance, static_cast<long>(at.number) + b.distance);
  }
  std::string operator()(const LoopStart &b) const { return strprintf("    Loop Start, Counter: %d\n", b.count); }
  std::string operator()(const LoopEnd &) const { return "    Loop End\n"; }
  std::string operator()(const CallSequence &b) const {
    return strprintf("    Call Sequence, Number of Calls : %d\n", b.count);
  }
  std::string operator()(const ReturnFromCall &) const { return "    Return from Call\n"; }
  std::string operator()(const Select &) const { return MoreInfo("    Select block"); }
  std::string operator()(const Stop48k &) const { return "    Stop the tape if in 48k mode!\n"; }
};

}  // namespace

int Speed(unsigned bit1) { return saturate((1710.0 / bit1) * 100.0); }

int OriginalFrequency(unsigned tstates_per_sample) { return saturate(3500000.0 / tstates_per_sample + 0.5); }

std::string OneLine(const Block &block, const Place &at) { return std::visit(OneLiner{at}, block); }

}  // namespace listing
