#include "driver/record.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#include "decode/decoder.hpp"
#include "decode/recording.hpp"
#include "driver/status.hpp"
#include "driver/terminal.hpp"
#include "front/recording_line.hpp"
#include "front/tape.hpp"
#include "format/failure.hpp"
#include "format/registry.hpp"
#include "format/tape.hpp"
#include "format/writer.hpp"
#include "listing/listing.hpp"
#include "os/files.hpp"
#include "sinks/recording_file.hpp"

namespace driver {

using front::Meter, front::RecordingLine;
using format::Failure;
using format::strprintf;

namespace {

constexpr size_t kFrames = 4096;  // read at a time
constexpr int kWaitMs = 50;       // for frames, before keys and the status line are looked at again
constexpr double kDrawEvery = 0.25;  // seconds between two drawings of the status line

// Where the blocks go: a tape image (TZX led by a description, or TAP),
// written as each block comes, so that the file is a valid tape after every
// block. A block shown while it waits for its pause is written with the
// pause so far and written again, where it stands, once the pause is known.
class TapeOut {
 public:
  TapeOut(const std::string &path, bool tap, const std::string &description) : path_(path), tap_(tap) {
    if (const int err = file_.create(path)) failed("create", err);
    if (!tap_) {
      format::Image head = format::TzxHeader();
      const format::Image text = format::EncodeText(description);
      head.insert(head.end(), text.begin(), text.end());
      append(head);
    }
  }
  // Adds a block (a TZX block, its ID first); false when a TAP file cannot
  // hold it. `at` is where it stands.
  bool add(const format::Image &block, uint64_t &at) {
    at = size_;
    if (!tap_) return append(block), true;
    const format::Block b = format::Decode(block[0], format::Reader(block.data() + 1, block.size() - 1));
    const std::optional<format::Image> t = format::EncodeTapBlock(b);
    if (t) append(*t);
    return t.has_value();
  }
  // A block written again where it stands: its pause is known now (a TAP
  // file holds no pause).
  void rewrite(uint64_t at, const format::Image &block, size_t was) {
    if (tap_ || block.size() != was) return;
    write_at(at, block);
    if (const int err = file_.seek(size_)) failed("seek in", err);
  }
  uint64_t blocks_bytes() const { return size_; }
  void close() {
    if (const int err = file_.close()) failed("write to", err);
  }
  const std::string &path() const { return path_; }

 private:
  void append(const format::Image &b) {
    write_at(size_, b);
    size_ += b.size();
  }
  void write_at(uint64_t at, const format::Image &b) {
    if (at != size_) {
      if (const int err = file_.seek(at)) failed("seek in", err);
    }
    const os::Piece piece{b.data(), b.size()};
    if (const int err = file_.write(std::span<const os::Piece>(&piece, 1))) failed("write to", err);
  }
  [[noreturn]] void failed(const char *what, int err) {
    throw Failure(strprintf("Cannot %s %s: %s", what, path_.c_str(), std::strerror(err)));
  }

  std::string path_;
  bool tap_;
  os::File file_;
  uint64_t size_ = 0;
};

// Where the blocks of another machine's tape go: its image, as its writer
// writes it, written whole again after each block, so that the file is a
// valid tape after every block.
class ImageOut {
 public:
  ImageOut(const std::string &path, const format::ImageFormat &named) : path_(path), named_(named) {
    os::File f;
    if (const int err = f.create(path)) throw Failure(strprintf("Cannot create %s: %s", path.c_str(), std::strerror(err)));
    f.close();
  }
  // Adds the family's blocks; returns the tape they make and the first of
  // its blocks that are new.
  std::pair<std::shared_ptr<const format::Tape>, int> add(const decode::Decoder &d, std::vector<decode::Found> found) {
    const size_t first = found_.size();
    for (decode::Found &f : found) found_.push_back(std::move(f));
    const decode::FamilyType &family = d.family();
    decode::DecodedTape t;
    t.kind = family.kind, t.ext = family.ext;
    t.options.name = std::string("recording.") + t.ext;
    d.reading(t.options, t.warnings);
    std::vector<size_t> offsets;
    t.image = family.image(found_, offsets);
    auto tape = std::make_shared<const format::Tape>(decode::ReadDecoded(t));
    int from = tape->size();
    while (from > 0 && first < offsets.size() && tape->at(from - 1).offset >= offsets[first]) from--;
    const format::ImageFormat &image = front::ImageFor(named_, *tape);
    const format::Image bytes = front::WriteImage(*tape, image, 0, tape->size(), "the line input", [](const std::string &) {});
    os::File f;
    int err = f.create(path_);
    const os::Piece piece{bytes.data(), bytes.size()};
    if (!err) err = f.write(std::span<const os::Piece>(&piece, 1));
    if (const int c = f.close(); !err) err = c;
    if (err) throw Failure(strprintf("Cannot write to %s: %s", path_.c_str(), std::strerror(err)));
    return {tape, from};
  }
  // Where the tape's block at `i` lies in the recording.
  decode::Where where(const format::Tape &tape, int i, const decode::FamilyType &family) const {
    std::vector<size_t> offsets;
    family.image(found_, offsets);
    size_t k = 0;
    while (k + 1 < offsets.size() && offsets[k + 1] <= tape.at(i).offset) k++;
    return {found_[k].start, found_[k].check};
  }
  int blocks() const { return static_cast<int>(found_.size()); }

 private:
  std::string path_;
  const format::ImageFormat &named_;
  std::vector<decode::Found> found_;
};

// The square wave of a recording as a CSW file, a pulse as it is found.
class CswOut {
 public:
  CswOut(const std::string &path, int rate) : path_(path) {
    if (const int err = file_.create(path)) fail("create", err);
    put(format::CswFileHeader(static_cast<uint32_t>(rate), 0, false));
  }
  void pulse(double samples) {
    carry_ += samples;
    const double whole = std::floor(carry_);
    if (whole < 1) return;
    carry_ -= whole;
    format::AppendRle(staged_, static_cast<uint32_t>(std::min(whole, 4e9)));
    if (staged_.size() >= 1 << 16) flush();
  }
  void close() {
    flush();
    if (const int err = file_.close()) fail("write to", err);
  }

 private:
  void flush() {
    put(staged_);
    staged_.clear();
  }
  void put(const format::Image &b) {
    const os::Piece piece{b.data(), b.size()};
    if (const int err = file_.write(std::span<const os::Piece>(&piece, 1))) fail("write to", err);
  }
  [[noreturn]] void fail(const char *what, int err) {
    throw Failure(strprintf("Cannot %s %s: %s", what, path_.c_str(), std::strerror(err)));
  }
  std::string path_;
  os::File file_;
  format::Image staged_;
  double carry_ = 0;
};

class Recorder {
 public:
  Recorder(const Options &o, Console &console, sinks::LineInput &in)
      : opt_(o), console_(console), in_(in), rate_(in.rate()), meter_(rate_) {
    const int channels = in.channels();
    // Of two channels the one asked for; else each is decoded until the
    // first block tells which decodes better.
    // (A CSW file is the square wave of one: the left unless -right.)
    const int decoders = channels == 2 && opt_.channel < 0 && opt_.output != Output::csw ? 2 : 1;
    for (int c = 0; c < decoders; c++) dec_[c] = std::make_unique<decode::Decoder>(rate_);
    channel_ = channels == 2 && opt_.channel == 1 ? 1 : 0;
    chosen_ = decoders == 1;
    const std::string source = strprintf("the line input, %d Hz", rate_);
    switch (opt_.output) {
      case Output::tzx:
      case Output::tap:
        tape_.emplace(opt_.output_name, opt_.output == Output::tap, "Recorded by reelwright from " + source);
        break;
      case Output::image:
        image_.emplace(opt_.output_name, *opt_.image);
        break;
      case Output::csw:
        csw_.emplace(opt_.output_name, rate_);
        dec_[0]->on_pulse([this](double p) { csw_->pulse(p); });
        break;
      default:
        sound_ = std::make_unique<sinks::RecordingFile>(
            opt_.output_name,
            opt_.output == Output::wav ? sinks::RecordingFile::Kind::wav
            : opt_.output == Output::au ? sinks::RecordingFile::Kind::au
                                        : sinks::RecordingFile::Kind::voc,
            rate_, channels, opt_.signal.wide);
    }
    if (console_.status_out()) status_ = std::make_unique<StatusLine>(console_, console_.status_out());
    if (status_) console_.before_text([this] { status_->clear(); });
  }

  ~Recorder() {
    if (status_) console_.before_text(nullptr);
  }

  void run() {
    console_.start_keys();
    std::vector<float> a(kFrames), b(kFrames);
    auto last_drawn = std::chrono::steady_clock::now();
    while (!ended()) {
      const size_t n = in_.read(a.data(), b.data(), kFrames, kWaitMs);
      if (n > 0 && !paused_) take(a.data(), b.data(), n);
      const auto now = std::chrono::steady_clock::now();
      if (status_ && now - last_drawn >= std::chrono::duration<double>(kDrawEvery)) {
        draw();
        last_drawn = now;
      }
    }
    if (status_) status_->clear();
    for (auto &d : dec_)
      if (d) d->finish();
    blocks();
    finish();
  }

 private:
  // ESC or q, a signal, or the keys gone; space pauses and goes on.
  bool ended() {
    if (terminal::EndAsked()) return true;
    while (const std::optional<Key> k = console_.poll_key(0)) {
      if (k->kind != Key::text) continue;
      if (k->ch == ESC || k->ch == 'q' || k->ch == 'Q') return true;
      if (k->ch == ' ') paused_ = !paused_;
    }
    return false;
  }

  void take(const float *a, const float *b, size_t n) {
    const float *mine = channel_ == 1 ? b : a;
    meter_.add(mine, n, 1.0 / rate_);
    if (sound_) sound_->write(a, in_.channels() == 2 ? b : nullptr, n);
    for (int c = 0; c < 2; c++)
      if (dec_[c]) dec_[c]->feed(dec_[1] ? (c ? b : a) : mine, n);
    recorded_ += n;
    blocks();
  }

  // The decoder's blocks: each shown and written once it has ended.
  void blocks() {
    if (!chosen_) choose();
    if (!chosen_) return;
    decode::Decoder &d = *dec_[0];
    if (!d.known()) return;
    // Another machine's tape, named as a TZX or TAP image of the Spectrum:
    // a TAP file may be a Commodore one; a TZX image cannot hold it.
    if (tape_ && d.family().kind != format::Kind::tzx) {
      tape_->close();
      tape_.reset();
      image_.emplace(opt_.output_name, *opt_.image);
    }
    if (image_) return others(d);
    for (decode::Found &f : d.take()) {
      if (waiting_ && waiting_->start == f.start) {
        if (tape_ && waiting_->kept) tape_->rewrite(waiting_->at, f.block, waiting_->size);
        waiting_.reset();
        continue;
      }
      found(f);
    }
    if (std::optional<decode::Found> w = d.waiting(); w && !(waiting_ && waiting_->start == w->start)) {
      const Shown s = found(*w);
      waiting_ = Shown{w->start, s.at, w->block.size(), s.kept};
    }
  }

  // The blocks of another machine's tape: written, and each of its blocks
  // that is new shown.
  void others(decode::Decoder &d) {
    std::vector<decode::Found> found = d.take();
    if (found.empty()) return;
    for (const decode::Found &f : found) good_ += f.check == decode::Check::good, bad_ += f.check == decode::Check::bad;
    std::shared_ptr<const format::Tape> tape;
    int from = 0;
    try {
      std::tie(tape, from) = image_->add(d, std::move(found));
    } catch (const Failure &) {
      os::Remove(opt_.output_name);  // an image that cannot hold the tape is not left behind
      throw;
    }
    for (int i = from; i < tape->size(); i++) {
      const format::IndexedBlock b = tape->at(i);
      console_.text(front::OnePrefix(++number_, image_->where(*tape, i, d.family())));
      console_.text(listing::OneLine(b.block, listing::Place{number_, b.offset, b.id, true, {}}));
    }
    console_.flush();
  }

  // With two channels decoded, the first block tells: the channel whose
  // machine is known (a block surely its own), then the one whose block
  // waiting checks good (the left when alike).
  void choose() {
    int score[2] = {};
    for (int c = 0; c < 2; c++) {
      const std::optional<decode::Found> w = dec_[c]->waiting();
      score[c] = 4 * dec_[c]->known() + 2 * (w && w->check == decode::Check::good) + (dec_[c]->found() > 0 || w);
    }
    if (score[0] == 0 && score[1] == 0) return;
    channel_ = score[1] > score[0];
    if (channel_ == 1) std::swap(dec_[0], dec_[1]);
    dec_[1].reset();
    chosen_ = true;
  }

  struct Shown {
    double start = 0;
    uint64_t at = 0;
    size_t size = 0;
    bool kept = false;
  };

  // A block found: its line, and into the tape.
  Shown found(const decode::Found &f) {
    Shown s{f.start};
    number_++;
    good_ += f.check == decode::Check::good;
    bad_ += f.check == decode::Check::bad;
    const format::Block block = format::Decode(f.block[0], format::Reader(f.block.data() + 1, f.block.size() - 1));
    console_.text(front::OnePrefix(number_, decode::Where{f.start, f.check}));
    listing::Place at{number_, 0, f.block[0], true, {}};
    console_.text(listing::OneLine(block, at));
    if (tape_) {
      s.kept = tape_->add(f.block, s.at);
      if (!s.kept)
        console_.warning(strprintf("Block %d (%s) cannot be held by a TAP file: it is left out!", number_,
                                   format::TypeOf(f.block[0]).name));
    }
    console_.flush();
    return s;
  }

  void draw() {
    std::string line = RecordingLine(static_cast<double>(recorded_) / rate_, paused_, meter_,
                                     chosen_ ? dec_[0].get() : nullptr, number_, good_, bad_);
    const size_t room = static_cast<size_t>(std::max(status_->width() - 1, 0));
    status_->show(line.size() <= room ? line : line.substr(0, line.rfind("  ", room) == std::string::npos ? room : line.rfind("  ", room)));
  }

  void finish() {
    if (sound_) sound_->finish();
    if (csw_) csw_->close();
    if (tape_) tape_->close();
    if (in_.lost() > 0)
      console_.warning(strprintf("%llu samples were lost: the machine was too busy to take them!",
                                 static_cast<unsigned long long>(in_.lost())));
    console_.say("\nRecorded %s: %d blocks, %d good, %d bad\n", decode::Clock(static_cast<double>(recorded_) / rate_).c_str(),
                 number_, good_, bad_);
    if ((tape_ || image_) && number_ == 0) {
      os::Remove(opt_.output_name);
      throw Failure("No block was found in the recording: no tape is made!");
    }
  }

  const Options &opt_;
  Console &console_;
  sinks::LineInput &in_;
  const int rate_;
  Meter meter_;
  std::unique_ptr<decode::Decoder> dec_[2];
  int channel_ = 0;
  bool chosen_ = false, paused_ = false;
  std::optional<TapeOut> tape_;
  std::optional<ImageOut> image_;
  std::optional<CswOut> csw_;
  std::unique_ptr<sinks::RecordingFile> sound_;
  std::unique_ptr<StatusLine> status_;
  std::optional<Shown> waiting_;
  int number_ = 0, good_ = 0, bad_ = 0;
  uint64_t recorded_ = 0;  // frames
};

}  // namespace

void Record(const Options &o, Console &console, sinks::LineInput &input) {
  // Nothing is written over a tape image.
  if (os::IdentityOf(o.output_name).exists && format::IsTapeImage(o.output_name))
    throw Failure(strprintf("%s is a tape image: it is not overwritten!", o.output_name.c_str()));
  const int rate = input.begin(o.freq);
  console.say("\nRecording from the line input at %d Hz into %s: ESC or q ends it, space pauses.\n\n", rate,
              o.output_name.c_str());
  terminal::EndGently(true);
  try {
    Recorder r(o, console, input);
    r.run();
  } catch (...) {
    terminal::EndGently(false);
    input.finish();
    throw;
  }
  terminal::EndGently(false);
  input.finish();
}

}  // namespace driver
