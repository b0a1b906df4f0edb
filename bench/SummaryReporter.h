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
    // The counter in which an operation reports the baseline measured in each of its
    // runs; the summary shows it as "<operation>_baseline".
    static constexpr const char* kBaselineCounter = "baseline_ms";

    bool ReportContext(const Context& context) override;
    void ReportRuns(const std::vector<Run>& runs) override;

    // Prints the table; writes it as JSON to jsonPath when that is not empty.
    // Returns whether every target that the measured sizes allow to judge is met.
    bool printTable(const std::string& jsonPath) const;
    bool hadErrors() const { return m_errors; }

    // The times of every repetition, written by a process that ran some operations and
    // read by the one that prints the table.
    bool writeRaw(const std::string& path) const;
    bool readRaw(const std::string& path);

private:
    // milliseconds of each repetition, by benchmark name and size; an operation and its
    // paired baseline have one entry per repetition each, in the same order
    std::map<std::pair<std::string, long>, std::vector<double>> m_times;
    bool m_errors = false;
    int m_cpus = 0;
};
