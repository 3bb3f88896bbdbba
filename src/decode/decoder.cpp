#include "decode/decoder.hpp"

#include "decode/edges.hpp"

namespace decode {

Decoder::Decoder(int rate) : rate_(rate), edges_(std::make_unique<EdgeStage>(rate)) {
  for (const FamilyType &f : Families()) families_.push_back(f.make(rate));
  held_.resize(families_.size());
}

Decoder::~Decoder() = default;

double Decoder::quiet() const { return static_cast<double>(edges_->at()) - edges_->last(); }

void Decoder::feed(const float *samples, size_t n) {
  pulses_.clear();
  edges_->run(samples, n, pulses_);
  for (double p : pulses_) {
    if (on_pulse_) on_pulse_(p);
    for (auto &f : families_)
      if (f) f->pulse(p);
  }
  for (auto &f : families_)
    if (f) f->idle(quiet());
  gather();
}

void Decoder::finish() {
  if (finished_) return;  // the recording has ended already
  finished_ = true;
  pulses_.clear();
  edges_->flush(pulses_);
  for (double p : pulses_) {
    if (on_pulse_) on_pulse_(p);
    for (auto &f : families_)
      if (f) f->pulse(p);
  }
  for (auto &f : families_)
    if (f) f->finish(quiet());
  gather();
  if (known_ < 0) known_ = 0;  // no family is sure: the first one's
}

void Decoder::gather() {
  if (known_ >= 0) return;
  // The family whose sure block begins first.
  double first = 0;
  for (size_t k = 0; k < families_.size(); k++) {
    for (Found &b : families_[k]->take()) held_[k].push_back(std::move(b));
    for (const Found &b : held_[k])
      if (b.sure && (known_ < 0 || b.start < first)) {
        known_ = static_cast<int>(k), first = b.start;
        break;
      }
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
  }
  return f;
}

std::optional<Found> Decoder::waiting() const {
  if (known_ < 0) return std::nullopt;
  return families_[static_cast<size_t>(known_)]->waiting(quiet());
}

Underway Decoder::underway() const { return families_[known_ < 0 ? 0 : static_cast<size_t>(known_)]->underway(); }

void Decoder::reading(format::ReadOptions &options, std::vector<std::string> &warnings) const {
  if (known_ >= 0) families_[static_cast<size_t>(known_)]->reading(options, warnings);
}

double Decoder::position() const { return static_cast<double>(edges_->at()) / rate_; }

}  // namespace decode
