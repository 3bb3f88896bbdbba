// Keys: what a person types, one key at a time at a terminal, or the
// characters of a file or pipe on standard input.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>

namespace driver {

constexpr char ESC = 27;

struct Key {
  enum Kind { text, left, right, up, down, other };
  Kind kind = text;
  char ch = 0;  // for text
  bool operator==(const Key &) const = default;
};

class Keyboard {
 public:
  virtual ~Keyboard() = default;
  // Waits for the next key. When no key can come any more (the end of the
  // input), it reads as a line end.
  virtual Key wait() = 0;
  // The next key if one comes within `ms` milliseconds. Only a terminal has
  // keys to look at without waiting for them; other input has none.
  virtual std::optional<Key> poll(int ms) {
    (void)ms;
    return std::nullopt;
  }
  // A person types the keys as they go: the live controls work.
  virtual bool interactive() const { return false; }
  // Keys are about to be read one at a time: from now on none is echoed.
  virtual void start() {}
};

// The characters of a file or pipe, in order.
class StreamKeys final : public Keyboard {
 public:
  explicit StreamKeys(FILE *in) : in_(in) {}
  Key wait() override {
    const int c = std::fgetc(in_);
    return Key{Key::text, c == EOF ? '\n' : static_cast<char>(c)};
  }

 private:
  FILE *in_;
};

}  // namespace driver
