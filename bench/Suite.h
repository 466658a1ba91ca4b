#pragma once
// The benchmark's plumbing: measurements that add samples, and rows of the result table
// that compare one measurement's median with a baseline's against a target. A file of
// measurements registers both through one Add...(Suite&) function that main.cpp calls.
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace bench {

// The program folders one logbook size is measured in. Each holds Wingtrail.dat and
// images/Wingtrail.img, as the program expects beside its executable.
struct Setup {
    long n = 0;
    std::string folder;   // the generated logbook of n entries; never written
    std::string scratch;  // a copy of it with the program's executable beside, for the steps that write
    std::string empty;    // an empty logbook
    std::vector<int> columns;  // 1-based overview columns to sort by
    int rep = 0;
    std::string database() const { return folder + "/Wingtrail.dat"; }
};

// Every sample of one logbook size, by key, in the order taken; and the wrong results seen.
class Samples {
public:
    void add(const std::string& key, double value) { values_[key].push_back(value); }
    bool has(const std::string& key) const;
    double median(const std::string& key) const;
    const std::map<std::string, std::vector<double>>& all() const { return values_; }
    // A result that is wrong (not merely slow): the run exits non-zero.
    void wrong(const std::string& what) { problems_.push_back(what); }
    const std::vector<std::string>& problems() const { return problems_; }
    void expectRows(const std::string& what, long got, long want);

private:
    std::map<std::string, std::vector<double>> values_;
    std::vector<std::string> problems_;
};

enum class Unit { Ms, BytesPerEntry, Bytes };

// One line of the result table: ours <= factor x baseline + plus, or, without a baseline,
// ours <= factor. A factor of 0 shows the figures without a target.
struct Row {
    std::string step;
    std::string key;
    std::string baselineKey;
    std::string baselineName;
    double factor = 0;
    double plus = 0;  // in the row's unit
    Unit unit = Unit::Ms;
};

struct Measurement {
    std::string name;  // what --only selects
    std::function<void(const Setup&, Samples&)> run;  // one run: adds samples under its keys
    bool oncePerSize = false;  // slow: run once per size, not once per repetition
    bool optIn = false;        // only when --only names it
};

class Suite {
public:
    void add(Measurement m) { measurements_.push_back(std::move(m)); }
    void add(Row r) { rows_.push_back(std::move(r)); }
    const std::vector<Measurement>& measurements() const { return measurements_; }
    const std::vector<Row>& rows() const { return rows_; }
    bool knows(const std::string& name) const;

    // The overview columns the sort rows are made for; set before the Add... calls.
    std::vector<int> columns;

private:
    std::vector<Measurement> measurements_;
    std::vector<Row> rows_;
};

// What a row shows for one size.
struct Outcome {
    bool measured = false;
    double ours = 0, baseline = 0;
    double ratio = 0;  // ours / baseline; ours itself without a baseline
    bool hasTarget = false, met = false;
    std::string target;  // "≤ 1.5 × + 1 ms"
};
Outcome Judge(const Row& row, const Samples& s);

// The table of one size, then every sample.
void PrintSize(const Suite& suite, const Samples& s, long n);
// One line a step, one column a size, the verdict at the largest size.
void PrintSummary(const Suite& suite, const std::vector<std::pair<long, Samples>>& sizes);

std::string Fmt(double x, int decimals = -1);
std::string LoadAverage();

} // namespace bench
