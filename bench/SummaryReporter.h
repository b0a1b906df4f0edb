#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

// Collects every repetition of every benchmark and, at the end, prints one table:
// median time, the ratio to the baseline measured in the same run, the per-item
// cost growth from the smallest to the largest size, and whether the target holds.
class SummaryReporter : public benchmark::BenchmarkReporter
{
public:
    bool ReportContext(const Context& context) override;
    void ReportRuns(const std::vector<Run>& runs) override;

    // Prints the table; writes it as JSON to jsonPath when that is not empty.
    // Returns whether every target that the measured sizes allow to judge is met.
    bool printTable(const std::string& jsonPath) const;
    bool hadErrors() const { return m_errors; }

private:
    // milliseconds of each repetition, by benchmark name and size
    std::map<std::pair<std::string, long>, std::vector<double>> m_times;
    bool m_errors = false;
    int m_cpus = 0;
};
