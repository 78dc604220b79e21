#include "cli/CliProcessor.h"

#include "cli/Console.h"

#include <cstdio>

namespace parlune {

CliProcessor::CliProcessor(const Options& options, std::FILE* log)
    : options(options), log(log), showProgress(console::StderrIsConsole()) {}

void CliProcessor::Log(const std::string& text) {
    clearProgressLine();
    std::fwrite(text.data(), 1, text.size(), log);
    std::fputc('\n', log);
    std::fflush(log);
}

void CliProcessor::CompactionProgress(std::uint64_t done, std::uint64_t total) {
    if (!showProgress || total == 0)
        return;
    std::fprintf(stderr, "\rCompacting: %3u%%", static_cast<unsigned>(done * 100 / total));
    std::fflush(stderr);
    progressShown = true;
}

void CliProcessor::clearProgressLine() {
    if (!progressShown)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    progressShown = false;
}

} // namespace parlune
