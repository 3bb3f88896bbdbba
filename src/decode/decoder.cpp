#include "decode/decoder.hpp"

#include <cmath>
#include <iterator>
#include <numbers>

#include "decode/edges.hpp"

namespace decode {

Decoder::Decoder(int rate) : rate_(rate) {
  for (const FamilyType &f : Families()) {
    families_.push_back(f.make(rate));
    // One edge stage for each high-pass asked for.
    const double pole = f.highpass > 0 ? std::exp(-2 * std::numbers::pi * f.highpass / rate) : 0;
    size_t e = 0;
    while (e < ears_.size() && ears_[e].pole != pole) e++;
    if (e == ears_.size()) ears_.push_back({std::make_unique<EdgeStage>(rate), pole, 0, 0, {}});
    ear_of_.push_back(e);
  }
  held_.resize(families_.size());
}

Decoder::~Decoder() = default;

double Decoder::quiet(size_t family) const {
  return ears_[ear_of_[family]].edges->quiet();
}

void Decoder::hear(Ear &e, const float *samples, size_t n) {
  const float *s = samples;
  if (e.pole > 0) {
    e.heard.resize(n);
    for (size_t i = 0; i < n; i++) e.out = e.pole * (e.out + samples[i] - e.in), e.in = samples[i], e.heard[i] = static_cast<float>(e.out);
    s = e.heard.data();
  }
  pulses_.clear();
  e.edges->run(s, n, pulses_);
}

void Decoder::listen(size_t e, const float *samples, size_t n) {
  // The families that hear this stage (once the recording's is known, one).
  Family *hearing[8];
  size_t count = 0;
  for (size_t k = 0; k < families_.size() && count < std::size(hearing); k++)
    if (families_[k] && ear_of_[k] == e) hearing[count++] = families_[k].get();
  const bool square = e == 0 && on_pulse_;  // the square wave of a recording is the first stage's
  if (count == 0 && !square) return;
  hear(ears_[e], samples, n);
  for (double p : pulses_) {
    if (square) on_pulse_(p);
    for (size_t k = 0; k < count; k++) hearing[k]->pulse(p);
  }
}

void Decoder::feed(const float *samples, size_t n) {
  if (n == 0) return;
  for (size_t e = 0; e < ears_.size(); e++) listen(e, samples, n);
  last_ = samples[n - 1];
  for (size_t k = 0; k < families_.size(); k++)
    if (families_[k]) families_[k]->idle(quiet(k));
  gather();
}

void Decoder::rest(uint64_t n) {
  constexpr size_t kPiece = 1 << 14;
  std::vector<float> same(static_cast<size_t>(std::min<uint64_t>(n, kPiece)), last_);
  for (size_t e = 0; e < ears_.size(); e++) {
    bool heard = false;  // by a family, or for the square wave
    for (size_t k = 0; k < families_.size(); k++) heard |= families_[k] && ear_of_[k] == e;
    if (!heard && !(e == 0 && on_pulse_)) continue;
    Ear &ear = ears_[e];
    // Until the stage has settled on the level (a high-pass's output sinks
    // to nothing first), the samples themselves.
    for (uint64_t left = n; left > 0;) {
      const uint64_t took = ear.edges->rest(left);
      left -= took;
      if (ear.pole > 0 && took > 0) ear.out *= std::pow(ear.pole, static_cast<double>(took));
      if (left == 0) break;
      const size_t k = static_cast<size_t>(std::min<uint64_t>(left, kPiece));
      listen(e, same.data(), k);
      left -= k;
    }
  }
  for (size_t k = 0; k < families_.size(); k++)
    if (families_[k]) families_[k]->idle(quiet(k));
  gather();
}

void Decoder::finish() {
  if (finished_) return;  // the recording has ended already
  finished_ = true;
  for (size_t e = 0; e < ears_.size(); e++) {
    pulses_.clear();
    ears_[e].edges->flush(pulses_);
    for (double p : pulses_) {
      if (on_pulse_ && e == 0) on_pulse_(p);
      for (size_t k = 0; k < families_.size(); k++)
        if (families_[k] && ear_of_[k] == e) families_[k]->pulse(p);
    }
  }
  for (size_t k = 0; k < families_.size(); k++)
    if (families_[k]) families_[k]->finish(quiet(k));
  gather();
  if (known_ < 0) known_ = 0;  // no family is sure: the first one's
}

void Decoder::gather() {
  if (known_ >= 0) return;
  // The family whose sure block begins first.
  double first = 0;
  for (size_t k = 0; k < families_.size(); k++) {
    for (Found &b : families_[k]->take()) held_[k].push_back(std::move(b));
    // Its first sure block, or the one that waits for what follows.
    const Found *sure = nullptr;
    for (const Found &b : held_[k])
      if (b.sure) {
        sure = &b;
        break;
      }
    const std::optional<Found> w = sure ? std::nullopt : families_[k]->waiting(quiet(k));
    if (w && w->sure) sure = &*w;
    if (sure && (known_ < 0 || sure->start < first)) known_ = static_cast<int>(k), first = sure->start;
  }
  if (known_ < 0) return;
  for (size_t k = 0; k < families_.size(); k++)
    if (static_cast<int>(k) != known_) families_[k].reset(), held_[k] = {};
}

std::vector<Found> Decoder::take() {
  if (known_ < 0) return {};
  std::vector<Found> f;
  f.swap(held_[static_cast<size_t>(known_)]);
  for (Found &b : families_[static_cast<size_t>(known_)]->take()) f.push_back(std::move(b));
  for (const Found &b : f) {
    found_++;
    good_ += b.check == Check::good;
    bad_ += b.check == Check::bad;
    sure_ += b.sure;
  }
  return f;
}

std::optional<Found> Decoder::waiting() const {
  if (known_ < 0) return std::nullopt;
  return families_[static_cast<size_t>(known_)]->waiting(quiet(static_cast<size_t>(known_)));
}

Underway Decoder::underway() const { return families_[known_ < 0 ? 0 : static_cast<size_t>(known_)]->underway(); }

void Decoder::reading(format::ReadOptions &options, std::vector<std::string> &warnings) const {
  if (known_ >= 0) families_[static_cast<size_t>(known_)]->reading(options, warnings);
}

double Decoder::position() const {
  for (size_t k = 0; k < families_.size(); k++)
    if (families_[k]) return static_cast<double>(ears_[ear_of_[k]].edges->at()) / rate_;
  return 0;
}

}  // namespace decode
