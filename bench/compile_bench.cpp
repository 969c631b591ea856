// The compiler alone on a sorted list: parsing, word table, chunking and
// compression, record packing and assembly into the database, with the work
// folder in the system's temporary folder. Run from a Release build:
//   build-release/bench/compile_bench
// The whole build, intake and sort included, is timed by bench/build_bench.sh.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "compiler/compile.h"
#include "driver/build_context.h"
#include "word_list_generator.h"

namespace lexbuild {
namespace {

namespace fs = std::filesystem;

class QuietConsole final : public Console {
 public:
  void write(std::string_view) override {}
};

// A generated list sorted by its lines' bytes, as the intake would hand it over.
size_t write_sorted_list(const fs::path& path, long entries) {
  std::vector<std::string> lines;
  wordlist::generate(entries, 1, 300, [&](const std::string& line) { lines.push_back(line); });
  std::sort(lines.begin(), lines.end());
  std::ofstream out(path, std::ios::binary);
  size_t bytes = 0;
  for (const std::string& line : lines) {
    out << line;
    bytes += line.size();
  }
  return bytes;
}

void compile_list(benchmark::State& state) {
  const fs::path work = fs::temp_directory_path() / ("compile_bench." + std::to_string(getpid()));
  fs::create_directories(work);
  const size_t bytes = write_sorted_list(work / "list", state.range(0));

  for (auto _ : state) {
    Settings settings = init_settings_with_work_folder(work.string());
    settings.infile = (work / "list").string();
    settings.outfile = (work / "Bench.pdb").string();
    settings.id = "Bench";
    QuietConsole console;
    Log log;
    BuildContext context(settings, console, log);
    compile_dictionary(context);
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
  state.counters["list_MB"] = static_cast<double>(bytes) / 1048576.0;
  state.counters["pdb_MB"] = static_cast<double>(fs::file_size(work / "Bench.pdb")) / 1048576.0;
  fs::remove_all(work);
}

BENCHMARK(compile_list)->Arg(10000)->Arg(125000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace lexbuild
BENCHMARK_MAIN();
