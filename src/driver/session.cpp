#include "driver/session.hpp"

#include <algorithm>
#include <variant>

#include "decode/recording.hpp"
#include "driver/status.hpp"
#include "engine/players.hpp"
#include "format/failure.hpp"
#include "format/writer.hpp"
#include "front/tape.hpp"
#include "listing/listing.hpp"
#include "os/files.hpp"
#include "sinks/sound_file.hpp"

namespace driver {

using format::Failure;
using format::strprintf;

namespace {

// Counts the samples it is given.
class SampleCounter final : public engine::SampleOutput {
 public:
  explicit SampleCounter(uint64_t capacity) : capacity_(capacity) {}
  int begin(int rate) override { return rate; }
  void run(uint8_t, uint64_t n) override { count += n; }
  void samples(std::span<const uint8_t> s) override { count += s.size(); }
  void finish() override {}
  void abandon() override {}
  uint64_t capacity() const override { return capacity_; }

  uint64_t count = 0;

 private:
  uint64_t capacity_;
};

// Where a run that measures ends: the tape waits for a key there.
struct WaitsAhead {
  StatusView::Until until;
};

}  // namespace

void Session::load() {
  // While decoding a recording, at a terminal: the place in it and the blocks found.
  std::optional<StatusLine> line;
  if (console_.status_out()) line.emplace(console_, console_.status_out());
  double shown = -1;
  const decode::Progress progress = [&](double at, double length, const decode::Decoder &d) {
    if (!line || at - shown < 0.5) return;
    shown = at;
    line->show(strprintf("Decoding %s%s%s  blocks: %d, %d good, %d bad", decode::Clock(at).c_str(),
                         length > 0 ? " of " : "", length > 0 ? decode::Clock(length).c_str() : "", d.found(), d.good(),
                         d.bad()));
  };
  const front::Announce say{[&](const std::string &s) {
                              line.reset();
                              console_.text(s);
                            },
                            [&](const std::string &s) { console_.warning(s); }};
  front::Loaded t = front::Load(
      front::LoadOptions{format::ReadOptions{opt_.input, opt_.msx_2400},
                         (IsTapeOutput(opt_.output) && opt_.mode == Mode::play) || opt_.mode == Mode::contents, opt_.channel},
      say, progress);
  tape_ = std::move(t.tape);
  where_ = std::move(t.where);
  index_blocks();
}

void Session::index_blocks() {
  const int blocks = tape_->size();
  cur_.curr = 0;
  cur_.end = blocks;
  if (opt_.starting > 1) {
    if (opt_.starting > blocks) throw Failure("Invalid Starting Block");
    cur_.curr = opt_.starting - 1;
  }
  if (opt_.ending > 0) {
    if (opt_.ending > blocks || opt_.ending < opt_.starting) throw Failure("Invalid Ending Block");
    cur_.end = opt_.ending;
  }
  first_ = cur_.curr;
}

void Session::open() {
  console_.set_paging(opt_.pages);
  if (!playing()) {
    console_.say("\n");
    if (opt_.mode == Mode::one) console_.count_lines(1);
    return;
  }
  if (!live()) refuse_to_overwrite_a_tape();
  if (IsTapeOutput(opt_.output)) {
    const format::ImageFormat *f = format::ImageFor(*opt_.image, *tape_);
    console_.say("\nCreating %s tape image %s.\n\n", (f ? f : opt_.image)->title, opt_.output_name.c_str());
    return;
  }
  const std::string file = signal_words();
  switch (opt_.output) {
    case Output::voc:
      console_.say("\nCreating .VOC file using %d Hz frequency%s.\n\n", opt_.freq, file.c_str());
      output_ = std::make_unique<sinks::VocFile>(opt_.output_name, limits_.max_samples, opt_.signal);
      break;
    case Output::au:
      console_.say("\nCreating .au file using %d Hz frequency%s.\n\n", opt_.freq, file.c_str());
      output_ = std::make_unique<sinks::AuFile>(opt_.output_name, limits_.max_samples, opt_.signal);
      break;
    case Output::wav:
      console_.say("\nCreating .wav file using %d Hz frequency%s.\n\n", opt_.freq, file.c_str());
      output_ = std::make_unique<sinks::WavFile>(opt_.output_name, limits_.max_samples, opt_.signal);
      break;
    case Output::live: {
      console_.say("\nStarting playback on CoreAudio using %d Hz frequency%s.\n\n", opt_.freq, file.c_str());
      auto live = std::make_unique<sinks::LiveOutput>(sinks::DefaultSoundDevice(), opt_.signal);
      live_ = live.get();
      output_ = std::move(live);
      break;
    }
    case Output::tzx:
    case Output::tap:
    case Output::image:
    case Output::csw: return;  // written by write_tape(); csw: recordings only
  }
  rate_ = output_->begin(opt_.freq);
  if (live_ && (console_.interactive() || console_.status_out())) {
    transport_ = std::make_unique<Transport>(console_, *live_, console_.status_out(), tape_->size());
    live_->on_wait([this] {
      if (transport_) transport_->on_wait();
    });
  }
  if (live()) console_.say("CoreAudio initialized\n");
  time_.emplace(rate_, opt_.timing);
  resampler_ = std::make_unique<engine::Resampler>(*output_, *time_);
  stream_ = std::make_unique<engine::PulseStream>(*resampler_, *time_);
}

Session::Session(const Session &live, Console &muted, Measuring)
    : opt_(live.opt_), console_(muted), limits_(live.limits_), tape_(live.tape_), measuring_(true), rate_(live.rate_) {
  output_ = std::make_unique<SampleCounter>(limits_.max_samples);
  time_.emplace(rate_, opt_.timing);
  resampler_ = std::make_unique<engine::Resampler>(*output_, *time_);
  stream_ = std::make_unique<engine::PulseStream>(*resampler_, *time_);
}

Session::Measure Session::measure_from(const Visit &v) const {
  Console muted(nullptr, static_cast<Keyboard *>(nullptr));
  Session m(*this, muted, Measuring{});
  m.cur_ = v.cursor;
  m.draw_ = v.draw;
  m.machine_ = v.machine;
  m.stream_->set_level(v.level);
  Measure r;
  try {
    try {
      m.visit_blocks();
    } catch (const WaitsAhead &w) {
      r.until = w.until;
    }
    m.flush_output();
  } catch (const Failure &) {
    r.until = StatusView::Until::unknown;  // it loops for ever, or longer than any output holds
  }
  r.samples = static_cast<const SampleCounter &>(*m.output_).count;
  return r;
}

Session::Measure Session::measure_block(int index, engine::Level level) const {
  SampleCounter count(UINT64_MAX);
  engine::Resampler r(count, *time_);
  engine::PulseStream s(r, *time_);
  s.set_level(level);
  engine::Play(tape_->at(index).block, s);
  s.flush();
  r.flush();
  return Measure{count.count, s.level()};
}

void Session::wait_ahead(StatusView::Until until) const {
  if (measuring_) throw WaitsAhead{until};
}

namespace {
// Half the length, in samples, of the level run played before a live wait.
constexpr uint32_t kLiveStopRun = 1024;
}  // namespace

void Session::line(const std::string &s) {
  if (draw_) console_.text(s);
}

void Session::say(const std::string &s) { console_.text(s); }

void Session::ignored(int number, const char *what) {
  console_.say("\n-- Warning: Block %d %s - ignored!\n", number, what);
  console_.count_lines(2);
}

void Session::ahead(StatusView::Until until) { wait_ahead(until); }

void Session::conversion_stop() {
  stream_->pause(5000);
  stream_->set_level(engine::Level::low);
  stream_->flush();
}

void Session::reopen_live() {
  rate_ = output_->begin(rate_);
  console_.say("CoreAudio initialized\n");
}

char Session::key_wait_live() {
  // Everything up to the stop is queued before the wait.
  flush_output();
  const char key = transport_ ? transport_->wait_key() : console_.key_wait();
  total_stale_ = true;  // the tape goes on to its next wait, or its end
  return key;
}

char Session::live_stop() {
  if (transport_) transport_->ask_key();
  stream_->hold(2 * kLiveStopRun);
  const char key = key_wait_live();
  reopen_live();
  return key;
}

bool Session::flow(const format::IndexedBlock &b) {
  if (std::holds_alternative<format::StopTape>(b.block)) engine::Play(b.block, *stream_);  // the level goes low
  front::Flow flow(*tape_, opt_.mode128, live(), *this);
  const std::optional<front::Halt> halt = flow.follow(b.block, cur_);
  if (!halt) return false;
  if (*halt == front::Halt::none) return true;
  if (live()) {
    const char key = live_stop();
    if (*halt == front::Halt::choice) flow.choose(std::get<format::Select>(b.block), key, cur_);
  } else {
    conversion_stop();
    if (*halt == front::Halt::choice) flow.choose(std::get<format::Select>(b.block), console_.key_wait(), cur_);
  }
  return true;
}

std::string Session::signal_words() const {
  std::string w;
  if (opt_.timing.exact) w += ", exact timing";
  if (opt_.signal.invert) w += ", inverted";
  if (opt_.signal.volume != 0) w += strprintf(", %d%% volume", opt_.signal.volume);
  if (opt_.signal.wide) w += ", 16-bit samples";
  if (opt_.timing.speed != 100) w += strprintf(", %d%% speed", opt_.timing.speed);
  return w;
}

void Session::refuse_to_overwrite_a_tape() const {
  const os::FileId out = os::IdentityOf(opt_.output_name);
  if (!out.exists) return;  // nothing there to lose
  const char *name = opt_.output_name.c_str();
  if (os::IdentityOf(opt_.input) == out)
    throw Failure(strprintf("%s is the tape being read: it is not overwritten!", name));
  if (format::IsTapeImage(opt_.output_name))
    throw Failure(strprintf("%s is a tape image: it is not overwritten!", name));
}

void Session::prefix(const format::IndexedBlock &b) {
  if (!draw_) return;
  if (opt_.mode == Mode::play) {
    console_.say("Block %3d:", cur_.curr + 1);
  } else if (opt_.mode == Mode::one) {
    console_.one_line_page();
    console_.text(front::OnePrefix(where_, cur_.curr, b.offset));
  }
}

std::string Session::where() const { return front::WhereClock(where_, cur_.curr); }

const char *Session::check_word() const { return front::CheckWord(where_[static_cast<size_t>(cur_.curr)].check); }

listing::Place Session::place(const format::IndexedBlock &b) const {
  return listing::Place{cur_.curr + 1, b.offset, b.id, cur_.curr == cur_.end - 1, machine_};
}

void Session::texts(const format::Block &block, const listing::Place &at) {
  if (opt_.mode == Mode::info) {
    for (const listing::Piece &p : listing::Extensive(block, at)) console_.writeout(p.text, p.extra);
    if (!where_.empty())
      console_.writeout(where_[static_cast<size_t>(cur_.curr)].check == decode::Check::sound
                            ? strprintf("In the recording at %s; kept as it sounds\n\n", where().c_str())
                        : where_[static_cast<size_t>(cur_.curr)].check == decode::Check::none
                            ? strprintf("In the recording at %s; no checksum\n\n", where().c_str())
                            : strprintf("In the recording at %s; checksum %s\n\n", where().c_str(), check_word()),
                        1);
  } else if (draw_) {
    console_.text(listing::OneLine(block, at));
  }
}

void Session::visit(const format::IndexedBlock &b) {
  if (const auto *h = std::get_if<format::HardwareInfo>(&b.block)) machine_ = listing::DetectMachine(*h, machine_);
  if (playing() && flow(b)) return;
  texts(b.block, place(b));
  if (std::holds_alternative<format::GroupStart>(b.block) && !opt_.expand) draw_ = false;
  if (std::holds_alternative<format::GroupEnd>(b.block)) draw_ = true;
  if (playing()) {
    const std::string problem = engine::Play(b.block, *stream_);
    if (!problem.empty()) console_.warning(strprintf("Block %d %s!", cur_.curr + 1, problem.c_str()));
    stream_->flush();  // each block's samples are out (or over the limit) before the next
  }
}

void Session::visit_blocks() {
  front::EndlessLoopGuard guard;
  while (cur_.curr < cur_.end) {
    if (playing()) guard.visit(cur_, console_.keys_read());
    const format::IndexedBlock b = tape_->at(cur_.curr);
    if (transport_) begin_visit(b);
    prefix(b);
    visit(b);
    cur_.curr++;
  }
}

void Session::write_tape() {
  const format::ImageFormat &image = front::ImageFor(*opt_.image, *tape_);
  for (cur_.curr = first_; cur_.curr < cur_.end; cur_.curr++) {
    const format::IndexedBlock b = tape_->at(cur_.curr);
    prefix(b);
    texts(b.block, place(b));
  }
  const format::Image bytes =
      front::WriteImage(*tape_, image, first_, cur_.end, opt_.input.substr(os::NameStart(opt_.input)),
                        [this](const std::string &w) { console_.warning(w); });
  sinks::OutputFile file(opt_.output_name);
  file.create();
  file.put(bytes.data(), bytes.size());
  file.close();
}

void Session::play() {
  if (IsTapeOutput(opt_.output)) return write_tape();
  for (;;) {
    try {
      visit_blocks();
      close();
      return;
    } catch (const Steer &s) {
      if (!steer(s)) {
        // Past the end while the tape closes: it ends now.
        live_->discard();
        finish_output();
        return;
      }
    }
  }
}

void Session::begin_visit(const format::IndexedBlock &b) {
  flush_output();  // every sample before the block is queued
  Visit v;
  v.index = cur_.curr;
  v.cursor = cur_;
  v.level = stream_->level();
  v.draw = draw_;
  v.machine = machine_;
  v.length = measure_block(cur_.curr, v.level).samples;
  v.text = listing::OneLine(b.block, place(b));
  const Visit &kept = transport_->begin(std::move(v));
  if (total_stale_) {
    const Measure m = measure_from(kept);
    transport_->set_total(kept.tape_at + m.samples, m.until);
    total_stale_ = false;
  }
}

int Session::sounding_block_before(int index) const {
  for (int i = index - 1; i >= first_; i--)
    if (measure_block(i, engine::Level::low).samples != 0) return i;
  return -1;
}

bool Session::steer(const Steer &s) {
  const Visit heard = transport_->heard();
  Visit to = heard;
  switch (s.kind) {
    case Steer::back: break;
    case Steer::previous:
      if (const int i = sounding_block_before(heard.index); i >= 0) {
        if (const std::optional<Visit> &v = transport_->last_of(i)) {
          to = *v;
        } else {  // never played: it begins with the flow as it stands
          to.index = to.cursor.curr = i;
        }
      }
      break;
    case Steer::next:
      if (std::optional<Visit> after = transport_->after_heard()) {
        to = *after;
      } else {
        if (closing_) return false;
        // The block heard ends as it would have, its pause included.
        const Measure rest = measure_block(heard.index, heard.level);
        to.index = to.cursor.curr = heard.index + 1;
        to.level = rest.level;
        to.tape_at = heard.tape_at + rest.samples;
      }
      break;
  }
  stream_->drop();
  resampler_->drop();
  live_->discard();
  cur_ = to.cursor;
  draw_ = to.draw;
  machine_ = to.machine;
  stream_->set_level(to.level);
  transport_->rewind(to);
  total_stale_ = true;
  closing_ = false;
  return true;
}

void Session::flush_output() {
  stream_->flush();
  resampler_->flush();
}

void Session::close() {
  if (!output_) return;
  closing_ = true;
  stream_->pause(1000);
  flush_output();
  finish_output();
}

void Session::finish_output() {
  output_->finish();
  transport_.reset();
  output_.reset();
  live_ = nullptr;
}

void Session::end_early() {
  if (!output_) return;
  transport_.reset();
  auto report = [this](auto step) {
    try {
      step();
    } catch (const Failure &f) {
      console_.say("\n-- Error: %s\n", f.what());
    }
  };
  if (stream_) {
    if (live()) {
      // Nothing more is played: the device stops at once.
      stream_->drop();
      resampler_->drop();
    } else {
      // Everything converted so far goes into the file.
      report([this] { flush_output(); });
    }
  }
  report([this] { output_->abandon(); });
  output_.reset();
  live_ = nullptr;
}

}  // namespace driver
