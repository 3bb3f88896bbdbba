#include "front/flow.hpp"

#include <variant>

#include "format/failure.hpp"
#include "listing/text.hpp"

namespace front {

using format::strprintf;

void EndlessLoopGuard::visit(const Cursor &now, unsigned long keys) {
  if (keys == saved_keys_ && now == saved_) throw format::Failure("The tape loops for ever!");
  if (keys != saved_keys_ || ++steps_ == power_) {
    power_ = keys != saved_keys_ ? 1 : power_ * 2;
    saved_ = now;
    saved_keys_ = keys;
    steps_ = 0;
  }
}

bool Flow::go_to(Cursor &cur, long target, const char *what) {
  if (target < 0) {
    player_.ignored(cur.curr + 1, what);
    return false;
  }
  cur.curr = static_cast<int>(target - 1);
  return true;
}

Halt Flow::stop(const char *words) {
  player_.ahead(StatusView::Until::stop);
  player_.line(strprintf("    %s%s\n", words, waits_ ? " - Press any key to continue!" : "!"));
  return Halt::stop;
}

void Flow::jump(Cursor &cur, int distance) {
  const long target = static_cast<long>(cur.curr) + distance;
  player_.line(strprintf("    Jump Relative: %d (To Block %ld)\n", distance, target + 1));
  if (distance == 0) return player_.ignored(cur.curr + 1, "jumps to itself");
  go_to(cur, target, "jumps to a block before the start of the tape");
}

void Flow::loop_end(Cursor &cur) {
  // A Loop End without a pending loop finishes at once.
  cur.loop_count = cur.loop_count > 0 ? cur.loop_count - 1 : 0;
  if (cur.loop_count > 0) {
    player_.line(strprintf("    Loop End, Still To Go %d Time(s)!\n", cur.loop_count));
    cur.curr = cur.loop_start;
  } else {
    player_.line("    Loop End, Finished\n");
  }
}

void Flow::call_sequence(Cursor &cur, const format::CallSequence &c) {
  if (c.count == 0) {
    // Nothing to call: the block is passed over and the pending call stays.
    player_.line("    Call Sequence, Number of Calls : 0\n");
    return player_.ignored(cur.curr + 1, "has no calls");
  }
  cur.call_pos = cur.curr;
  cur.call_num = c.count;
  cur.call_cur = 0;
  cur.call_seen = true;
  const int first = c.call(0);
  const long target = static_cast<long>(cur.curr) + first;
  player_.line(strprintf("    Call Sequence, Number of Calls : %d, First: %d (To Block %ld)\n", cur.call_num, first,
                         target + 1));
  if (!go_to(cur, target, "calls a block before the start of the tape")) cur.call_seen = false;
}

void Flow::return_from_call(Cursor &cur) {
  // Only a Return that belongs to a pending call sequence counts.
  if (cur.call_seen && cur.call_cur < cur.call_num) cur.call_cur++;
  if (!cur.call_seen) return player_.ignored(cur.curr + 1, "returns without a Call Sequence before it");
  if (cur.call_cur == cur.call_num) {
    player_.line("    Return from Call, Last Call Finished\n");
    cur.curr = cur.call_pos;
    cur.call_seen = false;
    return;
  }
  // The distance counts from the Call Sequence block, not from this one.
  const format::IndexedBlock sequence = tape_.at(cur.call_pos);
  const auto &calls = std::get<format::CallSequence>(sequence.block);
  const int next = calls.call(static_cast<size_t>(cur.call_cur));
  const long target = static_cast<long>(cur.call_pos) + next;
  player_.line(strprintf("    Return from Call, Calls Left: %d, Next: %d (To Block %ld)\n", cur.call_num - cur.call_cur,
                         next, target + 1));
  if (!go_to(cur, target, "calls a block before the start of the tape")) cur.call_seen = false;
}

void Flow::choose(const format::Select &s, char key, Cursor &cur) {
  const int choice = key - '0';
  if (choice < 1 || choice > static_cast<int>(s.entries.size())) {
    player_.say("Illegal Selection... Continuing...\n");
    return;
  }
  go_to(cur, static_cast<long>(cur.curr) + s.entries[static_cast<size_t>(choice - 1)].distance,
        "selects a block before the start of the tape");
}

std::optional<Halt> Flow::follow(const format::Block &block, Cursor &cur) {
  if (std::holds_alternative<format::StopTape>(block)) return stop("Stop the tape command");
  if (const auto *j = std::get_if<format::Jump>(&block)) {
    jump(cur, j->distance);
  } else if (const auto *l = std::get_if<format::LoopStart>(&block)) {
    cur.loop_start = cur.curr;
    cur.loop_count = l->count;
    player_.line(strprintf("    Loop Start, Counter: %d\n", cur.loop_count));
  } else if (std::holds_alternative<format::LoopEnd>(block)) {
    loop_end(cur);
  } else if (const auto *c = std::get_if<format::CallSequence>(&block)) {
    call_sequence(cur, *c);
  } else if (std::holds_alternative<format::ReturnFromCall>(block)) {
    return_from_call(cur);
  } else if (const auto *s = std::get_if<format::Select>(&block)) {
    player_.ahead(StatusView::Until::choice);
    // These lines show also inside a hidden group: the user must choose.
    std::string text = "    Select :\n";
    for (size_t i = 0; i < s->entries.size(); i++)
      text += strprintf("%5d : %s\n", static_cast<int>(i + 1), listing::CopyString(s->entries[i].text).c_str());
    player_.say(text + ">> Press the number!\n");
    return Halt::choice;
  } else if (std::holds_alternative<format::Stop48k>(block)) {
    if (mode128_) {
      player_.line("    Stop the tape only in 48k mode!\n");
    } else {
      return stop("Stop the tape in 48k mode");
    }
  } else {
    return std::nullopt;
  }
  return Halt::none;
}

}  // namespace front
