#include "format/commodore_files.hpp"

#include <algorithm>

namespace format {

namespace {

// Short pulses in a row that make a leader: inside a block no more than two
// follow each other (a 1 bit, then a 0 bit).
constexpr size_t kMinLeader = 32;
constexpr size_t kCountdown = 9;
// Countdown bytes of the 9 that must be right: a copy whose countdown took a
// hit or two is still a copy.
constexpr size_t kCountdownNeeded = 7;

// One pulse: its cycles and the offsets of its values in the data.
struct Pulse {
  uint32_t cycles;
  uint32_t at, after;
};

// Whether two lengths are within `percent` of the larger.
bool near(uint32_t a, uint32_t b, unsigned percent) {
  const uint64_t hi = std::max(a, b), lo = std::min(a, b);
  return (hi - lo) * 100 <= hi * percent;
}

// The pulses of the data, whole cycles. Version 2 stores half cycles: two
// alike make a cycle, and a half unlike the one after it is dropped, so that
// the pairs keep in step with the signal.
std::vector<Pulse> cycles_of(const CommodorePulses &p) {
  std::vector<Pulse> out;
  size_t at = 0, from = 0;
  uint32_t c = 0;
  if (p.version != 2) {
    while (p.next(at, c)) out.push_back({c, uint32_t(from), uint32_t(at)}), from = at;
    return out;
  }
  Pulse half{0, 0, 0};  // a half waiting for its twin (0 cycles: none)
  while (p.next(at, c)) {
    if (half.cycles != 0 && near(half.cycles, c, 18)) {
      out.push_back({half.cycles + c, half.at, uint32_t(at)});
      half.cycles = 0;
    } else {
      half = {c, uint32_t(from), uint32_t(at)};
    }
    from = at;
  }
  return out;
}

// The three pulse lengths of a block, learnt from its leader and its first
// marker, followed as the block goes on.
class Timing {
 public:
  enum Class { bad, short_pulse, medium, long_pulse };
  Timing(uint32_t s, uint32_t m, uint32_t l) : s_(s), m_(m), l_(l) {}
  Class of(uint32_t c) const {
    if (2 * c < s_) return bad;
    if (2 * c < s_ + m_) return short_pulse;
    if (2 * c < m_ + l_) return medium;
    if (2 * c < 3 * l_) return long_pulse;
    return bad;
  }
  // A pulse read as `k` moves that length a sixteenth of the way to it.
  void follow(Class k, uint32_t c) {
    uint32_t &v = k == short_pulse ? s_ : k == medium ? m_ : l_;
    v = uint32_t((15ull * v + c + 8) / 16);
  }
  uint32_t s() const { return s_; }
  uint32_t m() const { return m_; }
  uint32_t l() const { return l_; }

 private:
  uint32_t s_, m_, l_;
};

// Which countdown the first bytes are: 0x89 down (first copy), 0x09 down
// (repeat), or none.
std::optional<bool> countdown(const std::vector<uint8_t> &b) {
  if (b.size() < kCountdown + 1) return std::nullopt;
  size_t first = 0, repeat = 0;
  for (size_t i = 0; i < kCountdown; i++) first += b[i] == 0x89 - i, repeat += b[i] == 0x09 - i;
  if (first >= kCountdownNeeded) return false;
  if (repeat >= kCountdownNeeded) return true;
  return std::nullopt;
}

// The countdown, data and checksum as a block copy.
std::optional<CommodoreBlock> block_of(const std::vector<uint8_t> &bytes) {
  const std::optional<bool> repeat = countdown(bytes);
  if (!repeat) return std::nullopt;
  CommodoreBlock b;
  b.repeat = *repeat;
  b.data.assign(bytes.begin() + kCountdown, bytes.end() - 1);
  b.checksum = bytes.back();
  uint8_t x = 0;
  for (uint8_t d : b.data) x ^= d;
  b.checksum_ok = x == b.checksum;
  return b;
}

class Finder {
 public:
  explicit Finder(const CommodorePulses &p) : p_(cycles_of(p)) {}

  CommodoreContents run() {
    CommodoreContents out;
    for (size_t i = 0; i < p_.size();) {
      const size_t lead = i;
      uint64_t sum = p_[i].cycles;
      size_t n = 1;
      for (i++; i < p_.size() && near(p_[i].cycles, uint32_t(sum / n), 20); i++) sum += p_[i].cycles, n++;
      if (n < kMinLeader) continue;
      if (std::optional<CommodoreBlock> b = block(lead, i, uint32_t(sum / n))) out.blocks.push_back(std::move(*b));
    }
    out.files = GroupCommodoreFiles(out.blocks);
    for (size_t f = 0; f < out.files.size(); f++) {
      CommodoreFile &file = out.files[f];
      const size_t limit = f + 1 < out.files.size() ? out.files[f + 1].begin : SIZE_MAX;
      file.finish = std::min(limit, trailer(file.finish, out.blocks[size_t(file.last)].short_pulse));
    }
    return out;
  }

 private:
  // A block whose leader runs from `lead` to `i` (which moves past the
  // block), its short pulses of `s` cycles.
  std::optional<CommodoreBlock> block(size_t lead, size_t &i, uint32_t s) {
    // The first marker sets the long and the medium pulse.
    if (i + 1 >= p_.size()) return std::nullopt;
    const uint32_t l = p_[i].cycles, m = p_[i + 1].cycles;
    if (uint64_t(l) * 4 < uint64_t(s) * 5 || uint64_t(m) * 100 < uint64_t(s) * 115 || uint64_t(m) * 100 > uint64_t(l) * 93)
      return std::nullopt;
    Timing t(s, m, l);
    std::vector<uint8_t> bytes;
    unsigned parity = 0, pulse = 0;
    bool ended = false;
    size_t k = i;
    while (k + 1 < p_.size() && t.of(p_[k].cycles) == Timing::long_pulse) {
      const Timing::Class second = t.of(p_[k + 1].cycles);
      if (second == Timing::short_pulse) {
        ended = true;
        k += 2;
        break;
      }
      if (second != Timing::medium || k + 20 > p_.size()) break;
      t.follow(Timing::long_pulse, p_[k].cycles);
      t.follow(Timing::medium, p_[k + 1].cycles);
      unsigned value = 0, ones = 0;
      for (unsigned bit = 0; bit < 9; bit++) {
        const uint32_t a = p_[k + 2 + 2 * bit].cycles, b = p_[k + 3 + 2 * bit].cycles;
        const Timing::Class ka = t.of(a), kb = t.of(b);
        bool one = a > b;  // a cell that is neither: the longer pulse first is a 1
        if (ka == Timing::short_pulse && kb == Timing::medium) one = false;
        else if (ka == Timing::medium && kb == Timing::short_pulse) one = true;
        else pulse++;
        if (ka != Timing::bad) t.follow(ka, a);
        if (kb != Timing::bad) t.follow(kb, b);
        if (bit < 8) value |= unsigned(one) << bit;
        ones += one;
      }
      if (ones % 2 == 0) parity++;
      bytes.push_back(uint8_t(value));
      k += 20;
    }
    const size_t first = i;
    i = k;
    std::optional<CommodoreBlock> b = block_of(bytes);
    if (!b) return std::nullopt;
    b->parity_errors = parity, b->pulse_errors = pulse, b->ended = ended;
    b->begin = p_[lead].at, b->bytes_at = p_[first].at, b->end = p_[k - 1].after;
    b->short_pulse = s, b->medium_pulse = m, b->long_pulse = l;
    return b;
  }

  // Past the short pulses after a file's last copy (those of `s` cycles).
  size_t trailer(size_t finish, uint32_t s) const {
    auto it = std::lower_bound(p_.begin(), p_.end(), finish, [](const Pulse &p, size_t at) { return p.at < at; });
    for (; it != p_.end() && near(it->cycles, s, 20); ++it) finish = it->after;
    return finish;
  }

  std::vector<Pulse> p_;
};

}  // namespace

std::optional<CommodoreBlock> CommodoreBlockOf(Bytes countdown_data_checksum) {
  std::optional<CommodoreBlock> b =
      block_of(std::vector<uint8_t>(countdown_data_checksum.begin(), countdown_data_checksum.end()));
  if (b) b->ended = true;
  return b;
}

CommodoreContents FindCommodoreFiles(const CommodorePulses &pulses) { return Finder(pulses).run(); }

namespace {

using State = CommodoreCopies::State;

// The blocks paired: a first copy and the repeat right after it.
std::vector<CommodoreCopies> pairs(const std::vector<CommodoreBlock> &blocks) {
  std::vector<CommodoreCopies> out;
  for (int i = 0; i < int(blocks.size()); i++) {
    const CommodoreBlock &b = blocks[size_t(i)];
    const State state = b.good() ? State::good : State::bad;
    if (b.repeat && !out.empty() && out.back().first == i - 1 && out.back().repeat < 0) {
      out.back().repeat = i, out.back().repeat_state = state;
    } else {
      CommodoreCopies c;
      (b.repeat ? c.repeat : c.first) = i;
      (b.repeat ? c.repeat_state : c.first_state) = state;
      out.push_back(c);
    }
  }
  for (CommodoreCopies &c : out) {
    // A good copy's bytes; else the first copy's, as the loader would keep them.
    const int from = c.first_state == State::good ? c.first : c.repeat_state == State::good ? c.repeat
                     : c.first >= 0                 ? c.first
                                                    : c.repeat;
    c.data = blocks[size_t(from)].data;
  }
  return out;
}

bool is_header(const std::vector<uint8_t> &d) {
  return d.size() >= 21 && (d[0] == 1 || d[0] == 3 || d[0] == 4 || d[0] == 5);
}

void add(CommodoreFile &f, const CommodoreCopies &c, const std::vector<CommodoreBlock> &blocks) {
  for (const int i : {c.first, c.repeat}) {
    if (i < 0) continue;
    const CommodoreBlock &b = blocks[size_t(i)];
    if (f.last < 0) f.begin = b.begin;
    f.finish = std::max(f.finish, b.end);
    f.last = std::max(f.last, i);
  }
}

}  // namespace

std::vector<CommodoreFile> GroupCommodoreFiles(const std::vector<CommodoreBlock> &blocks) {
  std::vector<CommodoreFile> files;
  bool program_data = false;  // a program's header is waiting for its data
  for (const CommodoreCopies &c : pairs(blocks)) {
    CommodoreFile *f = files.empty() ? nullptr : &files.back();
    const bool header = is_header(c.data);
    // A program's data follows its header, whatever it holds, unless it is
    // itself a header of another length than the data would be.
    const bool data = f && ((program_data && !(header && c.data.size() != size_t(f->end - f->start))) ||
                            (f->type == CommodoreType::data_header && !header && !c.data.empty() && c.data[0] == 2));
    program_data = false;
    if (data) {
      f->data.push_back(c);
      add(*f, c, blocks);
      continue;
    }
    CommodoreFile n;
    if (header) {
      n.header = c;
      n.type = CommodoreType(c.data[0]);
      n.start = uint16_t(c.data[1] | c.data[2] << 8);
      n.end = uint16_t(c.data[3] | c.data[4] << 8);
      n.name.assign(c.data.begin() + 5, c.data.begin() + 21);
      program_data = n.type == CommodoreType::relocatable || n.type == CommodoreType::program;
    } else {
      n.data.push_back(c);
    }
    add(n, c, blocks);
    files.push_back(std::move(n));
  }
  return files;
}

std::vector<uint8_t> CommodoreFile::bytes() const {
  std::vector<uint8_t> out;
  const bool typed = type == CommodoreType::data_header;  // each block's first byte is its type
  for (const CommodoreCopies &c : data)
    out.insert(out.end(), c.data.begin() + (typed && !c.data.empty() ? 1 : 0), c.data.end());
  return out;
}

bool CommodoreFile::good() const {
  if (header.found() && !header.good()) return false;
  return std::all_of(data.begin(), data.end(), [](const CommodoreCopies &c) { return c.good(); });
}

std::string PetsciiName(const std::vector<uint8_t> &name) {
  std::string s;
  for (uint8_t c : name) s += c >= 0x20 && c <= 0x5D ? char(c) : c == 0xA0 ? ' ' : '?';
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace format
