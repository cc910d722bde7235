// Reading a 2048 x 2048 24-bit bitmap into an RgbImage, next to a plain
// memcpy of the same number of bytes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gl/Textures.h"
#include "platform/fake/FakeWindowSystem.h"

namespace {

constexpr int side = 2048;

void put32(std::string& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
}

std::string bitmapBytes() {
  std::string file = "BM";
  const std::uint32_t pixelBytes = side * side * 3;
  put32(file, 54 + pixelBytes);
  put32(file, 0);
  put32(file, 54);
  put32(file, 40);
  put32(file, side);
  put32(file, side);
  put32(file, 1 | 24 << 16);
  file.resize(54, '\0');
  file.reserve(54 + pixelBytes);
  for (std::uint32_t i = 0; i < pixelBytes; ++i)
    file.push_back(static_cast<char>(i * 2654435761u >> 24));
  return file;
}

const std::string& bitmapPath() {
  static const std::string path = [] {
    const auto p = std::filesystem::temp_directory_path() / "npr-bench-2048.bmp";
    std::ofstream(p, std::ios::binary) << bitmapBytes();
    return p.string();
  }();
  return path;
}

void BM_LoadDibImage2048(benchmark::State& state) {
  FakeWindowSystem fake;
  fake.install();
  const std::string& path = bitmapPath();
  for (auto _ : state) {
    RgbImage* image = loadDibImage(path.c_str());
    if (!image) {
      state.SkipWithError("the bitmap could not be read");
      break;
    }
    benchmark::DoNotOptimize(image->pixels);
    freeRgbImage(image);
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t{side} * side * 3);
}
BENCHMARK(BM_LoadDibImage2048)->Unit(benchmark::kMillisecond);

void BM_MemcpySameBytes(benchmark::State& state) {
  const std::string source = bitmapBytes();
  std::vector<char> target(source.size());
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), source.size());
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(source.size()));
}
BENCHMARK(BM_MemcpySameBytes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
