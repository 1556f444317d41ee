#include "audio/peaks/ColumnPeaks.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "audio/classes/AuException.h"
#include "audio/classes/AuInput.h"
#include "audio/classes/Convert.h"

ColumnPeaks::ColumnPeaks(int width, int channels, int64_t frames)
    : width_(std::max(width, 1)),
      channels_(std::max(channels, 1)),
      frames_(std::max<int64_t>(frames, 0)),
      values_(static_cast<size_t>(width_) * static_cast<size_t>(channels_)),
      touched_(static_cast<size_t>(width_), false),
      run_(static_cast<size_t>(channels_)) {}

void ColumnPeaks::Add(const int16_t* samples, int64_t frames) {
  frames = std::min(frames, frames_ - added_);
  AddAt(added_, samples, frames);
  added_ += std::max<int64_t>(frames, 0);
}

void ColumnPeaks::AddAt(int64_t at, const int16_t* samples, int64_t frames) {
  if (at < 0) {
    samples += std::min(-at, frames) * channels_;
    frames -= std::min(-at, frames);
    at = 0;
  }
  const int64_t end = std::min(at + frames, frames_);
  for (int64_t f = at; f < end;) {
    // Column c covers [floor(n*c/width), floor(n*(c+1)/width)): frame f lies
    // in the last column starting at or before it, ((f + 1) * width - 1) / n.
    const int64_t column = ((f + 1) * width_ - 1) / frames_;
    const int64_t runEnd = std::min(end, frames_ * (column + 1) / width_);
    MinMaxRun(static_cast<size_t>(column), samples + (f - at) * channels_, runEnd - f);
    f = runEnd;
  }
}

void ColumnPeaks::MinMaxRun(size_t column, const int16_t* samples, int64_t frames) {
  PeakPair* pairs = &values_[column * static_cast<size_t>(channels_)];
  FramePeaks(samples, frames, channels_, run_.data());
  for (size_t c = 0; c < run_.size(); ++c)
    pairs[c] = touched_[column] ? PeakPair{std::min(pairs[c].min, run_[c].min), std::max(pairs[c].max, run_[c].max)} : run_[c];
  touched_[column] = true;
}

void FramePeaks(const int16_t* samples, int64_t frames, int channels, PeakPair* out) {
  constexpr int kLanes = 16;
  int64_t done = 0;
  if (kLanes % channels == 0 && frames * channels >= kLanes) {
    // Lanes over the interleaved samples: lane l holds channel l % channels,
    // a fixed-size loop the compiler turns into vector min and max.
    int16_t low[kLanes], high[kLanes];
    for (int l = 0; l < kLanes; ++l) low[l] = high[l] = samples[l];
    const int64_t total = frames * channels, whole = total / kLanes * kLanes;
    for (int64_t i = kLanes; i < whole; i += kLanes)
      for (int l = 0; l < kLanes; ++l) {
        const int16_t s = samples[i + l];
        low[l] = s < low[l] ? s : low[l];
        high[l] = s > high[l] ? s : high[l];
      }
    for (int c = 0; c < channels; ++c) out[c] = {low[c], high[c]};
    for (int l = channels; l < kLanes; ++l) {
      out[l % channels].min = std::min(out[l % channels].min, low[l]);
      out[l % channels].max = std::max(out[l % channels].max, high[l]);
    }
    done = whole / channels;
  } else {
    for (int c = 0; c < channels; ++c) out[c] = {samples[c], samples[c]};
  }
  for (int64_t f = done; f < frames; ++f)
    for (int c = 0; c < channels; ++c) {
      const int16_t s = samples[f * channels + c];
      out[c] = {std::min(out[c].min, s), std::max(out[c].max, s)};
    }
}

void ColumnPeaks::Merge(const ColumnPeaks& other) {
  if (other.width_ != width_ || other.channels_ != channels_) return;
  for (size_t column = 0; column < touched_.size(); ++column) {
    if (!other.touched_[column]) continue;
    for (size_t c = 0; c < static_cast<size_t>(channels_); ++c) {
      PeakPair& mine = values_[column * static_cast<size_t>(channels_) + c];
      const PeakPair& theirs = other.values_[column * static_cast<size_t>(channels_) + c];
      mine = touched_[column] ? PeakPair{std::min(mine.min, theirs.min), std::max(mine.max, theirs.max)} : theirs;
    }
    touched_[column] = true;
  }
}

std::string ShortDeliveryText(int64_t delivered, int64_t counted) {
  return "the file delivered " + std::to_string(delivered) + " of the " + std::to_string(counted) +
         " frames it counted: it is damaged or changed while it was read";
}

int64_t ReadWholeFrames(TAuInput& input, int64_t frames, const std::function<void(const uint8_t*, int64_t)>& sink,
                        const std::function<bool()>& cancelled) {
  input.Init();
  const int frameBytes = input.Channels() * (input.BitsPerSample() / 8);
  std::vector<uint8_t> carry;  // a frame split between two deliveries, or bytes out of alignment
  int64_t handed = 0;
  try {
    while (handed < frames && !(cancelled && cancelled())) {
      void* data = nullptr;
      uint32_t bytes = 1 << 16;
      input.GetData(data, bytes);
      if (bytes == 0) break;
      const auto* bytesIn = static_cast<const uint8_t*>(data);
      size_t length = bytes;
      if (!carry.empty() || length % static_cast<size_t>(frameBytes) != 0 ||
          reinterpret_cast<uintptr_t>(bytesIn) % alignof(float) != 0) {
        carry.insert(carry.end(), bytesIn, bytesIn + length);
        bytesIn = carry.data();
        length = carry.size();
      }
      const auto whole = static_cast<int64_t>(
          std::min<size_t>(length / static_cast<size_t>(frameBytes), static_cast<size_t>(frames - handed)));
      if (whole > 0) sink(bytesIn, whole);
      handed += whole;
      if (!carry.empty())
        carry.erase(carry.begin(), carry.begin() + static_cast<std::ptrdiff_t>(whole * frameBytes));
    }
  } catch (...) {
    input.Flush();
    throw;
  }
  input.Flush();
  return handed;
}

int64_t ReadSixteenBit(TAuInput& input, int64_t frames, const std::function<void(const int16_t*, int64_t)>& sink,
                       const std::function<bool()>& cancelled) {
  std::vector<int16_t> block;
  return ReadWholeFrames(
      input, frames,
      [&](const uint8_t* bytes, int64_t whole) {
        const int bits = input.BitsPerSample();
        if (bits == 16) return sink(reinterpret_cast<const int16_t*>(bytes), whole);
        const size_t samples = static_cast<size_t>(whole) * static_cast<size_t>(input.Channels());
        block.resize(samples);
        SampleConvert::ToShort(bytes, samples, bits, block.data());
        sink(block.data(), whole);
      },
      cancelled);
}

ColumnPeaks ReadColumnPeaks(TAuInput& input, int64_t frames, int width, const std::function<bool()>& cancelled) {
  ColumnPeaks peaks(width, std::max(input.Channels(), 1), frames);
  ReadSixteenBit(input, frames, [&peaks](const int16_t* samples, int64_t n) { peaks.Add(samples, n); }, cancelled);
  if (peaks.Added() < frames && !(cancelled && cancelled())) throw EAuException(ShortDeliveryText(peaks.Added(), frames));
  return peaks;
}
