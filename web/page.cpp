// The web page's side of the program: the tape open in the page, its
// listing, its sound for the player, the files it saves and the recordings
// it decodes. The page's script calls these plain C functions; texts come
// back as JSON. Files live in the browser's memory (Emscripten's file
// system): the page writes the tape there, and reads the files saved.
#include "web/page.hpp"

#ifdef __EMSCRIPTEN__
#include <emscripten/emscripten.h>
#else
#define EMSCRIPTEN_KEEPALIVE  // natively, for the tests
#endif

#include <cstdio>
#include <variant>

#include "engine/players.hpp"
#include "engine/resampler.hpp"
#include "format/failure.hpp"
#include "format/registry.hpp"
#include "front/status_text.hpp"
#include "listing/listing.hpp"
#include "os/files.hpp"
#include "sinks/sound_file.hpp"

namespace web {

using format::Failure;
using format::strprintf;

std::string Quoted(const std::string &s) {
  std::string q = "\"";
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') q += '\\', q += ch;
    else if (c == '\n') q += "\\n";
    else if (c < 0x20 || c >= 0x7F) q += strprintf("\\u%04x", c);  // bytes beyond ASCII as Latin-1
    else q += ch;
  }
  return q + "\"";
}

std::string List(const std::vector<std::string> &items) {
  std::string l = "[";
  for (const std::string &i : items) {
    if (l.size() > 1) l += ',';
    l += Quoted(i);
  }
  return l + "]";
}

// Keeps the engine's sample bytes, or only counts them.
class Collect final : public engine::SampleOutput {
 public:
  explicit Collect(bool keep) : keep_(keep) {}
  int begin(int rate) override { return rate; }
  void run(uint8_t value, uint64_t n) override {
    if (keep_) bytes.insert(bytes.end(), static_cast<size_t>(n), value);
    count += n;
  }
  void samples(std::span<const uint8_t> s) override {
    if (keep_) bytes.insert(bytes.end(), s.begin(), s.end());
    count += s.size();
  }
  void finish() override {}
  void abandon() override {}
  uint64_t capacity() const override { return sinks::SoundFile::kMaxSamples; }

  std::vector<uint8_t> bytes;
  uint64_t count = 0;

 private:
  bool keep_;
};

namespace {

// The image of the tape's own machine where the Spectrum's hold none of it:
// its extension, "image" for a CSW file (its decoding tells), or "".
std::string OwnImage(const format::Tape &t) {
  switch (t.kind()) {
    case format::Kind::uef: return "uef";
    case format::Kind::msx: return "cas";
    case format::Kind::zx81: return format::ImageFor(*format::ImageNamed("p81"), t) ? "p81" : "o";
    case format::Kind::csw: return "image";
    default: return "";
  }
}

}  // namespace

// What the flow says, and where a run that measures ends.
struct Page::Told final : front::FlowPlayer {
  struct Ahead {
    front::StatusView::Until until;
  };
  std::vector<std::string> *warnings = nullptr;
  bool measuring = false;
  std::string said;
  void line(const std::string &) override {}
  void say(const std::string &s) override { said += s; }
  void ignored(int number, const char *what) override {
    if (warnings) warnings->push_back(strprintf("Block %d %s - ignored!", number, what));
  }
  void ahead(front::StatusView::Until until) override {
    if (measuring) throw Ahead{until};
  }
};

// The pipeline of a run at a rate: pulse stream, resampler, output.
struct Page::Pipeline {
  Pipeline(engine::SampleOutput &out, int rate, const engine::Timing &timing)
      : time(rate, timing), resampler(out, time), stream(resampler, time) {}
  engine::TimeBase time;
  engine::Resampler resampler;
  engine::PulseStream stream;
  void flush() {
    stream.flush();
    resampler.flush();
  }
};

Page::Page() = default;
Page::~Page() = default;

std::string Page::open(const std::string &path, bool msx_2400) {
  close_tape();
  path_ = path;
  msx_2400_ = msx_2400;
  std::string text;
  const front::Announce say{[&](const std::string &s) { text += s; },
                            [&](const std::string &s) { text += "\n-- Warning: " + s + "\n"; }};
  try {
    tape_ = front::Load(front::LoadOptions{format::ReadOptions{path, msx_2400}, false, -1}, say, {});
  } catch (const Failure &f) {
    return "{\"error\":" + Quoted(f.what()) + ",\"text\":" + Quoted(text) + "}";
  } catch (const std::bad_alloc &) {
    return "{\"error\":\"Not enough memory!\",\"text\":" + Quoted(text) + "}";
  }
  return described(text);
}

std::string Page::described(const std::string &text) {
  std::vector<std::string> lines;
  listing::Machine machine;
  const int n = tape_.tape->size();
  for (int i = 0; i < n; i++) {
    const format::IndexedBlock b = tape_.tape->at(i);
    if (const auto *h = std::get_if<format::HardwareInfo>(&b.block)) machine = listing::DetectMachine(*h, machine);
    lines.push_back(front::OnePrefix(tape_.where, i, b.offset) +
                    listing::OneLine(b.block, listing::Place{i + 1, b.offset, b.id, i == n - 1, machine}));
    texts_.push_back(lines.back());
  }
  return strprintf("{\"text\":%s,\"blocks\":%s,\"spectrum\":%s,\"own\":%s}", Quoted(text).c_str(),
                   List(lines).c_str(), tape_.tape->spectrum_blocks() ? "true" : "false",
                   Quoted(OwnImage(*tape_.tape)).c_str());
}

void Page::close_tape() {
  player_.reset();
  visits_.clear();
  last_.clear();
  choices_.clear();
  choosing_ = closed_ = false;
  out_.reset();
  tape_ = {};
  texts_.clear();
  lengths_.clear();
  levels_.clear();
}

std::string Page::prepare(const Settings &s) {
  if (!tape_.tape) return "{\"error\":\"No tape is open!\"}";
  set_ = s;
  player_.reset();
  // Each block's length and the level it begins at, played in order.
  Collect count(false);
  Pipeline p(count, set_.rate, set_.timing);
  lengths_.clear();
  levels_.clear();
  std::vector<std::string> warnings;
  try {
    for (int i = 0; i < tape_.tape->size(); i++) {
      levels_.push_back(p.stream.level());
      const uint64_t before = count.count;
      const format::Block b = tape_.tape->at(i).block;
      const std::string problem = engine::Play(b, p.stream);
      if (!problem.empty()) warnings.push_back(strprintf("Block %d %s!", i + 1, problem.c_str()));
      p.flush();
      lengths_.push_back(count.count - before);
    }
  } catch (const Failure &f) {  // longer than a sound file holds: the page plays none of it
    lengths_.clear();
    return "{\"error\":" + Quoted(f.what()) + ",\"lengths\":[],\"warnings\":" + List(warnings) + "}";
  }
  std::string l = "[";
  for (uint64_t n : lengths_) {
    if (l.size() > 1) l += ',';
    l += std::to_string(n);
  }
  restart();
  return strprintf("{\"lengths\":%s],\"warnings\":%s}", l.c_str(), List(warnings).c_str());
}

front::Halt Page::step(front::Cursor &c, engine::PulseStream &s, Told &told) const {
  const format::Block b = tape_.tape->at(c.curr).block;
  if (std::holds_alternative<format::StopTape>(b)) engine::Play(b, s);  // the level goes low
  const std::optional<front::Halt> halt = front::Flow(*tape_.tape, set_.mode128, !told.warnings, told).follow(b, c);
  if (halt) return *halt;
  const std::string problem = engine::Play(b, s);
  if (!problem.empty() && told.warnings) told.warnings->push_back(strprintf("Block %d %s!", c.curr + 1, problem.c_str()));
  s.flush();  // each block's samples are out before the next
  return front::Halt::none;
}

std::pair<uint64_t, front::StatusView::Until> Page::measure_from(const Visit &v) const {
  Collect count(false);
  Pipeline p(count, set_.rate, set_.timing);
  p.stream.set_level(v.level);
  Told told;
  told.measuring = true;
  front::Cursor c = v.cursor;
  front::EndlessLoopGuard guard;
  front::StatusView::Until until = front::StatusView::Until::end;
  try {
    try {
      for (; c.curr < c.end; c.curr++) {
        guard.visit(c, 0);
        step(c, p.stream, told);
      }
    } catch (const Told::Ahead &a) {
      until = a.until;
    }
    p.flush();
  } catch (const Failure &) {
    until = front::StatusView::Until::unknown;  // it loops for ever, or longer than any output holds
  }
  return {count.count, until};
}

void Page::restart() {
  if (!tape_.tape) return;
  Visit start;
  start.cursor.end = tape_.tape->size();
  choices_.clear();
  last_.assign(static_cast<size_t>(tape_.tape->size()), std::nullopt);
  begin_at(start);
}

void Page::begin_at(const Visit &v) {
  out_ = std::make_unique<Collect>(true);
  player_ = std::make_unique<Pipeline>(*out_, set_.rate, set_.timing);
  player_->stream.set_level(v.level);
  cur_ = v.cursor;
  tape_at_ = v.tape_at;
  guard_ = std::make_unique<front::EndlessLoopGuard>();
  visits_.clear();
  halt_ = 0;
  choosing_ = closed_ = false;
  said_.clear();
  measured_ = -1;
}

bool Page::again(int visit) {
  if (visit < 0 || visit >= static_cast<int>(visits_.size())) return false;
  begin_at(Visit(visits_[static_cast<size_t>(visit)]));
  return true;
}

bool Page::next(int visit) {
  // Never into the second that closes the tape.
  if (visit + 1 < static_cast<int>(visits_.size()))
    return visits_[static_cast<size_t>(visit) + 1].index < tape_.tape->size() && again(visit + 1);
  if (visit < 0 || visit + 1 != static_cast<int>(visits_.size()) || closed_ || choosing_ || cur_.curr >= cur_.end)
    return false;
  // Not rendered yet: the block after it, as the player would go on.
  Visit v;
  v.cursor = cur_;
  v.index = cur_.curr;
  v.level = player_->stream.level();
  v.tape_at = tape_at_;
  begin_at(v);
  return true;
}

bool Page::go_to(int block, int visit) {
  if (!tape_.tape || block < 0 || block >= tape_.tape->size() || lengths_.empty()) return false;
  if (const std::optional<Visit> &last = last_[static_cast<size_t>(block)]) {
    begin_at(Visit(*last));
    return true;
  }
  // Never played: it begins with the flow as it stands, at the level it has in file order.
  Visit v;
  if (visit >= 0 && visit < static_cast<int>(visits_.size())) v = visits_[static_cast<size_t>(visit)];
  v.cursor.end = tape_.tape->size();
  v.index = v.cursor.curr = block;
  v.level = levels_[static_cast<size_t>(block)];
  v.tape_at = 0;
  for (int i = 0; i < block; i++) v.tape_at += lengths_[static_cast<size_t>(i)];
  begin_at(v);
  return true;
}

bool Page::previous(int visit) {
  if (visit < 0 || visit >= static_cast<int>(visits_.size())) return false;
  const int index = visits_[static_cast<size_t>(visit)].index;
  for (int i = std::min(index, tape_.tape->size()) - 1; i >= 0; i--)
    if (lengths_[static_cast<size_t>(i)] != 0) return go_to(i, visit);
  return again(visit);
}

int Page::render() {
  if (!player_ || lengths_.empty() || closed_ || choosing_) return -1;
  out_->bytes.clear();
  Visit v;
  v.cursor = cur_;
  v.index = cur_.curr;
  v.level = player_->stream.level();
  v.tape_at = tape_at_;
  halt_ = 0;
  said_.clear();
  try {
    if (cur_.curr >= cur_.end) {
      player_->stream.pause(1000);  // the second that closes the tape
      closed_ = true;
    } else {
      guard_->visit(cur_, static_cast<unsigned long>(choices_.size()));
      Told told;
      const front::Halt h = step(cur_, player_->stream, told);
      said_ = told.said;
      halt_ = static_cast<int>(h);
      if (h == front::Halt::choice) choosing_ = true;  // the cursor stays at the choice
      else cur_.curr++;
    }
    player_->flush();
  } catch (const std::exception &e) {  // it loops for ever, or more than memory holds: the tape ends here
    said_ = e.what();
    closed_ = true;
    return -1;
  }
  v.length = out_->bytes.size();
  tape_at_ += v.length;
  visits_.push_back(v);
  if (v.index < static_cast<int>(last_.size())) last_[static_cast<size_t>(v.index)] = v;
  return static_cast<int>(v.length);
}

int Page::rendered() const { return visits_.empty() ? -1 : visits_.back().index; }

void Page::choose(char key) {
  if (!choosing_) return;
  const format::IndexedBlock b = tape_.tape->at(cur_.curr);
  Told told;
  front::Flow(*tape_.tape, set_.mode128, true, told).choose(std::get<format::Select>(b.block), key, cur_);
  said_ = told.said;
  choices_ += key;
  cur_.curr++;
  choosing_ = false;
  measured_ = -1;
}

const uint8_t *Page::samples() const { return out_ ? out_->bytes.data() : nullptr; }

float Page::level(bool high) const {
  const int bits = set_.signal.wide ? 16 : 8;
  const sinks::Levels l = sinks::LevelsAt(set_.signal, sinks::kUsual, bits);
  return static_cast<float>(high ? l.high : l.low) / static_cast<float>(1 << (bits - 1));
}

std::string Page::status(int visit, uint64_t block_at, bool paused, int width) {
  front::StatusView v;
  v.rate = set_.rate;
  if (visit < 0 || visit >= static_cast<int>(visits_.size()) || texts_.empty()) return front::StatusText(v, width);
  const Visit &at = visits_[static_cast<size_t>(visit)];
  const size_t block = static_cast<size_t>(std::min(at.index, static_cast<int>(texts_.size()) - 1));
  v.block = static_cast<int>(block) + 1;
  v.text = texts_[block].substr(texts_[block].find(':') + 1);
  v.block_length = at.length;
  v.block_at = block_at;
  v.tape_at = at.tape_at + block_at;
  // The total counts to the tape's end or to where it waits, measured again
  // after a move, a choice, or once the tape has gone past the stop.
  if (measured_ < 0 || (visit != measured_ && until_ != front::StatusView::Until::end && at.tape_at >= total_)) {
    const auto [samples, until] = measure_from(at);
    total_ = at.tape_at + samples;
    until_ = until;
    measured_ = visit;
  }
  v.tape_total = total_;
  v.until = until_;
  v.paused = paused;
  return front::StatusText(v, width);
}

std::string Page::save(Saved kind, int rate, const std::string &out, const std::string &source) {
  std::vector<std::string> warnings;
  std::string ext = kind == Saved::wav ? "wav" : kind == Saved::tap ? "tap" : "tzx";
  try {
    if (!tape_.tape) throw Failure("No tape is open!");
    if (kind == Saved::wav) {
      convert(rate, out, warnings);
    } else {
      front::Loaded t;
      const front::Loaded *from = &tape_;
      if (tape_.tape->kind() == format::Kind::csw) {  // a CSW file is decoded into the image
        const front::Announce quiet{[](const std::string &) {}, [](const std::string &) {}};
        t = front::Load(front::LoadOptions{format::ReadOptions{path_, msx_2400_}, true, -1}, quiet, {});
        from = &t;
      }
      if (kind == Saved::own) {
        ext = OwnImage(*from->tape);
        if (ext.empty() || ext == "image") throw Failure("This tape has no image of its own machine: save it as TZX or TAP!");
      }
      const format::ImageFormat &f = front::ImageFor(*format::ImageNamed(ext), *from->tape);
      const format::Image image = front::WriteImage(*from->tape, f, 0, from->tape->size(), source,
                                                    [&warnings](const std::string &w) { warnings.push_back(w); });
      sinks::OutputFile file(out);
      file.create();
      file.put(image.data(), image.size());
      file.close();
    }
  } catch (const std::exception &e) {  // nothing half written is left
    std::remove(out.c_str());
    const bool memory = dynamic_cast<const std::bad_alloc *>(&e) != nullptr;
    return "{\"error\":" + Quoted(memory ? "Not enough memory!" : e.what()) + ",\"warnings\":" + List(warnings) + "}";
  }
  return "{\"warnings\":" + List(warnings) + ",\"ext\":" + Quoted(ext) + "}";
}

void Page::convert(int rate, const std::string &out, std::vector<std::string> &warnings) {
  sinks::WavFile wav(out, sinks::WavFile::kMaxSamples, set_.signal);
  Pipeline p(wav, wav.begin(rate), set_.timing);
  Told told;
  told.warnings = &warnings;
  front::Cursor c;
  c.end = tape_.tape->size();
  front::EndlessLoopGuard guard;
  size_t keys = 0;
  for (; c.curr < c.end; c.curr++) {
    guard.visit(c, keys);
    const front::Halt h = step(c, p.stream, told);
    if (h == front::Halt::none) continue;
    // A conversion does not wait: five seconds, then low; a choice takes the next key chosen.
    p.stream.pause(5000);
    p.stream.set_level(engine::Level::low);
    p.stream.flush();
    if (h == front::Halt::choice) {
      const char key = keys < choices_.size() ? choices_[keys] : '\n';
      keys++;
      front::Flow(*tape_.tape, set_.mode128, false, told).choose(std::get<format::Select>(tape_.tape->at(c.curr).block), key, c);
    }
  }
  p.stream.pause(1000);
  p.flush();
  wav.finish();
}

// A recording as it comes in: one decoder, its blocks listed as found.
struct Page::Recorder {
  explicit Recorder(int rate) : rate(rate), decoder(rate), meter(rate) {}
  int rate;
  decode::Decoder decoder;
  front::Meter meter;
  uint64_t frames = 0;
  std::vector<float> buffer;
  std::vector<decode::Found> found;
};

void Page::record_begin(int rate) {
  close_tape();
  recorder_ = std::make_unique<Recorder>(rate);
}

float *Page::record_buffer(size_t n) {
  if (!recorder_) return nullptr;
  recorder_->buffer.resize(n);
  return recorder_->buffer.data();
}

std::string Page::found_lines() {
  std::vector<std::string> lines;
  for (decode::Found &f : recorder_->decoder.take()) {
    const int number = static_cast<int>(recorder_->found.size()) + 1;
    const format::Block block = format::Decode(f.block[0], format::Reader(f.block.data() + 1, f.block.size() - 1));
    lines.push_back(front::OnePrefix(number, decode::Where{f.start, f.check}) +
                    listing::OneLine(block, listing::Place{number, 0, f.block[0], true, {}}));
    recorder_->found.push_back(std::move(f));
  }
  return List(lines);
}

std::string Page::record_feed(size_t n) {
  if (!recorder_) return "{\"error\":\"No recording is under way!\"}";
  Recorder &r = *recorder_;
  n = std::min(n, r.buffer.size());
  r.meter.add(r.buffer.data(), n, 1.0 / r.rate);
  r.decoder.feed(r.buffer.data(), n);
  r.frames += n;
  const std::string blocks = found_lines();
  const std::string line = front::RecordingLine(static_cast<double>(r.frames) / r.rate, false, r.meter, &r.decoder,
                                                static_cast<int>(r.found.size()), r.decoder.good(), r.decoder.bad());
  return "{\"line\":" + Quoted(line) + ",\"blocks\":" + blocks + "}";
}

std::string Page::record_end(const std::string &path) {
  if (!recorder_) return "{\"error\":\"No recording is under way!\"}";
  recorder_->decoder.finish();
  found_lines();
  std::unique_ptr<Recorder> r = std::move(recorder_);
  std::string text = strprintf("\nRecorded %s: %d blocks, %d good, %d bad\n",
                               decode::Clock(static_cast<double>(r->frames) / r->rate).c_str(),
                               static_cast<int>(r->found.size()), r->decoder.good(), r->decoder.bad());
  if (r->found.empty())
    return "{\"error\":\"No block was found in the recording: no tape is made!\",\"text\":" + Quoted(text) + "}";
  // The blocks as a TZX image, as a recording decoded from a file makes it.
  format::Image image = format::TzxHeader();
  std::vector<decode::Where> where;
  for (const decode::Found &f : r->found) {
    image.insert(image.end(), f.block.begin(), f.block.end());
    where.push_back(decode::Where{f.start, f.check});
  }
  tape_.tape = std::make_shared<const format::Tape>(format::Tape::FromTzx(std::move(image)));
  tape_.where = std::move(where);
  path_ = path;
  return described(text);
}

}  // namespace web

// The functions the page's script calls.
extern "C" {

using web::Page;

namespace {
const char *Kept(Page *p, std::string s) {
  p->reply = std::move(s);
  return p->reply.c_str();
}
}  // namespace

EMSCRIPTEN_KEEPALIVE Page *rw_new() { return new Page; }
EMSCRIPTEN_KEEPALIVE const char *rw_open(Page *p, const char *path, int msx_2400) {
  return Kept(p, p->open(path, msx_2400 != 0));
}
EMSCRIPTEN_KEEPALIVE const char *rw_prepare(Page *p, int rate, int exact, int speed, int invert, int volume, int wide,
                                            int mode128) {
  web::Settings s;
  s.rate = rate;
  s.timing = engine::Timing{exact != 0, speed};
  s.signal = sinks::Signal{volume, invert != 0, wide != 0};
  s.mode128 = mode128 != 0;
  return Kept(p, p->prepare(s));
}
EMSCRIPTEN_KEEPALIVE void rw_restart(Page *p) { p->restart(); }
EMSCRIPTEN_KEEPALIVE int rw_again(Page *p, int visit) { return p->again(visit); }
EMSCRIPTEN_KEEPALIVE int rw_next(Page *p, int visit) { return p->next(visit); }
EMSCRIPTEN_KEEPALIVE int rw_previous(Page *p, int visit) { return p->previous(visit); }
EMSCRIPTEN_KEEPALIVE int rw_go_to(Page *p, int block, int visit) { return p->go_to(block, visit); }
EMSCRIPTEN_KEEPALIVE void rw_choose(Page *p, int key) { p->choose(static_cast<char>(key)); }
EMSCRIPTEN_KEEPALIVE int rw_render(Page *p) { return p->render(); }
EMSCRIPTEN_KEEPALIVE const uint8_t *rw_samples(Page *p) { return p->samples(); }
EMSCRIPTEN_KEEPALIVE int rw_rendered(Page *p) { return p->rendered(); }
EMSCRIPTEN_KEEPALIVE int rw_rendered_visit(Page *p) { return p->rendered_visit(); }
EMSCRIPTEN_KEEPALIVE int rw_rendered_halt(Page *p) { return p->rendered_halt(); }
EMSCRIPTEN_KEEPALIVE const char *rw_said(Page *p) { return p->said().c_str(); }
EMSCRIPTEN_KEEPALIVE float rw_level(Page *p, int high) { return p->level(high != 0); }
EMSCRIPTEN_KEEPALIVE const char *rw_status(Page *p, int visit, double block_at, int paused, int width) {
  return Kept(p, p->status(visit, static_cast<uint64_t>(block_at), paused != 0, width));
}
EMSCRIPTEN_KEEPALIVE const char *rw_save(Page *p, int kind, int rate, const char *out, const char *source) {
  return Kept(p, p->save(static_cast<web::Saved>(kind), rate, out, source));
}
EMSCRIPTEN_KEEPALIVE void rw_record_begin(Page *p, int rate) { p->record_begin(rate); }
EMSCRIPTEN_KEEPALIVE float *rw_record_buffer(Page *p, int n) { return p->record_buffer(static_cast<size_t>(n)); }
EMSCRIPTEN_KEEPALIVE const char *rw_record_feed(Page *p, int n) { return Kept(p, p->record_feed(static_cast<size_t>(n))); }
EMSCRIPTEN_KEEPALIVE const char *rw_record_end(Page *p, const char *path) { return Kept(p, p->record_end(path)); }
}
