// TextList::Add and a settings load with a long hiddenMaps list, over list
// lengths from 1,000 to 200,000 items; Google Benchmark fits the complexity
// (linear is expected: each Add checks for a duplicate in constant time).
// Run: build/release/bin/settings_bench
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/core/TextCodec.h"
#include "platform/registry/Registry.h"

namespace {

std::string Item(std::int64_t i) { return "map-" + std::to_string(i) + ".jpg"; }

void TextListAdd(benchmark::State& state) {
  for (auto _ : state) {
    rovana::TextList list;
    for (std::int64_t i = 0; i < state.range(0); ++i) list.Add(Item(i));
    list.Add(Item(0));  // a duplicate, not added
    benchmark::DoNotOptimize(list.size());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(TextListAdd)->RangeMultiplier(4)->Range(1 << 10, 200'000)->Complexity(benchmark::oN);

// A settings file in a temporary folder whose hiddenMaps list has N items.
class SettingsFolder {
 public:
  explicit SettingsFolder(std::int64_t items)
      : folder_(std::filesystem::temp_directory_path() / ("rovana-bench-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(folder_);
    std::u16string text = u"\xFEFF<?xml version=\"1.0\"?>\n<settings>\n <hiddenMaps>\n";
    for (std::int64_t i = 0; i < items; ++i) text += rovana::Utf8ToUtf16(" <s><![CDATA[" + Item(i) + "]]></s>\n");
    text += u" </hiddenMaps>\n</settings>\n";
    std::ofstream out(folder_ / "settings.xml", std::ios::binary);
    for (const char16_t u : text) out << static_cast<char>(u & 0xFF) << static_cast<char>(u >> 8);
  }
  ~SettingsFolder() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  const std::filesystem::path& folder() const { return folder_; }

 private:
  std::filesystem::path folder_;
};

void SettingsLoad(benchmark::State& state) {
  const SettingsFolder files(state.range(0));
  const registry::Registry registry(files.folder() / "registry");  // not the user's own
  for (auto _ : state) {
    const rovana::SettingsStore store(files.folder(), registry);
    benchmark::DoNotOptimize(store.hiddenMaps.size());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(SettingsLoad)->RangeMultiplier(4)->Range(1 << 10, 200'000)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
