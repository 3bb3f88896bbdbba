#include "driver/console.hpp"
#include "driver/settings.hpp"
#include "engine/blocks.hpp"
#include "listing/listing.hpp"
#include "listing/machines.hpp"
#include "listing/naming.hpp"
#include "listing/text.hpp"

namespace {

// The pause field: empty for the last block of the range.
void pause_field() {
  if (tape.curr == tape.numblocks - 1) texts.pstr.clear();
  else texts.pstr = strprintf(",Pause: %2.3fs", params.tzx_pause / 1000.0);
}

const std::string kPokes = "POKEs           ";

}  // namespace

void OneLineData(int id) {
  if (id == 0x14) texts.tstr = "    Pure Data           ";
  else Identify(params.datalen, params.data, 0);
  texts.spdstr = (id == 0x10) ? std::string("Normal Speed") : strprintf(" Speed: %3d%%", params.speed);
  pause_field();
  if (settings.draw)
    say("%s  Length:%6d  %s %s\n", texts.tstr.c_str(), params.datalen, texts.spdstr.c_str(), texts.pstr.c_str());
}

void OneLineC64(int id) {
  if (id == 0x16) IdentifyC64ROM(params.datalen, params.data, 0);
  else IdentifyC64Turbo(params.datalen, params.data, 0);
  pause_field();
  if (settings.draw)
    say(" %s Length:%6d  %s%s\n", texts.tstr.c_str(), params.datalen, texts.spdstr.c_str(), texts.pstr.c_str());
}

void OneLineOther(int id, Body body) {
  if (!settings.draw) return;
  switch (id) {
    case 0x12: say("    Pure Tone             Length: %5d\n", params.pilot); break;
    case 0x13: say("    Sequence of Pulses    Length: %5d\n", params.pilot); break;
    case 0x15:
      say("    Direct Recording      Length:%6d  Original Freq.: %5d Hz\n", params.datalen,
          OriginalFrequency(static_cast<unsigned>(params.t_pulse)));
      break;
    case 0x20: say("    Pause                 Length: %2.3fs\n", params.tzx_pause / 1000.0); break;
    case 0x21:
      CopyString(texts.pstr, body.p + 1, static_cast<int>(body.u8(0)));
      say("    Group: %s\n", texts.pstr.c_str());
      break;
    case 0x22: say("    Group End\n"); break;
    case 0x30:
      CopyString(texts.pstr, body.p + 1, static_cast<int>(body.u8(0)));
      say("    Description: %s\n", texts.pstr.c_str());
      break;
    case 0x31:
      CopyString(texts.pstr, body.p + 2, static_cast<int>(body.u8(1)));
      say("    Message: %s\n", texts.pstr.c_str());
      break;
    case 0x32: {
      // The first string decides; a block without strings is "Archive Info".
      if (body.u8(2) > 0 && body.u8(3) == 0) {
        int len = static_cast<int>(body.u8(4));
        int inside = static_cast<int>(body.avail(5));
        CopyString(texts.spdstr, body.p + 5, len < inside ? len : inside);
        texts.tstr = "    Title: " + texts.spdstr;
      } else {
        texts.tstr = "    Archive Info";
      }
      say_text(MoreInfo(texts.tstr));
      break;
    }
    case 0x33:
      if (body.u8(0) > 0 && body.u8(1) == 0 && body.u8(3) == 1)
        say("    This tape is made for %s !\n", HardwareName(0, body.u8(2)).c_str());
      else
        say_text(MoreInfo("    Hardware Type"));
      break;
    case 0x34: say("    Information for emulators.\n"); break;
    case 0x35:
      CopyString(texts.pstr, body.p, 16);
      if (texts.pstr == kPokes) say_text(MoreInfo("    Custom Info: " + texts.pstr));
      else say("    Custom Info: %s\n", texts.pstr.c_str());
      break;
    case 0x40: say("    Snapshot               (Not Supported yet)\n"); break;
    case 0x5A: say("    Start of the new tape  (Merged Tapes)\n"); break;
  }
}
