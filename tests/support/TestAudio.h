#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// Interleaved 16-bit sine tones, amplitude 9000: `hz` in channel 0, `hz` +
/// `step` in channel 1 and so on, so channels can be told apart.
std::vector<int16_t> ToneSamples(int frames, int channels, int sampleRate, double hz = 440.0, double step = 110.0);

/// A sweep from 200 Hz to 2 kHz over the whole length: unlike a steady tone
/// it matches itself at one lag only, so alignment checks can tell.
std::vector<int16_t> ChirpSamples(int frames, int channels, int sampleRate);
/// Writes interleaved 16-bit samples as a canonical PCM WAV file.
void WriteWav16(const std::string& fileName, const std::vector<int16_t>& samples, int channels, int sampleRate);
/// Writes a canonical 16-bit PCM WAV file of a sine tone.
void WritePcmWav(const std::string& fileName, int sampleRate, int channels, int64_t frames);

/// Writes 16-bit mono at 8000 Hz where frame n holds (first + n) % 30000, so
/// that every frame tells where it came from; returns the file name.
std::string WriteNumberedWav(const std::string& fileName, int frames, int first = 0);
/// Writes bytes to a file, replacing it.
void WriteBytes(const std::string& fileName, const std::vector<uint8_t>& bytes);
