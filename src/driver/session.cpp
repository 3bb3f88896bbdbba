#include "driver/session.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <variant>

#include "engine/players.hpp"
#include "format/failure.hpp"
#include "listing/listing.hpp"
#include "sinks/live.hpp"
#include "sinks/sound_file.hpp"

namespace driver {

using format::Failure;
using format::strprintf;

namespace {

// Detects a tape that steers the replay round in circles for ever. What the
// loop does next depends only on the cursor, and on the keys typed; so when
// the cursor comes back with no key read in between, the tape would go round
// the same circle without end. Brent's cycle search finds it within two
// rounds of the circle, with a constant amount of work per block.
class EndlessLoopGuard {
 public:
  void visit(const Cursor &now, unsigned long keys) {
    if (keys == saved_keys_ && now == saved_) throw Failure("The tape loops for ever!");
    if (keys != saved_keys_ || ++steps_ == power_) {
      power_ = keys != saved_keys_ ? 1 : power_ * 2;
      saved_ = now;
      saved_keys_ = keys;
      steps_ = 0;
    }
  }

 private:
  Cursor saved_;
  unsigned long saved_keys_ = ~0ul;
  uint64_t power_ = 1, steps_ = 0;
};

}  // namespace

void Session::load() {
  format::ImageFile file(opt_.input);
  std::vector<uint8_t> image;
  file.read_rest(image);
  switch (format::KindOf(image, opt_.input).value_or(format::Kind::tzx)) {
    case format::Kind::tzx: {
      if (!format::IsTzxHeader(image.data(), image.size())) throw Failure("File is not in ZXTape format!");
      const unsigned major = image[8], minor = image[9];
      console_.say("\nZXTape file revision %d.%02d\n", major, minor);
      if (major == 0) throw Failure("Development versions of ZXTape format are not supported!");
      if (major > 1) console_.warning("Some blocks may not be recognised and used!");
      // The program knows every block of revision 1.20.
      if (major == 1 && minor > 20) console_.warning("Some of the data might not be properly recognised!");
      tape_.emplace(format::Tape::FromTzx(std::move(image)));
      break;
    }
    case format::Kind::tap:
      console_.say("\nTAP file, blocks of standard speed\n");
      tape_.emplace(format::Tape::FromTap(std::move(image)));
      break;
    case format::Kind::csw: {
      const format::CswHeader h = format::ReadCswHeader(image);
      console_.say("\nCSW file revision %u.%02u\n", h.major, h.minor);
      tape_.emplace(format::Tape::FromCsw(std::move(image), h));
      break;
    }
  }
  const int blocks = tape_->size();
  console_.say("Number of Blocks: %d\n", blocks);
  if (tape_->has_unknown_ids()) console_.warning("Some blocks were *NOT* recognised!");
  if (tape_->truncated()) console_.warning(strprintf("The tape ends inside block %d, which is ignored!", blocks + 1));
  if (tape_->kind() == format::Kind::tap) empty_tap_block();

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
}

void Session::empty_tap_block() {
  for (int i = 0; i < tape_->size(); i++) {
    const format::IndexedBlock b = tape_->at(i);
    if (std::get<format::StandardData>(b.block).data.empty()) {
      console_.warning(strprintf("TAP block %d is empty: it plays as a block without data!", i + 1));
      return;
    }
  }
}

void Session::open() {
  console_.set_paging(opt_.pages);
  if (!playing()) {
    console_.say("\n");
    if (opt_.mode == Mode::one) console_.count_lines(1);
    return;
  }
  if (!live()) refuse_to_overwrite_a_tape();
  const std::string file = signal_words(true);
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
    case Output::live:
      // The device plays the usual levels: only the timing is named.
      console_.say("\nStarting playback on CoreAudio using %d Hz frequency%s.\n\n", opt_.freq,
                   signal_words(false).c_str());
      output_ = std::make_unique<sinks::LiveOutput>();
      break;
  }
  rate_ = output_->begin(opt_.freq);
  if (live()) console_.say("CoreAudio initialized\n");
  time_.emplace(rate_, opt_.timing);
  resampler_ = std::make_unique<engine::Resampler>(*output_, *time_);
  stream_ = std::make_unique<engine::PulseStream>(*resampler_, *time_);
}

std::string Session::signal_words(bool levels) const {
  std::string w;
  if (opt_.timing.exact) w += ", exact timing";
  if (levels && opt_.signal.invert) w += ", inverted";
  if (levels && opt_.signal.volume != 0) w += strprintf(", %d%% volume", opt_.signal.volume);
  if (levels && opt_.signal.wide) w += ", 16-bit samples";
  if (opt_.timing.speed != 100) w += strprintf(", %d%% speed", opt_.timing.speed);
  return w;
}

void Session::refuse_to_overwrite_a_tape() const {
  struct stat in, out;
  if (stat(opt_.output_name.c_str(), &out) != 0) return;  // nothing there to lose
  const char *name = opt_.output_name.c_str();
  if (stat(opt_.input.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
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
    console_.say("%3d-%5llX:", cur_.curr + 1, static_cast<unsigned long long>(b.offset));
  }
}

void Session::texts(const format::Block &block, const listing::Place &at) {
  if (opt_.mode == Mode::info) {
    for (const listing::Piece &p : listing::Extensive(block, at)) console_.writeout(p.text, p.extra);
  } else if (draw_) {
    console_.text(listing::OneLine(block, at));
  }
}

void Session::visit(const format::IndexedBlock &b) {
  if (const auto *h = std::get_if<format::HardwareInfo>(&b.block)) machine_ = listing::DetectMachine(*h, machine_);
  if (playing() && flow(b)) return;
  texts(b.block, listing::Place{cur_.curr + 1, b.offset, b.id, cur_.curr == cur_.end - 1, machine_});
  if (std::holds_alternative<format::GroupStart>(b.block) && !opt_.expand) draw_ = false;
  if (std::holds_alternative<format::GroupEnd>(b.block)) draw_ = true;
  if (playing()) {
    const std::string problem = engine::Play(b.block, *stream_);
    if (!problem.empty()) console_.warning(strprintf("Block %d %s!", cur_.curr + 1, problem.c_str()));
    stream_->flush();  // each block's samples are out (or over the limit) before the next
  }
}

void Session::visit_blocks() {
  EndlessLoopGuard guard;
  while (cur_.curr < cur_.end) {
    if (playing()) guard.visit(cur_, console_.keys_read());
    const format::IndexedBlock b = tape_->at(cur_.curr);
    prefix(b);
    visit(b);
    cur_.curr++;
  }
}

void Session::flush_output() {
  stream_->flush();
  resampler_->flush();
}

void Session::close() {
  if (!output_) return;
  stream_->pause(1000);
  flush_output();
  output_->finish();
  output_.reset();
}

void Session::end_early() {
  if (!output_) return;
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
}

}  // namespace driver
