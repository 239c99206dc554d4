// Parse throughput of the configuration parser, each case beside nlohmann::json's DOM parse of
// the same bytes. The shipped document lacks three commas, so the peer reads it with them put
// in. The escape-heavy string includes the apostrophe escape, which JSON lacks; its side-by-side
// case swaps that one for "\r".

#include "BenchDocuments.h"
#include "OEUnitQxJSON.h"

#include <benchmark/benchmark.h>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

namespace {

const std::string& Cached(const std::string& key, std::string (*make)()) {
    static std::map<std::string, std::string> texts;
    auto found = texts.find(key);
    if (found == texts.end()) {
        found = texts.emplace(key, make()).first;
    }
    return found->second;
}

const std::string& Generated(std::size_t megabytes) {
    static std::map<std::size_t, std::string> texts;
    auto found = texts.find(megabytes);
    if (found == texts.end()) {
        found = texts.emplace(megabytes, GeneratedDocument(megabytes << 20)).first;
    }
    return found->second;
}

void ParseOurs(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        auto root = TqxJSON::ParseDocument(text);
        if (!root) {
            state.SkipWithError("our parser rejected the text");
            return;
        }
        benchmark::DoNotOptimize(root.get());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void ParsePeer(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        nlohmann::json root = nlohmann::json::parse(text, nullptr, false);
        if (root.is_discarded()) {
            state.SkipWithError("the peer rejected the text");
            return;
        }
        benchmark::DoNotOptimize(root);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_Shipped_Ours(benchmark::State& state) {
    ParseOurs(state, Cached("shipped", ShippedDocument));
}
void BM_Shipped_Peer(benchmark::State& state) {
    ParsePeer(state, Cached("strict", ShippedDocumentStrict));
}
BENCHMARK(BM_Shipped_Ours);
BENCHMARK(BM_Shipped_Peer);

void BM_Generated_Ours(benchmark::State& state) {
    ParseOurs(state, Generated(static_cast<std::size_t>(state.range(0))));
}
void BM_Generated_Peer(benchmark::State& state) {
    ParsePeer(state, Generated(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_Generated_Ours)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Generated_Peer)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// Cost must grow with the size, not with its square.
void BM_Backslashes_Ours(benchmark::State& state) {
    const std::string text = BackslashString(static_cast<std::size_t>(state.range(0)) << 20);
    ParseOurs(state, text);
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Backslashes_Ours)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// The same escapes without the apostrophe, which JSON lacks, for a side-by-side figure.
void BM_JsonBackslashes_Ours(benchmark::State& state) {
    std::string text = BackslashString(static_cast<std::size_t>(state.range(0)) << 20);
    for (std::size_t i = 1; i + 1 < text.size(); i += 2) {
        if (text[i + 1] == '\'') {
            text[i + 1] = 'r';
        }
    }
    ParseOurs(state, text);
}
void BM_JsonBackslashes_Peer(benchmark::State& state) {
    std::string text = BackslashString(static_cast<std::size_t>(state.range(0)) << 20);
    for (std::size_t i = 1; i + 1 < text.size(); i += 2) {
        if (text[i + 1] == '\'') {
            text[i + 1] = 'r';
        }
    }
    ParsePeer(state, text);
}
BENCHMARK(BM_JsonBackslashes_Ours)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JsonBackslashes_Peer)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
