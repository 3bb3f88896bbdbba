// Blocks that steer the replay: stop the tape, jumps, loops, calls and
// selections. In the listings they are only listed, in file order.
#include <variant>

#include "driver/session.hpp"
#include "engine/players.hpp"
#include "format/failure.hpp"
#include "listing/listing.hpp"
#include "listing/text.hpp"

namespace driver {

using format::strprintf;

namespace {
// Half the length, in samples, of the level run played before a live wait.
constexpr uint32_t kLiveStopRun = 1024;
}  // namespace

void Session::oneline(const std::string &s) {
  if (draw_) console_.text(s);
}

void Session::ignored(const char *what) {
  console_.say("\n-- Warning: Block %d %s - ignored!\n", cur_.curr + 1, what);
  console_.count_lines(2);
}

bool Session::go_to(long target, const char *what) {
  if (target < 0) {
    ignored(what);
    return false;
  }
  cur_.curr = static_cast<int>(target - 1);
  return true;
}

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

void Session::stop_tape() {
  wait_ahead(StatusView::Until::stop);
  if (live()) {
    oneline("    Stop the tape command - Press any key to continue!\n");
    live_stop();
  } else {
    oneline("    Stop the tape command!\n");
    conversion_stop();
  }
}

void Session::jump(int distance) {
  const long target = static_cast<long>(cur_.curr) + distance;
  oneline(strprintf("    Jump Relative: %d (To Block %ld)\n", distance, target + 1));
  if (distance == 0) return ignored("jumps to itself");
  go_to(target, "jumps to a block before the start of the tape");
}

void Session::loop_end() {
  // A Loop End without a pending loop finishes at once.
  cur_.loop_count = cur_.loop_count > 0 ? cur_.loop_count - 1 : 0;
  if (cur_.loop_count > 0) {
    oneline(strprintf("    Loop End, Still To Go %d Time(s)!\n", cur_.loop_count));
    cur_.curr = cur_.loop_start;
  } else {
    oneline("    Loop End, Finished\n");
  }
}

void Session::call_sequence(const format::CallSequence &c) {
  if (c.count == 0) {
    // Nothing to call: the block is passed over and the pending call stays.
    oneline("    Call Sequence, Number of Calls : 0\n");
    return ignored("has no calls");
  }
  cur_.call_pos = cur_.curr;
  cur_.call_num = c.count;
  cur_.call_cur = 0;
  cur_.call_seen = true;
  const int first = c.call(0);
  const long target = static_cast<long>(cur_.curr) + first;
  oneline(strprintf("    Call Sequence, Number of Calls : %d, First: %d (To Block %ld)\n", cur_.call_num, first,
                    target + 1));
  if (!go_to(target, "calls a block before the start of the tape")) cur_.call_seen = false;
}

void Session::return_from_call() {
  // Only a Return that belongs to a pending call sequence counts.
  if (cur_.call_seen && cur_.call_cur < cur_.call_num) cur_.call_cur++;
  if (!cur_.call_seen) return ignored("returns without a Call Sequence before it");
  if (cur_.call_cur == cur_.call_num) {
    oneline("    Return from Call, Last Call Finished\n");
    cur_.curr = cur_.call_pos;
    cur_.call_seen = false;
    return;
  }
  // The distance counts from the Call Sequence block, not from this one.
  const format::IndexedBlock sequence = tape_->at(cur_.call_pos);
  const auto &calls = std::get<format::CallSequence>(sequence.block);
  const int next = calls.call(static_cast<size_t>(cur_.call_cur));
  const long target = static_cast<long>(cur_.call_pos) + next;
  oneline(strprintf("    Return from Call, Calls Left: %d, Next: %d (To Block %ld)\n", cur_.call_num - cur_.call_cur,
                    next, target + 1));
  if (!go_to(target, "calls a block before the start of the tape")) cur_.call_seen = false;
}

void Session::select(const format::Select &s) {
  wait_ahead(StatusView::Until::choice);
  // These lines show also inside a hidden group: the user must choose.
  console_.say("    Select :\n");
  for (size_t i = 0; i < s.entries.size(); i++)
    console_.say("%5d : %s\n", static_cast<int>(i + 1), listing::CopyString(s.entries[i].text).c_str());
  console_.say(">> Press the number!\n");
  char k;
  if (live()) {
    k = live_stop();
  } else {
    conversion_stop();
    k = console_.key_wait();
  }
  const int choice = k - '0';
  if (choice < 1 || choice > static_cast<int>(s.entries.size())) {
    console_.say("Illegal Selection... Continuing...\n");
    return;
  }
  go_to(static_cast<long>(cur_.curr) + s.entries[static_cast<size_t>(choice - 1)].distance,
        "selects a block before the start of the tape");
}

void Session::stop_48k() {
  if (opt_.mode128) return oneline("    Stop the tape only in 48k mode!\n");
  wait_ahead(StatusView::Until::stop);
  if (live()) {
    oneline("    Stop the tape in 48k mode - Press any key to continue!\n");
    live_stop();
  } else {
    oneline("    Stop the tape in 48k mode!\n");
    conversion_stop();
  }
}

bool Session::flow(const format::IndexedBlock &b) {
  const format::Block &block = b.block;
  if (std::holds_alternative<format::StopTape>(block)) {
    engine::Play(block, *stream_);  // the level goes low
    stop_tape();
  } else if (const auto *j = std::get_if<format::Jump>(&block)) {
    jump(j->distance);
  } else if (const auto *l = std::get_if<format::LoopStart>(&block)) {
    cur_.loop_start = cur_.curr;
    cur_.loop_count = l->count;
    oneline(strprintf("    Loop Start, Counter: %d\n", cur_.loop_count));
  } else if (std::holds_alternative<format::LoopEnd>(block)) {
    loop_end();
  } else if (const auto *c = std::get_if<format::CallSequence>(&block)) {
    call_sequence(*c);
  } else if (std::holds_alternative<format::ReturnFromCall>(block)) {
    return_from_call();
  } else if (const auto *s = std::get_if<format::Select>(&block)) {
    select(*s);
  } else if (std::holds_alternative<format::Stop48k>(block)) {
    stop_48k();
  } else {
    return false;
  }
  return true;
}

}  // namespace driver
