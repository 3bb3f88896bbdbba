// Live output: samples are queued in a ring that the sound device's thread
// drains, and played in real time. The ring holds a quarter of a second or so:
// the text on the screen keeps close to the sound, and the producer, which
// sleeps until the device has taken samples, has time to spare.
//
// The producer (the run's own thread) can hold the tape (the device then
// repeats the last sample, so the level holds and nothing is lost) and drop
// what is queued (the device goes on with what is queued next, at once, with
// no gap). While it waits for the device, it calls a hook: there the driver
// reads its keys and draws its status line.
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <semaphore>

#include "engine/output.hpp"
#include "sinks/device.hpp"
#include "sinks/levels.hpp"

namespace sinks {

class LiveOutput final : public engine::SampleOutput, private DeviceFeed {
 public:
  // The levels as the signal's switches shape them (16-bit samples for the
  // device with -16); the sound system's messages go to `messages`.
  explicit LiveOutput(std::unique_ptr<SoundDevice> device = DefaultSoundDevice(), const Signal &signal = {},
                      FILE *messages = stderr);
  ~LiveOutput() override;
  LiveOutput(const LiveOutput &) = delete;
  LiveOutput &operator=(const LiveOutput &) = delete;

  // Opens the device and returns the rate it plays at; once open (after a
  // wait for a key) the device keeps running and this returns its rate again.
  // Fails when no sound output opens.
  int begin(int rate) override;
  void run(uint8_t value, uint64_t count) override;
  void samples(std::span<const uint8_t> s) override;
  // Plays what is queued to its end, then closes the device.
  void finish() override;
  void abandon() override;
  // Samples go over in small pieces, so that the ring never waits for a chunk.
  size_t chunk() const override { return 4096; }

  // Called on the producing thread each time it wakes while it waits for the
  // device: after each period the device plays, and at least every 200 ms.
  // It may throw to leave the wait; the player stays usable.
  void on_wait(std::function<void()> hook) { hook_ = std::move(hook); }
  // While paused, the device repeats the last sample it played and takes
  // nothing from the ring.
  void pause(bool on) { paused_.store(on, std::memory_order_release); }
  bool paused() const { return paused_.load(std::memory_order_acquire); }
  // Drops everything queued: the device goes on with the next sample queued.
  void discard();

  // Samples queued since the player was made, and those the device has
  // taken (a dropped sample counts as taken).
  uint64_t queued() const { return written_; }
  uint64_t played() const { return taken(); }
  // The device's rate, once open.
  int rate() const { return format_.rate; }
  // Most samples the ring holds ahead of the device.
  uint64_t queue_length() const { return capacity_; }

 private:
  void fill(float *out, unsigned frames, unsigned channels) override;
  // Queues n samples, the i-th of them sample(i).
  template <class Sample>
  void put(uint64_t n, Sample sample);
  void start();
  // Sleeps until `done()` holds, calling the hook at each wake; fails when
  // the device takes nothing for a long time.
  template <class Done>
  void wait_for_device(Done done);
  uint64_t taken() const;

  std::unique_ptr<SoundDevice> device_;
  const FloatLevels levels_;
  const int bits_;  // asked of the device
  FILE *messages_;
  std::function<void()> hook_;
  DeviceSpec format_;
  bool opened_ = false, started_ = false;

  // The ring: the device may take from [read_, published_); the producer
  // writes from published_ on and queues at most capacity_ samples ahead of
  // the device. It is twice that long, so that after a discard the producer
  // may fill the next capacity_ samples while the device is still busy with
  // those it dropped.
  std::unique_ptr<float[]> ring_;
  uint64_t size_ = 0, capacity_ = 0;
  uint64_t written_ = 0;                      // producer only
  std::atomic<uint64_t> published_{0};        // written by the producer
  std::atomic<uint64_t> read_{0};             // written by the device's thread
  std::atomic<uint64_t> discard_to_{0};       // written by the producer: the device skips to here
  std::atomic<bool> paused_{false};
  float last_ = 0.0f;                         // device's thread only: the level an empty ring repeats

  // The producer sleeps until the device has taken samples: it says it waits,
  // looks once more and sleeps; the device's thread wakes it when it sees the word.
  std::counting_semaphore<> taken_sem_{0};
  std::atomic<bool> waiting_{false};
};

}  // namespace sinks
