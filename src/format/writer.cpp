#include "format/writer.hpp"

#include <variant>

#include "format/ids.hpp"
#include "format/registry.hpp"

namespace format {

namespace {

void put(Image &b, uint32_t v, int n) {
  for (int i = 0; i < n; i++) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void put(Image &b, Bytes d) { b.insert(b.end(), d.begin(), d.end()); }

// The bytes a TAP block or a TZX data block holds, if it is one.
const Bytes *DataOf(const Block &b) {
  if (const auto *s = std::get_if<StandardData>(&b)) return &s->data;
  if (const auto *t = std::get_if<TurboData>(&b)) return &t->data;
  if (const auto *p = std::get_if<PureData>(&b)) return &p->data;
  return nullptr;
}

}  // namespace

Image TzxHeader() {
  Image b{'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};
  return b;
}

Image EncodeText(const std::string &text) {
  const size_t n = text.size() < 255 ? text.size() : 255;
  Image b(2 + n);
  b[0] = static_cast<uint8_t>(Id::description), b[1] = static_cast<uint8_t>(n);
  for (size_t i = 0; i < n; i++) b[2 + i] = static_cast<uint8_t>(text[i]);
  return b;
}

Image EncodeStandard(uint16_t pause, Bytes data) {
  Image b{static_cast<uint8_t>(Id::standard)};
  put(b, pause, 2), put(b, static_cast<uint32_t>(data.size()), 2), put(b, data);
  return b;
}

Image EncodeTurbo(const TurboData &t) {
  Image b{static_cast<uint8_t>(Id::turbo)};
  for (uint16_t v : {t.pilot, t.sync1, t.sync2, t.bit0, t.bit1, t.pilot_pulses}) put(b, v, 2);
  put(b, t.last_bits, 1), put(b, t.pause, 2), put(b, static_cast<uint32_t>(t.data.size()), 3), put(b, t.data);
  return b;
}

void AppendRle(Image &to, uint32_t samples) {
  if (samples > 0 && samples < 256) return to.push_back(static_cast<uint8_t>(samples));
  to.push_back(0);
  put(to, samples, 4);
}

Image CswFileHeader(uint32_t rate, uint32_t pulses, bool high_first) {
  Image b;
  for (char c : std::string("Compressed Square Wave\x1A")) b.push_back(static_cast<uint8_t>(c));
  b.push_back(2), b.push_back(0), put(b, rate, 4), put(b, pulses, 4), b.push_back(1);
  b.push_back(high_first ? 1 : 0), b.push_back(0);  // flags; no header extension
  for (char c : std::string("reelwright\0\0\0\0\0\0", 16)) b.push_back(static_cast<uint8_t>(c));
  return b;
}

std::optional<Image> EncodeTapBlock(const Block &b) {
  const Bytes *data = DataOf(b);
  if (!data || data->size() > 0xFFFF) return std::nullopt;
  Image out;
  put(out, static_cast<uint32_t>(data->size()), 2), put(out, *data);
  return out;
}

Image EncodeCsw(uint16_t pause, uint32_t rate, const std::vector<uint32_t> &pulses) {
  Image stream;
  for (uint32_t p : pulses) AppendRle(stream, p);
  Image b{static_cast<uint8_t>(Id::csw_recording)};
  put(b, static_cast<uint32_t>(10 + stream.size()), 4);
  put(b, pause, 2), put(b, rate, 3), put(b, 1, 1), put(b, static_cast<uint32_t>(pulses.size()), 4);
  put(b, stream);
  return b;
}

Image WriteTzx(const Tape &tape, int first, int end, const std::string &description) {
  Image out = TzxHeader();
  put(out, EncodeText(description));
  for (int i = first; i < end; i++) {
    // A TAP block is a standard-speed block with a pause of 1000 ms; a TZX
    // block is copied as it stands.
    if (tape.kind() == Kind::tap) put(out, EncodeStandard(1000, std::get<StandardData>(tape.at(i).block).data));
    else put(out, tape.raw(i));
  }
  return out;
}

Image WriteTap(const Tape &tape, int first, int end, const std::function<void(int, const char *)> &left_out) {
  Image out;
  for (int i = first; i < end; i++) {
    const IndexedBlock b = tape.at(i);
    if (const std::optional<Image> tap = EncodeTapBlock(b.block)) put(out, *tap);
    else left_out(i + 1, TypeOf(b.id).name);
  }
  return out;
}

}  // namespace format
