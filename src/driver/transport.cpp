#include "driver/transport.hpp"

#include "format/failure.hpp"

namespace driver {

namespace {

using Clock = std::chrono::steady_clock;

// The status line is drawn again this often.
constexpr auto kRedraw = std::chrono::milliseconds(250);
// A second "back" within this time goes to the block before.
constexpr auto kBackTwice = std::chrono::seconds(2);
// How long a paused tape, or a wait, looks for a key at a time.
constexpr int kLookMs = 100;

}  // namespace

Transport::Transport(Console &console, sinks::LiveOutput &out, FILE *status, int blocks)
    : console_(console), out_(out), last_(static_cast<size_t>(blocks)) {
  console_.start_keys();
  if (status) {
    status_.emplace(console, status);
    console_.before_text([this] { status_->clear(); });
  }
}

Transport::~Transport() {
  console_.before_text(nullptr);
  out_.pause(false);
}

const Visit &Transport::begin(Visit v) {
  v.start = out_.queued();
  if (rewound_) {
    v.tape_at = recent_.back().tape_at;
    recent_.clear();
    rewound_ = false;
  } else if (!recent_.empty()) {
    const Visit &before = recent_.back();
    v.tape_at = before.tape_at + (v.start - before.start);
  }
  last_[static_cast<size_t>(v.index)] = v;
  recent_.push_back(std::move(v));
  return recent_.back();
}

void Transport::set_total(uint64_t samples, StatusView::Until until) {
  total_ = samples;
  until_ = until;
}

const Visit &Transport::heard() {
  const uint64_t played = out_.played();
  while (recent_.size() > 1 && recent_[1].start <= played) recent_.pop_front();
  return recent_.front();
}

std::optional<Visit> Transport::after_heard() {
  heard();
  if (recent_.size() < 2) return std::nullopt;
  return recent_[1];
}

void Transport::rewind(Visit to) {
  recent_.clear();
  to.start = out_.queued();
  recent_.push_back(std::move(to));
  rewound_ = true;
}

void Transport::draw(bool now) {
  if (!status_ || recent_.empty()) return;
  const Clock::time_point t = Clock::now();
  if (!now && t - drawn_ < kRedraw) return;
  drawn_ = t;
  const Visit &v = heard();
  const uint64_t played = out_.played();
  StatusView view;
  view.rate = out_.rate();
  view.block = v.index + 1;
  view.text = v.text;
  view.block_at = played > v.start ? std::min(played - v.start, v.length) : 0;
  view.block_length = v.length;
  view.tape_at = v.tape_at + view.block_at;
  view.tape_total = total_;
  view.until = until_;
  view.paused = out_.paused();
  view.waiting = waiting_;
  status_->show(view);
}

void Transport::on_wait() {
  for (;;) {
    draw(false);
    // Once the tape has asked for a key, the keys typed are its answer.
    const bool look = console_.interactive() && !waiting_;
    std::optional<Key> k = look ? console_.poll_key(out_.paused() ? kLookMs : 0) : std::nullopt;
    if (k) act(*k);
    else if (!out_.paused()) return;
  }
}

void Transport::act(const Key &k) {
  const char c = k.kind == Key::text ? k.ch : 0;
  if (c == ' ') {
    out_.pause(!out_.paused());
    draw(true);
  } else if (c == 'n' || c == 'N' || k.kind == Key::right) {
    throw Steer{Steer::next};
  } else if (c == 'p' || c == 'P' || k.kind == Key::left) {
    const Clock::time_point t = Clock::now();
    const bool twice = backed_ && t - last_back_ < kBackTwice;
    backed_ = true;
    last_back_ = t;
    throw Steer{twice ? Steer::previous : Steer::back};
  } else if (c == ESC || c == 'q' || c == 'Q') {
    throw format::Failure("ESCAPE key pressed!");
  }
}

char Transport::wait_key() {
  struct Waiting {
    bool &w;
    ~Waiting() { w = false; }
  } waiting{waiting_};
  waiting_ = true;
  if (!console_.interactive()) {
    draw(true);
    return console_.key_wait();
  }
  console_.flush();
  for (;;) {
    draw(false);
    if (std::optional<Key> k = console_.poll_key(kLookMs)) {
      out_.pause(false);
      const char c = k->kind == Key::text ? k->ch : kOtherKey;
      if (c == ESC) throw format::Failure("ESCAPE key pressed!");
      return c;
    }
  }
}

}  // namespace driver
