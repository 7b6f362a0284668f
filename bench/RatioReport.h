#pragma once

// Closing table of a benchmark program: each of our paths as a ratio to its reference, both
// measured in this same process.
//
// The machine the benchmarks run on is shared, so wall-clock means swing with the load. Each
// row therefore shows three ratios:
// - "best": the fastest single iteration of each side (wall-clock, timed by TimeEach), the
//   nearest thing to an idle machine; for work split over two threads this is the figure a
//   user sees when both cores are free;
// - "cpu": the CPU time per iteration (of the whole process where a benchmark measures process
//   time, that is all the work both threads did), median over repetitions;
// - "main": the CPU time of the calling thread alone per iteration. For single-threaded work
//   it is the same as "cpu"; for work split in two equal halves it is what the caller waits
//   on an idle two-core machine, less the wait for the helper to finish its half.

#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace zorvane::bench {

inline double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
}

// Runs work() once per iteration, timing each run on its own; prepare() runs before each one
// outside the timing. The fastest run goes into the counter "best_ms", the calling thread's
// CPU time per run into "main_ms".
template <typename Work, typename Prepare>
void TimeEach(benchmark::State& state, Work&& work, Prepare&& prepare) {
    double best = std::numeric_limits<double>::infinity(), mainCpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        prepare();
        state.ResumeTiming();
        const double c0 = ThreadCpuMs();
        const auto t0 = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - t0;
        mainCpu += ThreadCpuMs() - c0;
        best = std::min(best, took.count());
    }
    state.counters["best_ms"] = best;
    state.counters["main_ms"] =
        mainCpu / static_cast<double>(std::max<int64_t>(1, state.iterations()));
}
template <typename Work>
void TimeEach(benchmark::State& state, Work&& work) {
    TimeEach(state, std::forward<Work>(work), [] {});
}

struct RatioRow {
    const char* label;
    const char* ours;       // benchmark name with its arguments, without time suffixes
    const char* reference;  // same; nullptr prints our time alone
    double goal = 0;        // "main" ratio (or ms without a reference) to stay under
};

// A ratio of two counters (for example frames per second of two benchmarks).
struct CounterRatioRow {
    const char* label;
    const char* ours;
    const char* oursCounter;
    const char* reference;
    const char* referenceCounter;
};

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.error_occurred || r.run_type != Run::RT_Iteration || r.iterations <= 0) continue;
            std::string key = r.run_name.function_name;
            if (!r.run_name.args.empty()) key += "/" + r.run_name.args;
            Entry& e = entries_[key];
            e.cpu.push_back(r.cpu_accumulated_time / static_cast<double>(r.iterations));
            for (const auto& [name, counter] : r.counters) e.counters[name] = counter.value;
            auto best = r.counters.find("best_ms");
            if (best != r.counters.end()) e.best = std::min(e.best, best->second.value);
            auto main = r.counters.find("main_ms");
            if (main != r.counters.end()) e.main.push_back(main->second.value);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatios(const std::vector<RatioRow>& rows) const {
        std::printf("\n%-44s %9s %9s %8s %8s %8s  %s\n", "ratio (this run)", "ours ms", "ref ms",
                    "best", "cpu", "main", "goal (on main)");
        for (const RatioRow& row : rows) {
            const Entry* ours = Find(row.ours);
            if (!ours || ours->cpu.empty()) {
                std::printf("%-44s   (not run: %s)\n", row.label, row.ours);
                continue;
            }
            if (!row.reference) {
                const double main = ours->main.empty() ? ours->best : Median(ours->main);
                std::printf("%-44s %9.3f %9s %8s %8s %6.3fms", row.label, ours->best, "", "", "",
                            main);
                if (row.goal > 0)
                    std::printf("  <= %.2f ms %s", row.goal, main <= row.goal ? "met" : "MISSED");
                std::printf("\n");
                continue;
            }
            const Entry* ref = Find(row.reference);
            if (!ref || ref->cpu.empty()) {
                std::printf("%-44s   (reference not run: %s)\n", row.label, row.reference);
                continue;
            }
            const double best = ours->best / ref->best;
            const double cpu = Median(ours->cpu) / Median(ref->cpu);
            const double main = ours->main.empty() || ref->main.empty()
                                    ? cpu
                                    : Median(ours->main) / Median(ref->main);
            std::printf("%-44s %9.3f %9.3f %7.2fx %7.2fx %7.2fx", row.label, ours->best, ref->best,
                        best, cpu, main);
            if (row.goal > 0)
                std::printf("  <= %.2fx %s", row.goal, main <= row.goal ? "met" : "MISSED");
            std::printf("\n");
        }
    }

    void PrintCounterRatios(const std::vector<CounterRatioRow>& rows) const {
        for (const CounterRatioRow& row : rows) {
            const double ours = Counter(row.ours, row.oursCounter);
            const double ref = Counter(row.reference, row.referenceCounter);
            if (ours < 0 || ref <= 0) {
                std::printf("%-44s   (not run)\n", row.label);
                continue;
            }
            std::printf("%-44s %9.1f %9.1f %7.2fx\n", row.label, ours, ref, ours / ref);
        }
    }

    double Counter(const std::string& name, const std::string& key) const {
        const Entry* e = Find(name);
        if (!e) return -1;
        auto c = e->counters.find(key);
        return c == e->counters.end() ? -1 : c->second;
    }

private:
    struct Entry {
        std::vector<double> cpu;   // seconds per iteration, one per repetition
        std::vector<double> main;  // milliseconds of the calling thread per iteration
        double best = std::numeric_limits<double>::infinity();
        std::map<std::string, double> counters;
    };
    const Entry* Find(const std::string& name) const {
        auto it = entries_.find(name);
        return it == entries_.end() ? nullptr : &it->second;
    }
    static double Median(std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
    std::map<std::string, Entry> entries_;
};

// Runs the registered benchmarks with the reporter above and prints the tables; extra(reporter)
// may print more.
template <typename Extra>
int RunWithRatios(int argc, char** argv, const std::vector<RatioRow>& rows,
                  const std::vector<CounterRatioRow>& counterRows, Extra&& extra) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    reporter.PrintRatios(rows);
    reporter.PrintCounterRatios(counterRows);
    extra(reporter);
    return 0;
}
inline int RunWithRatios(int argc, char** argv, const std::vector<RatioRow>& rows,
                         const std::vector<CounterRatioRow>& counterRows = {}) {
    return RunWithRatios(argc, argv, rows, counterRows, [](const RatioReporter&) {});
}

}  // namespace zorvane::bench
