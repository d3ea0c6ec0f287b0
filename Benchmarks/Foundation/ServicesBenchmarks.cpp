// JSON through NSJSONSerialization against nlohmann-json alone (the library underneath, so the
// floor for the wrapper), and a user-defaults write of a 100 KB value (serialise the store, write
// a temporary file, flush it to disk, rename).
#include <Foundation/NSFileManager.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSUserDefaults.h>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <string>

namespace {

// About 1 MB of JSON shaped like the app's documents: records with strings, numbers, booleans,
// nulls and nested lists.
const std::string& document() {
    static const std::string text = [] {
        std::string s = "{\"records\":[";
        for (int i = 0; s.size() < 1000000; ++i) {
            if (i) {
                s += ',';
            }
            s += "{\"profile_key\":\"TEST_KEY_" + std::to_string(i) + "\",\"title\":\"Battery health \\/ capacity " +
                 std::to_string(i) + "\",\"timeout\":" + std::to_string(i * 7 % 600) +
                 ",\"ratio\":" + std::to_string(i * 0.37) + ",\"enabled\":" + (i % 2 ? "true" : "false") +
                 ",\"note\":null,\"params\":{\"direction\":\"front\",\"limits\":[1,2,3,4.5]}}";
        }
        s += "],\"version\":\"1.0\"}";
        return s;
    }();
    return text;
}

void JSONParseWrapper(benchmark::State& state) {
    auto data = NSData::dataWithString(document());
    for (auto _ : state) {
        id object = NSJSONSerialization::JSONObjectWithDataOptionsError(data, 0, nullptr);
        benchmark::DoNotOptimize(object.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(document().size()));
}
BENCHMARK(JSONParseWrapper)->Unit(benchmark::kMillisecond);

void JSONParseNlohmann(benchmark::State& state) {
    const std::string& text = document();
    for (auto _ : state) {
        auto json = nlohmann::ordered_json::parse(text);
        benchmark::DoNotOptimize(json);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(JSONParseNlohmann)->Unit(benchmark::kMillisecond);

void JSONWriteWrapper(benchmark::State& state) {
    id object = NSJSONSerialization::JSONObjectWithDataOptionsError(NSData::dataWithString(document()), 0, nullptr);
    for (auto _ : state) {
        auto data = NSJSONSerialization::dataWithJSONObjectOptionsError(object, 0, nullptr);
        benchmark::DoNotOptimize(data.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(document().size()));
}
BENCHMARK(JSONWriteWrapper)->Unit(benchmark::kMillisecond);

void JSONWriteNlohmann(benchmark::State& state) {
    auto json = nlohmann::ordered_json::parse(document());
    for (auto _ : state) {
        std::string text = json.dump();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(document().size()));
}
BENCHMARK(JSONWriteNlohmann)->Unit(benchmark::kMillisecond);

void UserDefaultsWrite100KB(benchmark::State& state) {
    static const bool sandbox = (NSSandbox::useTemporaryRoot(), true);
    (void)sandbox;
    auto defaults = make<NSUserDefaults>("benchmark"_ns);
    auto value = NSData::dataWithVector(std::vector<uint8_t>(100 * 1024, 0x5A));
    for (auto _ : state) {
        defaults->setObjectForKey(value, "tasks"_ns);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 100 * 1024);
}
BENCHMARK(UserDefaultsWrite100KB)->Unit(benchmark::kMillisecond);

} // namespace
