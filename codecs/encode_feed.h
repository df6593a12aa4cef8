// The PCM an encoder reads, which the mixer may still be writing, and what an
// encoder makes of it: the export mixes on the core's thread while the encoder
// runs on its own, so the time of an export is about the encoder's alone.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "base/buffer.h"

// Stereo 16-bit PCM at data, final up to what the producer has published. One
// producer and one consumer; the consumer never sees a byte before it is final.
class PcmFeed {
 public:
  // A feed that is still to be filled, by Publish and then Close.
  explicit PcmFeed(const uint8_t* data) : data_(data) {}
  // A feed whose n bytes are all there.
  PcmFeed(const uint8_t* data, uint32_t n) : data_(data), ready_(n), known_(n), closed_(true) {}
  PcmFeed(const PcmFeed&) = delete;
  PcmFeed& operator=(const PcmFeed&) = delete;

  // Producer: the first `bytes` (never fewer than before) are final.
  void Publish(uint32_t bytes);
  // Producer: nothing more will come, and the feed ends after `bytes`.
  void Close(uint32_t bytes);
  // Consumer: it has stopped reading (done or failed), so the producer may stop.
  void Abandon() { abandoned_.store(true, std::memory_order_relaxed); }
  bool Abandoned() const { return abandoned_.load(std::memory_order_relaxed); }

  // Consumer: the next whole frames, at most `most` bytes, waiting until some are
  // final. Empty only at the end of the feed.
  std::span<const uint8_t> Take(uint32_t most);

 private:
  const uint8_t* data_;
  std::mutex mutex_;
  std::condition_variable published_;
  uint32_t ready_ = 0;   // guarded by mutex_
  uint32_t taken_ = 0;   // the consumer's own
  uint32_t known_ = 0;   // the consumer's copy of ready_, so it locks only when it catches up
  bool closed_ = false;  // guarded by mutex_
  std::atomic<bool> abandoned_ = false;
};

// What an encoder made: the file's bytes, or why there are none.
struct Encoded {
  Buffer bytes;
  size_t length = 0;
  std::string message;  // a whole message of its own ("WriteFlacFile: malloc failed")
  std::string reason;   // or the reason told under the writer's failure line
  bool ok() const { return message.empty() && reason.empty(); }
};

// Writes what an encoder made to path, or says why it cannot under `failed`
// ("WriteFlacFile - failed"). 1 when written; a failure leaves no file.
int SaveEncoded(const std::string& path, std::string_view failed, const Encoded& encoded);
