#pragma once

// Closing table of a benchmark program: each of our paths as a ratio to its reference, both
// measured in this same process. Times are the median, over repetitions, of the time per
// iteration (wall-clock where a benchmark asks for real time, else CPU time of the main thread
// as Google Benchmark reports it).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace zorvane::bench {

struct RatioRow {
    const char* label;
    const char* ours;       // benchmark name as Google Benchmark prints it
    const char* reference;  // same; nullptr prints our time alone
    double goal = 0;        // ratio (or milliseconds without a reference) to stay under; 0 = none
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
            const double total = UsesRealTime(r) ? r.real_accumulated_time : r.cpu_accumulated_time;
            seconds_[r.run_name.str()].push_back(total / static_cast<double>(r.iterations));
            for (const auto& [key, counter] : r.counters)
                counters_[r.run_name.str()][key] = counter.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Median seconds per iteration, or a negative number when the benchmark did not run.
    double Seconds(const std::string& name) const {
        auto it = seconds_.find(name);
        if (it == seconds_.end() || it->second.empty()) return -1;
        std::vector<double> v = it->second;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }

    void PrintRatios(const std::vector<RatioRow>& rows) const {
        std::printf("\n%-44s %10s %10s %8s %6s\n", "ratio (same run, median)", "ours ms", "ref ms",
                    "ratio", "goal");
        for (const RatioRow& row : rows) {
            const double ours = Seconds(row.ours);
            if (ours < 0) {
                std::printf("%-44s   (not run: %s)\n", row.label, row.ours);
                continue;
            }
            if (!row.reference) {
                std::printf("%-44s %10.3f %10s %8s", row.label, ours * 1e3, "", "");
                if (row.goal > 0)
                    std::printf(" <=%.2fms %s", row.goal, ours * 1e3 <= row.goal ? "ok" : "MISSED");
                std::printf("\n");
                continue;
            }
            const double ref = Seconds(row.reference);
            if (ref <= 0) {
                std::printf("%-44s   (reference not run: %s)\n", row.label, row.reference);
                continue;
            }
            const double ratio = ours / ref;
            std::printf("%-44s %10.3f %10.3f %7.2fx", row.label, ours * 1e3, ref * 1e3, ratio);
            if (row.goal > 0)
                std::printf(" <=%.2fx %s", row.goal, ratio <= row.goal ? "ok" : "MISSED");
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
            std::printf("%-44s %10.1f %10.1f %7.2fx\n", row.label, ours, ref, ours / ref);
        }
    }

private:
    double Counter(const std::string& name, const std::string& key) const {
        auto it = counters_.find(name);
        if (it == counters_.end()) return -1;
        auto c = it->second.find(key);
        return c == it->second.end() ? -1 : c->second;
    }
    static bool UsesRealTime(const Run& r) { return !r.run_name.time_type.empty(); }
    std::map<std::string, std::vector<double>> seconds_;
    std::map<std::string, std::map<std::string, double>> counters_;
};

// Runs the registered benchmarks with the reporter above and prints the table.
inline int RunWithRatios(int argc, char** argv, const std::vector<RatioRow>& rows,
                         const std::vector<CounterRatioRow>& counterRows = {}) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    reporter.PrintRatios(rows);
    reporter.PrintCounterRatios(counterRows);
    return 0;
}

}  // namespace zorvane::bench
