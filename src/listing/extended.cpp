#include <algorithm>

#include "driver/console.hpp"
#include "driver/settings.hpp"
#include "engine/blocks.hpp"
#include "listing/listing.hpp"
#include "listing/machines.hpp"
#include "listing/naming.hpp"
#include "listing/text.hpp"

std::string Heading() {
  return strprintf("Block %3d (%5zX):  ", tape.curr + 1, tape.block[static_cast<size_t>(tape.curr)] + 10);
}

void writeout_lines(const std::string &s, int extra) {
  settings.line += extra;
  writeout(s);
}

namespace {

const BlockParams &p = params;

void length_line() { writeout(strprintf("                Length: %5d bytes\n", p.datalen)); }

void flag_line() {
  if (p.datalen > 0) writeout(strprintf("                  Flag: %5d ($%02X)\n", p.data[0], p.data[0]));
  else writeout("                  Flag:  None (no data)\n");
}

void checksum_line() {
  if (p.datalen > 0) {
    unsigned last = p.data[p.datalen - 1];
    const char *verdict = GetCheckSum(p.data, p.datalen);
    writeout(strprintf("              CheckSum: %5d ($%02X) - %s\n", last, last, verdict));
  } else {
    writeout("              CheckSum:  None (no data)\n");
  }
}

void pause_line() { writeout_lines(strprintf("     Pause after block: %5d milliseconds\n\n", p.tzx_pause), 1); }

void tstates_line(const char *label, int v) { writeout(strprintf("%s: %5d T-States\n", label, v)); }

void pair_line(const char *label, int a, int b) {
  writeout(strprintf("%s: %5d & %5d T-States\n", label, a, b));
}

void last_byte_line(const char *unit) { writeout(strprintf("        Last byte used: %5d %s\n", p.lastbyte, unit)); }

void endianness_line() { writeout(strprintf("             Endianess:   %s\n", p.endian == 0 ? "LSb" : "MSb")); }

// Named heading of a data block: the name is in tstr, so the line is built in pstr.
void named_heading(const char *title) {
  texts.pstr = Heading() + title + " - " + texts.tstr + "\n";
  writeout(texts.pstr);
}

}  // namespace

void ListSignalBlock(int id, Body) {
  switch (id) {
    case 0x10:
      Identify(p.datalen, p.data, 1);
      named_heading("10 - Standard Loading Data");
      length_line();
      flag_line();
      checksum_line();
      pause_line();
      break;
    case 0x11:
      Identify(p.datalen, p.data, 1);
      named_heading("11 - Custom Loading Data");
      length_line();
      flag_line();
      if (!settings.cpc) checksum_line();
      tstates_line("           Pilot pulse", p.t_pilot);
      writeout(strprintf("          Pilot length: %5d pulses\n", p.pilot));
      tstates_line("      Sync first pulse", p.t_sync1);
      tstates_line("     Sync second pulse", p.t_sync2);
      tstates_line("           Bit-0 pulse", p.t_bit0);
      tstates_line("           Bit-1 pulse", p.t_bit1);
      last_byte_line("bits");
      pause_line();
      break;
    case 0x12:
      writeout(Heading() + "12 - Pure Tone\n");
      tstates_line("          Pulse length", p.t_pilot);
      writeout_lines(strprintf("           Tone length: %5d pulses\n\n", p.pilot), 1);
      break;
    case 0x13:
      writeout(Heading() + "13 - Sequence of Pulses\n");
      writeout_lines(strprintf("      Number of Pulses: %5d\n\n", p.pilot), 1);
      break;
    case 0x14:
      writeout(Heading() + "14 - Pure Data\n");
      length_line();
      flag_line();
      checksum_line();
      tstates_line("           Bit-0 pulse", p.t_bit0);
      tstates_line("           Bit-1 pulse", p.t_bit1);
      last_byte_line("bits");
      pause_line();
      break;
    case 0x15:
      writeout(Heading() + "15 - Direct Recording\n");
      writeout(strprintf("                Length:%6d bytes\n", p.datalen));
      writeout(strprintf("    Original Frequency: %5d T-States/Sample (%5d Hz)\n", p.t_pulse,
                         OriginalFrequency(static_cast<unsigned>(p.t_pulse))));
      last_byte_line("samples");
      pause_line();
      break;
    case 0x16:
      IdentifyC64ROM(p.datalen, p.data, 1);
      named_heading("16 - C64 ROM Type Data");
      length_line();
      flag_line();
      if (p.pilot == 0) writeout("           Pilot pulse:  None\n");
      else writeout(strprintf("           Pilot pulse: %5d T-States, length: %5d pulses\n", p.sb_pilot, p.pilot));
      pair_line("           Sync pulses", p.sb_sync1, p.sb_sync2);
      pair_line("          Bit-0 pulses", p.sb_bit0_f, p.sb_bit0_s);
      pair_line("          Bit-1 pulses", p.sb_bit1_f, p.sb_bit1_s);
      last_byte_line("bits");
      if (p.xortype == 255) writeout("         Byte XOR Type:  None\n");
      else writeout(strprintf("         Byte XOR Type: %d XOR all bits\n", p.xortype));
      pair_line("    Finish Byte pulses", p.sb_finishbyte_f, p.sb_finishbyte_s);
      pair_line("    Finish Data pulses", p.sb_finishdata_f, p.sb_finishdata_s);
      if (p.trailing == 0) writeout("   Trailing Tone pulse:  None\n");
      else
        writeout(strprintf("   Trailing Tone pulse: %5d T-States, length: %5d pulses\n", p.sb_trailing, p.trailing));
      endianness_line();
      pause_line();
      if (p.datalen > 0)
        writeout_lines(strprintf("     First: %02X , Last: %02X, Len: %d\n\n", p.data[0], p.data[p.datalen - 1],
                                 p.datalen),
                       1);
      else
        writeout_lines("     First: none, Last: none (no data), Len: 0\n\n", 1);
      break;
    case 0x17: {
      IdentifyC64Turbo(p.datalen, p.data, 1);
      named_heading("17 - C64 Turbo Tape Type Data");
      length_line();
      flag_line();
      if (p.num_lead_in == 0) writeout("         Lead In Bytes:  None\n");
      else
        writeout(strprintf("         Lead In Bytes: %5d, Value: %3d ($%02X)\n", p.num_lead_in, p.lead_in_byte,
                           p.lead_in_byte));
      tstates_line("           Bit-0 pulse", p.sb_bit0);
      tstates_line("           Bit-1 pulse", p.sb_bit1);
      const unsigned a = p.add_bit;
      if ((a & 3) == 0) writeout("       Additional Bits:  None\n");
      else
        writeout(strprintf("       Additional Bits: %5u %s Byte, Value %1u\n", a & 3, (a & 4) ? "After" : "Before",
                           (a >> 3) & 1));
      last_byte_line("bits");
      endianness_line();
      if (p.trailing == 0) writeout("        Trailing Bytes:  None\n");
      else
        writeout(strprintf("        Trailing Bytes: %5d, Value: %3d ($%02X)\n", p.trailing, p.sb_trailing,
                           p.sb_trailing));
      pause_line();
      break;
    }
    case 0x20:
      writeout(Heading() + "20 - Pause (Silence)\n");
      writeout_lines(strprintf("              Duration: %5d milliseconds\n\n", p.tzx_pause), 1);
      break;
  }
}

namespace {

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

// Reads counted fields of a block body in order; a field that runs past the
// body's end is cut there and ends the reading.
struct Cursor {
  Body b;
  size_t at = 0;
  bool ok = true;

  unsigned byte() {
    if (!ok || at >= b.len) {
      ok = false;
      return 0;
    }
    return b.p[at++];
  }
  unsigned word() {
    unsigned lo = byte(), hi = byte();
    return lo | hi << 8;
  }
  void text(std::string &dest, unsigned len) {
    size_t inside = ok ? b.avail(at) : 0;
    size_t n = len < inside ? len : inside;
    CopyString(dest, b.p + at, static_cast<int>(n));
    at += n;
    if (n < len) ok = false;
  }
};

void list_archive(Body body) {
  writeout(Heading() + "32 - Archive Info:\n");
  Cursor c{body, 2};
  unsigned count = c.byte();
  for (unsigned i = 0; i < count && c.ok; i++) {
    unsigned kind = c.byte();
    unsigned len = c.byte();
    if (!c.ok) break;
    c.text(texts.spdstr, len);
    int breaks = MultiLine(texts.spdstr, 16, texts.tstr);
    const char *label = kind < 9 ? kArchiveLabel[kind] : "      Comments:";
    writeout_lines(strprintf("%s %s\n", label, texts.tstr.c_str()), breaks);
  }
  writeout("\n");
}

void list_hardware(Body body) {
  writeout(Heading() + "33 - Hardware Info:\n");
  const unsigned count = body.u8(0);
  for (unsigned v = 0; v < 4; v++) {
    bool first = true;
    unsigned prev_type = 0;
    for (unsigned e = 0; e < count; e++) {
      unsigned type = body.u8(1 + 3 * e), ident = body.u8(2 + 3 * e), value = body.u8(3 + 3 * e);
      if (value != v) continue;
      if (first) writeout(kUsageHeading[v]);
      std::string tname = HardwareTypeName(type);
      if (!first && type == prev_type)
        writeout("      " + std::string(tname.size(), ' ') + "  " + HardwareName(type, ident) + "\n");
      else
        writeout("      " + tname + ": " + HardwareName(type, ident) + "\n");
      first = false;
      prev_type = type;
    }
  }
  writeout("\n");
}

void list_trainers(Body body) {
  Cursor c{body, 20};
  unsigned dlen = c.byte();
  if (!c.ok) return;
  if (dlen > 0) {
    c.text(texts.pstr, dlen);
    int breaks = MultiLine(texts.pstr, 15, texts.spdstr);
    writeout_lines("  Description: " + texts.spdstr + "\n\n", breaks + 1);
  }
  unsigned trainers = c.byte();
  if (!c.ok) return;
  writeout("          Trainer Description                       Poke Val Org Page\n");
  writeout("         -------------------------------------------------------------\n");
  for (unsigned t = 0; t < trainers && c.ok; t++) {
    unsigned nlen = c.byte();
    std::string name;
    c.text(name, nlen);
    unsigned pokes = c.byte();
    for (unsigned k = 0; k < pokes && c.ok; k++) {
      unsigned flags = c.byte(), address = c.word(), value = c.byte(), original = c.byte();
      if (!c.ok) break;
      std::string column = std::string(10, ' ') + (k == 0 ? name : std::string());
      MakeFixedString(column, 48);
      std::string val = (flags & 16) ? std::string("  -") : strprintf("%3u", value);
      std::string org = (flags & 32) ? std::string("  -") : strprintf("%3u", original);
      std::string page = (flags & 8) ? std::string("   -") : strprintf("%4u", flags & 7);
      writeout(strprintf("%s %s %5u %s %s %s\n", column.c_str(), k == 0 ? " " : "+", address, val.c_str(),
                         org.c_str(), page.c_str()));
    }
  }
}

}  // namespace

void ListDescriptionBlock(int id, Body body) {
  switch (id) {
    case 0x21:
      CopyString(texts.pstr, body.p + 1, static_cast<int>(body.u8(0)));
      writeout_lines(Heading() + "21 - Group: " + texts.pstr + "\n\n", 1);
      break;
    case 0x22: writeout_lines(Heading() + "22 - Group End\n\n", 1); break;
    case 0x30:
      CopyString(texts.pstr, body.p + 1, static_cast<int>(body.u8(0)));
      writeout_lines(Heading() + "30 - Description: " + texts.pstr + "\n\n", 1);
      break;
    case 0x31: {
      CopyString(texts.pstr, body.p + 2, static_cast<int>(body.u8(1)));
      int breaks = MultiLine(texts.pstr, 34, texts.spdstr);
      writeout_lines(Heading() + "31 - Message: " + texts.spdstr + "\n", breaks);
      writeout_lines(strprintf("               Duration: %u seconds\n\n", body.u8(0)), 1);
      break;
    }
    case 0x32: list_archive(body); break;
    case 0x33: list_hardware(body); break;
    case 0x34: writeout_lines(Heading() + "34 - Emulation Info\n\n", 1); break;
    case 0x35:
      CopyString(texts.pstr, body.p, 16);
      writeout(Heading() + "35 - Custom Info: " + texts.pstr + "\n");
      if (texts.pstr == "POKEs           ") list_trainers(body);
      writeout("\n");
      break;
    case 0x40: {
      writeout_lines(Heading() + "40 - Snapshot\n\n", 1);
      unsigned type = body.u8(0);
      const char *t = type == 0 ? "Type: Z80" : type == 1 ? "Type: SNA" : "Unknown Type";
      writeout_lines(strprintf("                      %s\n\n", t), 1);
      break;
    }
    case 0x5A: writeout_lines(Heading() + "5A - Merget Tapes\n\n", 1); break;
  }
}
