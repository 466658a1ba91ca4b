#pragma once
// CSV in and out. Reading is libcsv's strict RFC 4180 parser (quoted commas, quotes and
// line breaks, CRLF or LF) with a leading byte-order mark dropped and each record's first
// line counted, so that a refusal can name the line. Writing quotes only what must be.
#include <cstdio>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace wtlog {

struct CsvField {
    std::string text;
    bool null = false;  // an empty cell without quotes; "" is empty text
};

// One record: its fields (only the first `size` are valid; the vector is reused).
struct CsvRecord {
    std::vector<CsvField> fields;
    std::size_t size = 0;
    long line = 0;  // the line on which the record begins, 1 for the first
};

class CsvError : public std::runtime_error {
public:
    CsvError(long line, const std::string& what) : std::runtime_error(what), line_(line) {}
    long line() const { return line_; }

private:
    long line_;
};

// Reads `path` record by record; onRecord returns false to stop. Blank lines are skipped.
// Throws CsvError for malformed CSV and std::runtime_error when the file cannot be read.
// onProgress, when given, is told the bytes read so far now and then.
void ReadCsv(const std::string& path, const std::function<bool(const CsvRecord&)>& onRecord,
             const std::function<void(std::uint64_t)>& onProgress = {});

// Writes records to a stdio stream with CRLF line ends, as RFC 4180 has it.
class CsvWriter {
public:
    explicit CsvWriter(std::FILE* out) : out_(out) {}
    void field(std::string_view text);  // quoted when it must be, and when empty
    void null();                         // an empty cell
    void endRecord();
    ~CsvWriter()
    {
        try {
            flush();
        } catch (...) {
        }
    }
    void flush();

private:
    void separator();
    std::FILE* out_;
    std::string buffer_;
    bool first_ = true;
};

} // namespace wtlog
