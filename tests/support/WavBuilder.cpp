#include "tests/support/WavBuilder.h"

WavBuilder::WavBuilder() {
  bytes_ = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
}

WavBuilder& WavBuilder::Chunk(const std::string& name, const Bytes& payload, bool pad) {
  bytes_.insert(bytes_.end(), name.begin(), name.begin() + 4);
  Put32(bytes_, static_cast<uint32_t>(payload.size()));
  bytes_.insert(bytes_.end(), payload.begin(), payload.end());
  if (pad && payload.size() % 2 == 1) bytes_.push_back(0);
  return *this;
}

WavBuilder& WavBuilder::Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t blockAlign, uint16_t bits,
                               const Bytes& extra) {
  Bytes f;
  Put16(f, tag);
  Put16(f, channels);
  Put32(f, rate);
  Put32(f, rate * blockAlign);
  Put16(f, blockAlign);
  Put16(f, bits);
  f.insert(f.end(), extra.begin(), extra.end());
  return Chunk("fmt ", f);
}

WavBuilder& WavBuilder::Raw(const Bytes& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

WavBuilder::Bytes WavBuilder::Build() const {
  Bytes out = bytes_;
  const auto size = static_cast<uint32_t>(out.size() - 8);
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<uint8_t>(size >> (8 * i));
  return out;
}

void WavBuilder::Put16(Bytes& out, uint16_t value) { out.insert(out.end(), {uint8_t(value), uint8_t(value >> 8)}); }

void WavBuilder::Put32(Bytes& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

WavBuilder::Bytes WavBuilder::Samples(const std::vector<int16_t>& samples) {
  Bytes out;
  for (int16_t s : samples) Put16(out, static_cast<uint16_t>(s));
  return out;
}
