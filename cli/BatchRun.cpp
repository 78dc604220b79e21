#include "cli/BatchRun.h"

#include "cli/Report.h"
#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"
#include "platform/Utf8Path.h"
#include "processing/ProcessingError.h"

#include <deque>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

namespace parlune {

namespace fs = std::filesystem;

namespace {

using json = nlohmann::ordered_json;

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The text with prefix in front of each line.
std::string prefixed(const std::string& text, const std::string& prefix) {
    std::string result;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        result += prefix + line + "\n";
    return result;
}

// A folder of its own for the children's logs and reports, removed at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        std::error_code reason;
        path = files::MakePrivateFolder(fs::temp_directory_path(reason), "parlune-batch-", reason);
        if (path.empty())
            throw ProcessingError(
                "Error creating a temporary folder!",
                FileDetail(Utf8FromPath(fs::temp_directory_path(reason)), reason.message()));
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    fs::path path;
};

// One map of the batch, run by a child.
struct MapJob {
    std::string source;
    std::string name;
    fs::path report;
    fs::path out;
    fs::path err;
    std::unique_ptr<ChildProcess> child;
};

class Batch {
public:
    explicit Batch(const Options& options) : options(options) {}

    int Run() {
        const ScratchFolder scratch;
        std::deque<MapJob> running;
        const unsigned jobs =
            options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
        for (std::size_t i = 0; i < options.paths.size(); ++i) {
            if (running.size() == jobs)
                finish(running);
            running.push_back(start(options.paths[i], scratch.path / std::to_string(i)));
        }
        while (!running.empty())
            finish(running);
        return conclude();
    }

private:
    MapJob start(const std::string& source, const fs::path& scratch) {
        MapJob job{source,
                   Utf8FromPath(PathFromUtf8(source).filename()),
                   scratch.string() + ".json",
                   scratch.string() + ".out",
                   scratch.string() + ".err",
                   nullptr};
        const std::string target = Utf8FromPath(PathFromUtf8(*options.outDir) / job.name);
        // Two maps of one name would overwrite each other: the later one is not run.
        if (!names.insert(job.name).second)
            return job;
        std::vector<std::string> arguments = {"--copy-unchanged", "--report",
                                              Utf8FromPath(job.report)};
        for (const auto& [on, flag] : {std::pair{options.debug, "--debug"},
                                       {options.noCompact, "--no-compact"},
                                       {options.dryRun, "--dry-run"}})
            if (on)
                arguments.push_back(flag);
        arguments.insert(arguments.end(), {source, target});
        job.child = std::make_unique<ChildProcess>(ThisProgram(), arguments, job.out, job.err);
        return job;
    }

    // Waits for the oldest map, shows its log and keeps its report; the logs thus come in the
    // order of the maps, each as one block.
    void finish(std::deque<MapJob>& running) {
        MapJob job = std::move(running.front());
        running.pop_front();
        const int exitCode = job.child ? job.child->Wait() : -1;
        const std::string prefix = options.paths.size() > 1 ? job.name + ": " : "";
        std::FILE* logStream = options.report == "-" ? stderr : stdout;
        std::fputs(prefixed(readText(job.out), prefix).c_str(), logStream);
        std::fflush(logStream);
        std::string errors = readText(job.err);
        json report = json::parse(readText(job.report), nullptr, false);
        if (report.is_discarded()) {
            const std::string why =
                job.child ? "the run ended abnormally (exit code " + std::to_string(exitCode) + ")"
                          : "an earlier map has the same name";
            errors += why + "\n";
            report = failedReport(job, why);
        }
        std::fputs(prefixed(errors, job.name + ": ").c_str(), stderr);
        std::fflush(stderr);
        if (report.at("outcome") != "done")
            ++failed;
        reports.push_back(std::move(report));
    }

    json failedReport(const MapJob& job, const std::string& why) const {
        RunState state;
        state.SourcePath = job.source;
        state.TargetPath = Utf8FromPath(PathFromUtf8(*options.outDir) / job.name);
        return RunReport(state, {options.dryRun, why, 0});
    }

    int conclude() {
        std::FILE* log = options.report == "-" ? stderr : stdout;
        std::fprintf(log, "%zu maps done, %zu failed\n", reports.size() - failed, failed);
        std::fflush(log);
        if (options.report) {
            const std::string text = ReportText(reports);
            if (*options.report == "-")
                std::fputs(text.c_str(), stdout);
            else
                std::ofstream(PathFromUtf8(*options.report), std::ios::binary) << text;
        }
        if (failed > 0)
            return kRunFailed;
        for (const json& report : reports)
            if (options.check && ReportHasProblems(report))
                return kCheckFailed;
        return kSuccess;
    }

    const Options& options;
    std::set<std::string> names;
    json reports = json::array();
    std::size_t failed = 0;
};

} // namespace

int RunManyMaps(const Options& options) {
    try {
        return Batch(options).Run();
    } catch (const ProcessingError& failure) {
        std::fputs((DisplayText(TextWithDetail(failure)) + "\n").c_str(), stderr);
        return kRunFailed;
    }
}

} // namespace parlune
