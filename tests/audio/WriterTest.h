#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "audio/ACS_Classes.h"
#include "tests/audio/MemoryComponents.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

/// A test of a file writer: `output` writes `file` in a fresh folder, one run
/// of it at a time over inputs the test makes.
template <class Output>
class WriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    output.SetFileName(file);
    output.OnDone = [this](TComponent*) { done = true; };
    output.OnThreadException = [this](TComponent*) { error = output.ExceptionMessage(); };
  }

  /// One run of the writer over `input`; the error message, empty when none.
  std::string Write(TAuInput& input) {
    done = false;
    error.clear();
    output.SetInput(&input);
    output.Run();
    EXPECT_TRUE(SpinUntil([this] { return done; }, 60000));
    output.SetInput(nullptr);
    return error;
  }

  /// A 16-bit tone (440 Hz, then 550 Hz in the second channel) as the input.
  static std::unique_ptr<Sealed<MemoryInput>> Tone(int frames, int channels, int rate) {
    auto input = std::make_unique<Sealed<MemoryInput>>(0);
    input->SetSamples(ToneSamples(frames, channels, rate, 440.0, 110.0));
    input->ChannelCount = channels;
    input->Rate = rate;
    input->BlockSize = 3000;
    return input;
  }

  TempDir dir;
  std::string file = dir.File("written");
  Sealed<Output> output;
  bool done = false;
  std::string error;
};
