#include "platform/EncoderCore.h"

#include "platform/Error.h"

namespace media {

EncoderCore::EncoderCore(const PcmLayout& input) : input_(input) {
  frame_ = Ffmpeg().av_frame_alloc();
  packet_ = Ffmpeg().av_packet_alloc();
  if (frame_ == nullptr || packet_ == nullptr) {
    Release();
    throw Error(ErrorKind::Failed, "Out of memory");
  }
}

EncoderCore::~EncoderCore() { Release(); }

AVCodecContext& EncoderCore::NewContext(const AVCodec& codec) {
  FreeContext();
  encoder_ = Ffmpeg().avcodec_alloc_context3(&codec);
  if (encoder_ == nullptr) throw Error(ErrorKind::Failed, "Out of memory");
  return *encoder_;
}

void EncoderCore::FreeContext() {
  if (encoder_ != nullptr) Ffmpeg().avcodec_free_context(&encoder_);
}

void EncoderCore::Start(PacketSink sink) {
  sink_ = std::move(sink);
  queue_ = std::make_unique<FrameQueue>(input_, *encoder_);
  const int frameBytes = input_.channels * input_.bits / 8;
  encoding_ = std::make_unique<BlockWorker>([this, frameBytes](uint8_t* bytes, size_t length) {
    return queue_->Add(bytes, static_cast<int>(length / frameBytes)) && EncodeWhole();
  });
}

bool EncoderCore::Write(const uint8_t* bytes, size_t length) { return encoding_->Submit(bytes, length); }

bool EncoderCore::FinishWriting() { return encoding_->Finish(); }

bool EncoderCore::EncodeWhole(bool rest) {
  // Encoders that take any length (PCM) get frames of 4096.
  const int frameSize = encoder_->frame_size > 0 ? encoder_->frame_size : 4096;
  while (queue_->Size() >= frameSize)
    if (!EncodeFrame(frameSize)) return false;
  return !rest || queue_->Size() == 0 || EncodeFrame(queue_->Size());
}

bool EncoderCore::EncodeFrame(int frames) {
  if (!queue_->Take(*frame_, frames)) return false;
  frame_->pts = samplesEncoded_;
  samplesEncoded_ += frames;
  return Encode(frame_);
}

bool EncoderCore::Encode(AVFrame* frame) {
  if (!Check(Ffmpeg().avcodec_send_frame(encoder_, frame))) return false;
  for (;;) {
    const int received = Ffmpeg().avcodec_receive_packet(encoder_, packet_);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
    if (!Check(received)) return false;
    ++packets_;
    if (!sink_(*packet_)) return false;
  }
}

bool EncoderCore::Check(int result) {
  if (result >= 0) return true;
  std::lock_guard lock(failureLock_);
  if (failureText_.empty()) failureText_ = AvErrorText(result);  // the first failure is the cause
  return false;
}

void EncoderCore::ForgetFailure() {
  std::lock_guard lock(failureLock_);
  failureText_.clear();
}

std::string EncoderCore::FailureText() {
  std::lock_guard lock(failureLock_);
  return failureText_;
}

void EncoderCore::Fail(const char* otherwise) {
  const std::string text = FailureText();
  throw Error(ErrorKind::Failed, text.empty() ? otherwise : text);
}

void EncoderCore::StopWriting() { encoding_.reset(); }

void EncoderCore::Release() {
  StopWriting();
  if (!FfmpegLoaded()) return;  // nothing was allocated
  queue_.reset();
  FreeContext();
  Ffmpeg().av_frame_free(&frame_);
  Ffmpeg().av_packet_free(&packet_);
}

}  // namespace media
