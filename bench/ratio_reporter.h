// A console reporter that also keeps each benchmark's CPU time per iteration, so a benchmark
// program can print the ratio of two of them measured in the same run.
#pragma once
#include <benchmark/benchmark.h>

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
