#include "codecs/encode_feed.h"

#include <algorithm>

#include "base/failure_text.h"
#include "codecs/file_io.h"
#include "platform/platform.h"

void PcmFeed::Publish(uint32_t bytes) {
  {
    const std::lock_guard lock(mutex_);
    ready_ = std::max(ready_, bytes);
  }
  published_.notify_one();
}

void PcmFeed::Close(uint32_t bytes) {
  {
    const std::lock_guard lock(mutex_);
    ready_ = bytes;
    closed_ = true;
  }
  published_.notify_one();
}

std::span<const uint8_t> PcmFeed::Take(uint32_t most) {
  // Whole frames only: a trailing part of one is never handed out.
  if (known_ - taken_ < 4) {
    std::unique_lock lock(mutex_);
    published_.wait(lock, [this] { return closed_ || ready_ - taken_ >= 4; });
    known_ = std::max(ready_, taken_);
  }
  const uint32_t take = std::min(known_ - taken_, most) & ~uint32_t{3};
  const std::span<const uint8_t> out(data_ + taken_, take);
  taken_ += take;
  return out;
}

int SaveEncoded(const std::string& path, std::string_view failed, const Encoded& encoded) {
  if (!encoded.message.empty()) {
    platform().ShowMessage(encoded.message, "Error");
    return 0;
  }
  if (!encoded.reason.empty()) {
    platform().ShowMessage(FailureText(failed, path, encoded.reason), "Error");
    return 0;
  }
  int error = 0;
  if (!WriteWholeFile(path, {{encoded.bytes.get(), encoded.length}}, &error)) {
    platform().ShowMessage(FailureText(failed, path, error), "Error");
    return 0;
  }
  return 1;
}
