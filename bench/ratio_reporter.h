// A console reporter that also keeps each benchmark's CPU time per iteration, so a benchmark
// program can print the ratio of two of them measured in the same run.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            if (r.iterations > 0 && r.run_type == Run::RT_Iteration)
                cpu_[r.run_name.function_name] = r.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    double cpu(const std::string& name) const
    {
        auto it = cpu_.find(name);
        return it == cpu_.end() ? 0.0 : it->second;
    }

private:
    std::map<std::string, double> cpu_;
};

// The sound library decodes on its own thread, so its benchmarks count the whole process's CPU
// time, in milliseconds, over five iterations.
inline void register_process_cpu(benchmark::internal::Benchmark* b)
{
    b->Unit(benchmark::kMillisecond)->Iterations(5)->MeasureProcessCPUTime();
}

// Runs what is registered and prints the CPU-time ratio of `subject` to `reference`, as `what`.
inline void run_and_print_ratio(int& argc, char** argv, const char* subject, const char* reference, const char* what,
                                double goal)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double s = reporter.cpu(subject), r = reporter.cpu(reference);
    if (s > 0 && r > 0) std::printf("CPU-time ratio %s: %.3f (goal <= %.1f)\n", what, s / r, goal);
    benchmark::Shutdown();
}
