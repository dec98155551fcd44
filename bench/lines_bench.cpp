// How fast the text is cut into lines, next to a plain memchr scan for CR
// over the same bytes: the ratio of the two is the figure that matters, as
// the cutter must look at every character start while memchr may skip ahead.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "../tests/native/cp932.h"
#include "lines.h"

namespace {

// Japanese chat lines of mixed length, CR LF between them.
std::string JapaneseText(size_t size)
{
    static const char *const kLines[] = {
        "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd",                         // こんにちは
        "\x83\x65\x83\x58\x83\x67\x82\xc5\x82\xb7\x81\x42",                 // テストです。
        "\x8d\xa1\x93\xfa\x82\xcd\x82\xa2\x82\xa2\x93\x56\x8b\x43 OK",     // 今日はいい天気 OK
        "\x83\x5c\x83\x74\x83\x67\x82\xcc\x95\x5c\x8e\xa6",                 // ソフトの表示
        "",
    };
    std::string text;
    for (size_t i = 0; text.size() < size; i++) {
        text += kLines[i % 5];
        text += "\r\n";
    }
    text.resize(size);
    return text;
}

void CutIntoLines(benchmark::State &state)
{
    std::string text = JapaneseText(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        LineCursor cursor;
        StartLines(&cursor, text.data(), text.size(), IsCp932LeadByte);
        const char *line;
        size_t length, lines = 0;
        while (NextLine(&cursor, &line, &length))
            lines += length;
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void MemchrScan(benchmark::State &state)
{
    std::string text = JapaneseText(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        const char *p = text.data(), *end = p + text.size();
        size_t breaks = 0;
        while ((p = static_cast<const char *>(std::memchr(p, '\r', static_cast<size_t>(end - p))))) {
            breaks++;
            p++;
        }
        benchmark::DoNotOptimize(breaks);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(CutIntoLines)->Arg(30000)->Arg(1 << 20);
BENCHMARK(MemchrScan)->Arg(30000)->Arg(1 << 20);

} // namespace

BENCHMARK_MAIN();
