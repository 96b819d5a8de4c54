// Throughput of field input alone and of the whole conversion on a generated thread.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "converter/ConvertThreadFile.h"
#include "runtime/Channels.h"

namespace {

// A 10 MB thread made once by the generator that sits beside this program.
const std::string& Thread() {
    static const std::string path = [] {
        const std::string file = std::filesystem::temp_directory_path() / "horofu-bench.txt";
        const std::string self = std::filesystem::canonical("/proc/self/exe").parent_path();
        const std::string command = self + "/make_thread 10000000 > " + file;
        if (std::system(command.c_str()) != 0) std::abort();
        return file;
    }();
    return path;
}

void FieldInput(benchmark::State& state) {
    const horofu::Text path(Thread());
    for (auto _ : state) {
        horofu::OpenChannel(path, 1, 1);
        horofu::Text record;
        while (horofu::ChannelAtEnd(1) == 0) horofu::InputFields(1, {record});
        horofu::CloseChannel(1);
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(std::filesystem::file_size(Thread())));
}
BENCHMARK(FieldInput)->Unit(benchmark::kMillisecond);

void Conversion(benchmark::State& state) {
    const horofu::Text in(Thread());
    const horofu::Text out(Thread() + ".html");
    horofu::ConversionListener quiet;
    for (auto _ : state) horofu::ConvertThreadFile(in, out, quiet);
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(std::filesystem::file_size(Thread())));
}
BENCHMARK(Conversion)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
