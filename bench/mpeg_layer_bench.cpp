// Scanning a file for its first MPEG audio header: the cost grows with the
// bytes before the header, so the worst case is a file without one.
//   cmake -S . -B build -DBUILD_BENCHMARKS=ON && cmake --build build && build/bench/helpers_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/jobs/Global.h"

namespace {

std::string MakeFileWithoutHeader(int64_t bytes) {
  const std::string name = (std::filesystem::temp_directory_path() / "clipwright-bench.bin").string();
  std::vector<char> block(1 << 20);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i % 251 == 0 ? 0xFF : i % 200);
  std::ofstream file(name, std::ios::binary | std::ios::trunc);
  for (int64_t written = 0; written < bytes; written += static_cast<int64_t>(block.size()))
    file.write(block.data(), static_cast<std::streamsize>(block.size()));
  return name;
}

void GetMpegLayerWithoutHeader(benchmark::State& state) {
  const std::string name = MakeFileWithoutHeader(state.range(0) << 20);
  for (auto _ : state) benchmark::DoNotOptimize(GetMpegLayer(name));
  state.SetBytesProcessed(state.iterations() * (state.range(0) << 20));
  std::remove(name.c_str());
}
BENCHMARK(GetMpegLayerWithoutHeader)->Arg(8)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace
