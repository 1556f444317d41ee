#include "tests/support/Mp3Encoder.h"

#include <lame/lame.h>

#include <stdexcept>

std::vector<uint8_t> EncodeMp3(const std::vector<int16_t>& samples, int channels, int sampleRate, int kbps, bool tag,
                               bool vbr) {
  lame_t lame = lame_init();
  lame_set_num_channels(lame, channels);
  lame_set_in_samplerate(lame, sampleRate);
  lame_set_out_samplerate(lame, sampleRate);
  lame_set_brate(lame, kbps);
  lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
  lame_set_bWriteVbrTag(lame, tag ? 1 : 0);
  if (vbr) lame_set_VBR(lame, vbr_default);
  if (lame_init_params(lame) < 0) throw std::runtime_error("LAME refused the settings");
  const int frames = static_cast<int>(samples.size()) / channels;
  std::vector<uint8_t> out(static_cast<size_t>(frames) * 5 / 4 + 7200 + 16384);
  int written = 0;
  if (channels == 1) {
    written = lame_encode_buffer(lame, samples.data(), samples.data(), frames, out.data(), static_cast<int>(out.size()));
  } else {
    written = lame_encode_buffer_interleaved(lame, const_cast<short*>(samples.data()), frames, out.data(),
                                             static_cast<int>(out.size()));
  }
  written += lame_encode_flush(lame, out.data() + written, static_cast<int>(out.size()) - written);
  out.resize(static_cast<size_t>(written));
  if (tag) {
    // The first frame was left empty for the tag, which is known only now.
    std::vector<uint8_t> frame(2880);
    const size_t size = lame_get_lametag_frame(lame, frame.data(), frame.size());
    if (size > 0 && size <= out.size()) std::copy(frame.begin(), frame.begin() + static_cast<long>(size), out.begin());
  }
  lame_close(lame);
  return out;
}
