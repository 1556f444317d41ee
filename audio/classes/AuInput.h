#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "audio/classes/Component.h"

class TAuOutput;

/// Base of every component that delivers interleaved little-endian PCM on request.
///
/// A run is Init, GetData until it delivers 0 bytes, then Flush; the output's
/// worker thread makes these calls while the window thread may read the
/// counters (Position, Size) at any time.
class TAuInput : public TComponent {
 public:
  TAuInput();
  /// Create inputs as Sealed<T>, which stops the outputs reading from the
  /// input and clears their Input before any part of it is destroyed.
  ~TAuInput() override;

  // Read side of the stream format.
  virtual int BitsPerSample() = 0;
  virtual int Channels() = 0;
  virtual int SampleRate() = 0;
  /// Whole seconds.
  virtual int TotalTime() { return 0; }
  /// Frames.
  virtual int64_t TotalSamples() { return 0; }

  /// Prepares a run; a failure of InitInternal is raised as EAuException and leaves EndOfData set.
  void Init();
  /// Ends a run.
  void Flush();
  /// On entry Bytes is the most the caller wants; on return Buffer points into
  /// memory owned by the input (valid until the next call) and Bytes is what was
  /// delivered, a whole number of frames; 0 means no more data.
  virtual void GetData(void*& Buffer, uint32_t& Bytes);
  /// Flush, ignoring its failures, and mark the input idle.
  virtual void Reset();

  /// Fills Dest with up to BufferSize bytes from as many GetData calls as it takes.
  int FillBuffer(void* Dest, int BufferSize, bool& EndOfInput);
  /// One GetData of at most BufferSize bytes copied into Dest; 0 at the end.
  int CopyData(void* Dest, int BufferSize);

  int64_t Position() const { return Position_; }
  /// Bytes this run will deliver, -1 when it cannot be told in advance, 0 before Init.
  int64_t Size() const { return Size_; }
  uint16_t FrameSize() const { return FrameSize_; }
  bool Seekable() const { return Seekable_; }
  bool Busy() const { return Busy_; }
  bool EndOfData() const { return EndOfData_; }

  /// Called by TAuOutput::SetInput to keep track of who reads from this input.
  void AttachOutput(TAuOutput* output);
  void DetachOutput(TAuOutput* output);

 protected:
  virtual void InitInternal() = 0;
  virtual void FlushInternal() = 0;
  virtual void GetDataInternal(void*& Buffer, uint32_t& Bytes) = 0;

  /// Stops every output that reads from this input and clears its Input.
  void DetachOutputs();
  /// Called by Sealed before destruction; classes that hold resources a run
  /// uses (an open file) release them here after calling the base.
  virtual void EndOfLife() { DetachOutputs(); }

 private:
  template <class> friend class Sealed;
  /// Implemented by Sealed only.
  virtual void SealedComponent() = 0;

 protected:

  // Counters are written by the worker thread and read by the window thread.
  std::atomic<int64_t> Position_{0};
  std::atomic<int64_t> Size_{0};
  uint16_t FrameSize_ = 0;
  bool Seekable_ = false;
  std::atomic<bool> Busy_{false};
  int32_t BufStart_ = 1;  // 1-based read index into a decode buffer
  int32_t BufEnd_ = 0;    // last valid index; BufStart_ > BufEnd_ means empty
  std::atomic<bool> EndOfData_{false};
  /// Serialises Init, Flush, GetData and seeks of this input.
  std::recursive_mutex DataLock;

 private:
  std::vector<TAuOutput*> outputs_;  // window thread only
};
