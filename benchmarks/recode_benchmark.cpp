// Speed of the recoding pass (charset declaration removal plus translation to
// KOI8-R) over 100 MB of Russian HTML in Windows-1251, beside a plain memcpy
// of the same bytes as the ceiling of what memory allows.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "recode/RemoveCharsetMeta.h"
#include "recode/TranslateToKoi8.h"

namespace {

constexpr std::size_t kTextSize = 100'000'000;

// Pages of a few KB: head with a charset declaration and a few other META
// tags, then paragraphs of Cyrillic words with links, emphasis, typographic
// quotes and dashes, as a Russian site of the time would hold them.
class PageWriter {
 public:
  explicit PageWriter(std::string& out) : out_(out) {}

  void Page(int number) {
    out_ += "<html>\r\n<head>\r\n";
    out_ += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\r\n";
    out_ += "<meta name=\"keywords\" content=\"";
    Words(6);
    out_ += "\">\r\n<title>";
    Sentence(5);
    out_ += "</title>\r\n<link rel=\"stylesheet\" href=\"style.css\">\r\n</head>\r\n<body>\r\n<h1>";
    Sentence(4);
    out_ += "</h1>\r\n";
    const int paragraphs = 6 + static_cast<int>(random_() % 6);
    for (int paragraph = 0; paragraph < paragraphs; ++paragraph) {
      out_ += "<p>";
      const int sentences = 3 + static_cast<int>(random_() % 4);
      for (int sentence = 0; sentence < sentences; ++sentence) {
        switch (random_() % 6) {
          case 0:
            out_ += "<a href=\"page" + std::to_string(number + sentence) + ".htm\">";
            Words(2);
            out_ += "</a> ";
            break;
          case 1:
            out_ += "<b>";
            Words(1);
            out_ += "</b> ";
            break;
          case 2:
            out_ += "\xAB";  // left guillemet
            Words(2);
            out_ += "\xBB \x97 ";  // right guillemet, em dash
            break;
          default:
            break;
        }
        Sentence(6 + static_cast<int>(random_() % 10));
        out_ += ' ';
      }
      out_ += "</p>\r\n";
    }
    out_ += "<hr>\r\n<address>\xA9 2001, ";
    Words(2);
    out_ += "</address>\r\n</body>\r\n</html>\r\n";
  }

 private:
  void Word() {
    const int letters = 2 + static_cast<int>(random_() % 9);
    for (int letter = 0; letter < letters; ++letter) {
      const unsigned index = random_() % 33;
      // Small letters a..ya, with small io in place of the 33rd.
      out_ += static_cast<char>(index == 32 ? 0xB8 : 0xE0 + index);
    }
  }
  void Words(int count) {
    for (int word = 0; word < count; ++word) {
      if (word > 0) out_ += ' ';
      Word();
    }
  }
  void Sentence(int words) {
    const std::size_t start = out_.size();
    Words(words);
    const auto first = static_cast<unsigned char>(out_[start]);
    out_[start] = static_cast<char>(first == 0xB8 ? 0xA8 : first - 0x20);  // capital first letter
    out_ += (random_() % 5 == 0) ? "," : ".";
  }

  std::string& out_;
  std::mt19937 random_{1251};
};

const std::string& RussianHtml() {
  static const std::string text = [] {
    std::string pages;
    pages.reserve(kTextSize + 16384);
    PageWriter writer(pages);
    for (int number = 0; pages.size() < kTextSize; ++number) writer.Page(number);
    pages.resize(kTextSize);
    return pages;
  }();
  return text;
}

void ReportRate(benchmark::State& state) {
  const auto bytes = static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kTextSize);
  state.SetBytesProcessed(bytes);
  state.counters["GB/s"] =
      benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kIsRate, benchmark::Counter::OneK::kIs1000);
}

// Each iteration recodes a fresh copy, since the pass works in place; the
// copying is not timed.
template <typename Pass>
void RunOnFreshCopies(benchmark::State& state, Pass pass) {
  const std::string& source = RussianHtml();
  std::vector<char> text(source.size() + 1);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(text.data(), source.data(), source.size());
    state.ResumeTiming();
    pass(text.data());
    benchmark::ClobberMemory();
  }
  ReportRate(state);
}

void BM_RecodePass(benchmark::State& state) {
  const bool noQuestionMarks = state.range(0) != 0;
  RunOnFreshCopies(state, [noQuestionMarks](char* text) {
    std::size_t length = kTextSize;
    ostrel::RemoveCharsetMeta(text, length);
    ostrel::TranslateToKoi8(text, length, noQuestionMarks);
  });
}
BENCHMARK(BM_RecodePass)->ArgName("NoQMarks")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_RemoveCharsetMeta(benchmark::State& state) {
  RunOnFreshCopies(state, [](char* text) {
    std::size_t length = kTextSize;
    ostrel::RemoveCharsetMeta(text, length);
  });
}
BENCHMARK(BM_RemoveCharsetMeta)->Unit(benchmark::kMillisecond);

void BM_TranslateToKoi8(benchmark::State& state) {
  RunOnFreshCopies(state, [](char* text) { ostrel::TranslateToKoi8(text, kTextSize, false); });
}
BENCHMARK(BM_TranslateToKoi8)->Unit(benchmark::kMillisecond);

void BM_Memcpy(benchmark::State& state) {
  const std::string& source = RussianHtml();
  std::vector<char> copy(source.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), source.data(), source.size());
    benchmark::ClobberMemory();
  }
  ReportRate(state);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
