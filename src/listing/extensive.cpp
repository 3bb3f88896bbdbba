// The extensive listing of "-info".
#include <variant>

#include "format/csw.hpp"
#include "format/failure.hpp"
#include "format/registry.hpp"
#include "listing/listing.hpp"
#include "listing/naming.hpp"
#include "listing/others.hpp"
#include "listing/text.hpp"

namespace listing {

namespace {

using namespace format;
using format::strprintf;

const char *const kUsageHeading[4] = {
    "  Runs on the following hardware:\n",
    "  Uses the following hardware:\n",
    "  Runs, but it doesn't use the following hardware:\n",
    "  Doesn't run on the following hardware:\n",
};

const char *const kArchiveLabel[9] = {
    "         Title:", "     Publisher:", "     Author(s):", "  Release Date:", "      Language:",
    "     Game Type:", "         Price:", "        Loader:", "        Origin:",
};

struct Lister {
  const Place &at;
  Pieces out;

  void line(std::string s, int extra = 0) { out.push_back({std::move(s), extra}); }
  // The heading with the block's ID and a title.
  void heading(const std::string &title, int extra) { line(Heading(at) + strprintf("%02X - ", at.id) + title, extra); }
  // The heading with the block's name and what follows it on the line.
  void titled(const std::string &rest, int extra) { heading(TypeOf(at.id).name + rest, extra); }
  void titled() { titled("\n", 0); }
  // A text ending in a blank line takes one more screen line.
  void titled_blank(const std::string &rest = "") { titled(rest + "\n\n", 1); }
  void named(const std::string &name) { titled(" - " + name + "\n", 0); }

  void length(Bytes d) { line(strprintf("                Length: %5d bytes\n", static_cast<int>(d.size()))); }
  void flag(Bytes d) {
    if (d.empty()) return line("                  Flag:  None (no data)\n");
    line(strprintf("                  Flag: %5d ($%02X)\n", d[0], d[0]));
  }
  void checksum(Bytes d) {
    if (d.empty()) return line("              CheckSum:  None (no data)\n");
    line(strprintf("              CheckSum: %5d ($%02X) - %s\n", d.back(), d.back(), GetCheckSum(d).c_str()));
  }
  void pause(uint16_t ms) { line(strprintf("     Pause after block: %5d milliseconds\n\n", ms), 1); }
  void tstates(const char *label, unsigned v) { line(strprintf("%s: %5d T-States\n", label, v)); }
  void pair(const char *label, unsigned a, unsigned b) { line(strprintf("%s: %5d & %5d T-States\n", label, a, b)); }
  void last_byte(unsigned bits, const char *unit) { line(strprintf("        Last byte used: %5d %s\n", bits, unit)); }
  void endianness(uint8_t e) { line(strprintf("             Endianess:   %s\n", e == 0 ? "LSb" : "MSb")); }

  void operator()(const StandardData &b) {
    named(Identify(b.data, Form::extensive, at.machine));
    length(b.data);
    flag(b.data);
    checksum(b.data);
    pause(b.pause);
  }
  void operator()(const TurboData &b) {
    named(Identify(b.data, Form::extensive, at.machine));
    length(b.data);
    flag(b.data);
    if (!at.machine.cpc) checksum(b.data);
    tstates("           Pilot pulse", b.pilot);
    line(strprintf("          Pilot length: %5d pulses\n", b.pilot_pulses));
    tstates("      Sync first pulse", b.sync1);
    tstates("     Sync second pulse", b.sync2);
    tstates("           Bit-0 pulse", b.bit0);
    tstates("           Bit-1 pulse", b.bit1);
    last_byte(b.last_bits, "bits");
    pause(b.pause);
  }
  void operator()(const PureTone &b) {
    titled();
    tstates("          Pulse length", b.pulse);
    line(strprintf("           Tone length: %5d pulses\n\n", b.count), 1);
  }
  void operator()(const PulseSequence &b) {
    titled();
    line(strprintf("      Number of Pulses: %5d\n\n", b.count), 1);
  }
  void operator()(const PureData &b) {
    titled();
    length(b.data);
    flag(b.data);
    checksum(b.data);
    tstates("           Bit-0 pulse", b.bit0);
    tstates("           Bit-1 pulse", b.bit1);
    last_byte(b.last_bits, "bits");
    pause(b.pause);
  }
  void operator()(const DirectRecording &b) {
    titled();
    line(strprintf("                Length:%6d bytes\n", static_cast<int>(b.data.size())));
    line(strprintf("    Original Frequency: %5d T-States/Sample (%5d Hz)\n", b.tstates_per_sample,
                   OriginalFrequency(b.tstates_per_sample)));
    last_byte(b.last_bits, "samples");
    pause(b.pause);
  }
  void operator()(const C64RomData &b) {
    named(IdentifyC64ROM(b, Form::extensive).name);
    length(b.data);
    flag(b.data);
    if (b.pilot_waves == 0) line("           Pilot pulse:  None\n");
    else line(strprintf("           Pilot pulse: %5d T-States, length: %5d pulses\n", b.pilot, b.pilot_waves));
    pair("           Sync pulses", b.sync1, b.sync2);
    pair("          Bit-0 pulses", b.bit0_first, b.bit0_second);
    pair("          Bit-1 pulses", b.bit1_first, b.bit1_second);
    last_byte(b.last_bits, "bits");
    if (b.xor_type == 255) line("         Byte XOR Type:  None\n");
    else line(strprintf("         Byte XOR Type: %d XOR all bits\n", b.xor_type));
    pair("    Finish Byte pulses", b.finish_byte_first, b.finish_byte_second);
    pair("    Finish Data pulses", b.finish_data_first, b.finish_data_second);
    if (b.trailing_waves == 0) line("   Trailing Tone pulse:  None\n");
    else
      line(strprintf("   Trailing Tone pulse: %5d T-States, length: %5d pulses\n", b.trailing_pulse, b.trailing_waves));
    endianness(b.endian);
    pause(b.pause);
    if (b.data.empty()) return line("     First: none, Last: none (no data), Len: 0\n\n", 1);
    line(strprintf("     First: %02X , Last: %02X, Len: %d\n\n", b.data.front(), b.data.back(),
                   static_cast<int>(b.data.size())),
         1);
  }
  void operator()(const C64TurboData &b) {
    named(IdentifyC64Turbo(b, Form::extensive).name);
    length(b.data);
    flag(b.data);
    if (b.lead_in_count == 0) line("         Lead In Bytes:  None\n");
    else
      line(strprintf("         Lead In Bytes: %5d, Value: %3d ($%02X)\n", b.lead_in_count, b.lead_in_byte,
                     b.lead_in_byte));
    tstates("           Bit-0 pulse", b.bit0);
    tstates("           Bit-1 pulse", b.bit1);
    const unsigned a = b.additional;
    if ((a & 3) == 0) line("       Additional Bits:  None\n");
    else
      line(strprintf("       Additional Bits: %5u %s Byte, Value %1u\n", a & 3, (a & 4) ? "After" : "Before",
                     (a >> 3) & 1));
    last_byte(b.last_bits, "bits");
    endianness(b.endian);
    if (b.trailing_count == 0) line("        Trailing Bytes:  None\n");
    else
      line(strprintf("        Trailing Bytes: %5d, Value: %3d ($%02X)\n", b.trailing_count, b.trailing_byte,
                     b.trailing_byte));
    pause(b.pause);
  }
  void operator()(const CswRecording &b) {
    titled();
    length(b.stream);
    line(strprintf("         Sampling rate: %5u Hz\n", b.rate));
    if (b.compression == 1 || b.compression == 2) line(strprintf("           Compression: %5s\n", b.compression == 1 ? "RLE" : "Z-RLE"));
    else line(strprintf("           Compression: %5u (unknown)\n", b.compression));
    line(strprintf("         Stored pulses: %5u\n", b.stored_pulses));
    const CswSummary sum = SummarizeCsw(b.stream, b.compression);
    line(strprintf("                Pulses: %5llu%s%s\n", static_cast<unsigned long long>(sum.pulses),
                   sum.problem ? ", then " : "", sum.problem ? sum.problem : ""));
    if (b.rate != 0) line(strprintf("              Duration: %9.3f seconds\n", double(sum.samples) / b.rate));
    pause(b.pause);
  }
  // A symbol table: each symbol's flag and pulses.
  void symbols(const char *label, const SymbolTable &t) {
    static const char *const kFlag[4] = {"toggle", "keep", "low", "high"};
    for (unsigned s = 0; s < t.symbols && t.has(s); s++) {
      std::string pulses;
      for (unsigned i = 0; i < t.pulses && t.pulse(s, i) != 0; i++) pulses += strprintf(" %u", t.pulse(s, i));
      line(strprintf("%s %3u: %-6s%s\n", label, s, kFlag[t.flag(s)], pulses.empty() ? " no pulse" : (pulses + " T-States").c_str()));
    }
  }
  void operator()(const GeneralizedData &b) {
    titled();
    line(strprintf("    Pilot/sync entries: %5u\n", b.pilot_entries));
    if (b.pilot_entries > 0) {
      line(strprintf("    Pilot/sync symbols: %5u, pulses a symbol: %u\n", b.pilot_table.symbols, b.pilot_table.pulses));
      symbols("      Pilot symbol", b.pilot_table);
    }
    line(strprintf("          Data symbols: %5u, bits a symbol: %u\n", b.data_symbols, b.bits));
    if (b.data_symbols > 0) {
      line(strprintf("            Data table: %5u, pulses a symbol: %u\n", b.data_table.symbols, b.data_table.pulses));
      symbols("       Data symbol", b.data_table);
    }
    length(b.data_stream);
    if (!b.complete) line("                Damage: the block ends before its data\n");
    pause(b.pause);
  }
  void operator()(const SignalLevel &b) {
    titled();
    if (b.level > 1) line(strprintf("                 Level: %5u (no level)\n\n", b.level), 1);
    else line(strprintf("                 Level: %5s\n\n", b.level ? "high" : "low"), 1);
  }
  void operator()(const Pause &b) {
    titled();
    line(strprintf("              Duration: %5d milliseconds\n\n", b.ms), 1);
  }
  void operator()(const GroupStart &b) { titled_blank(": " + CopyString(b.name)); }
  void operator()(const GroupEnd &) { titled_blank(); }
  void operator()(const Description &b) { titled_blank(": " + CopyString(b.text)); }
  void operator()(const Message &b) {
    int breaks = 0;
    std::string text = MultiLine(CopyString(b.text), 34, breaks);
    titled(": " + text + "\n", breaks);
    line(strprintf("               Duration: %u seconds\n\n", b.seconds), 1);
  }
  void operator()(const ArchiveInfo &b) {
    titled(":\n", 0);
    for (const ArchiveString &s : b.strings) {
      int breaks = 0;
      std::string text = MultiLine(CopyString(s.text), 16, breaks);
      const char *label = s.kind < 9 ? kArchiveLabel[s.kind] : "      Comments:";
      line(strprintf("%s %s\n", label, text.c_str()), breaks);
    }
    line("\n");
  }
  void operator()(const HardwareInfo &b) {
    titled(":\n", 0);
    for (unsigned v = 0; v < 4; v++) {
      bool first = true;
      unsigned prev_type = 0;
      for (const HardwareEntry &e : b.entries) {
        if (e.relation != v) continue;
        if (first) line(kUsageHeading[v]);
        const std::string type = HardwareTypeName(e.type);
        if (!first && e.type == prev_type) line("      " + std::string(type.size(), ' ') + "  " + HardwareName(e.type, e.id) + "\n");
        else line("      " + type + ": " + HardwareName(e.type, e.id) + "\n");
        first = false;
        prev_type = e.type;
      }
    }
    line("\n");
  }
  void operator()(const EmulationInfo &) { titled_blank(); }
  void operator()(const CustomInfo &b) {
    titled(": " + CopyString(b.ident) + "\n", 0);
    if (b.is_pokes) trainers(b.pokes);
    line("\n");
  }
  void trainers(const Pokes &p) {
    if (!p.has_description) return;
    if (p.description_length > 0) {
      int breaks = 0;
      std::string text = MultiLine(CopyString(p.description), 15, breaks);
      line("  Description: " + text + "\n\n", breaks + 1);
    }
    if (!p.has_trainers) return;
    line("          Trainer Description                       Poke Val Org Page\n");
    line("         -------------------------------------------------------------\n");
    for (const Trainer &t : p.trainers) {
      for (size_t k = 0; k < t.pokes.size(); k++) {
        const Poke &poke = t.pokes[k];
        std::string column = MakeFixedString(std::string(10, ' ') + (k == 0 ? CopyString(t.name) : ""), 48);
        std::string val = (poke.flags & 16) ? std::string("  -") : strprintf("%3u", poke.value);
        std::string org = (poke.flags & 32) ? std::string("  -") : strprintf("%3u", poke.original);
        std::string page = (poke.flags & 8) ? std::string("   -") : strprintf("%4u", poke.flags & 7u);
        line(strprintf("%s %s %5u %s %s %s\n", column.c_str(), k == 0 ? " " : "+", poke.address, val.c_str(),
                       org.c_str(), page.c_str()));
      }
    }
  }
  void operator()(const Snapshot &b) {
    titled_blank();
    const char *t = b.type == 0 ? "Type: Z80" : b.type == 1 ? "Type: SNA" : "Unknown Type";
    line(strprintf("                      %s\n\n", t), 1);
  }
  void operator()(const MergedTapes &) { titled_blank(); }
  // The blocks of other machines' tapes: a title, then labelled lines.
  void described(const Described &d) {
    if (d.fields.empty()) return line(Heading(at) + d.title + "\n\n", 1);
    line(Heading(at) + d.title + "\n");
    for (size_t i = 0; i < d.fields.size(); i++) {
      const bool end = i + 1 == d.fields.size();
      line(strprintf("%22s: %s\n%s", d.fields[i].first.c_str(), d.fields[i].second.c_str(), end ? "\n" : ""), end);
    }
  }
  void operator()(const FramedData &b) { described(Describe(b, false)); }
  template <class T>
    requires requires(const T &t) { Describe(t); }
  void operator()(const T &b) {
    described(Describe(b));
  }
  void operator()(const Unknown &b) { line(Heading(at) + strprintf("%02X Unknown Block \n\n", b.id), 1); }

  // Blocks that steer the replay: listed in file order, nothing followed.
  void operator()(const StopTape &) { heading("Stop the Tape Command\n\n", 1); }
  void operator()(const Jump &b) {
    titled_blank(strprintf(": %d (To Block %ld)", b.distance, static_cast<long>(at.number) + b.distance));
  }
  void operator()(const LoopStart &b) { titled_blank(strprintf(", Counter: %d", b.count - 1)); }
  void operator()(const LoopEnd &) { titled_blank(); }
  void operator()(const CallSequence &b) { titled_blank(strprintf(", Number of Calls : %d", b.count)); }
  void operator()(const ReturnFromCall &) { titled_blank(); }
  void operator()(const Select &b) {
    titled();
    for (size_t i = 0; i < b.entries.size(); i++) {
      const SelectEntry &e = b.entries[i];
      line(strprintf("%5d - Jump: %3d (To Block %4ld) : %s\n", static_cast<int>(i + 1), e.distance,
                     static_cast<long>(at.number) + e.distance, CopyString(e.text).c_str()));
    }
    line("\n");
  }
  void operator()(const Stop48k &) { titled_blank(); }
};

}  // namespace

std::string Heading(const Place &at) {
  return strprintf("Block %3d (%5llX):  ", at.number, static_cast<unsigned long long>(at.offset));
}

Pieces Extensive(const Block &block, const Place &at) {
  Lister l{at, {}};
  std::visit(l, block);
  return std::move(l.out);
}

}  // namespace listing
