#include "logbook/Csv.h"

#include <csv.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace wtlog {

namespace {

struct ParseState {
    const std::function<bool(const CsvRecord&)>* onRecord;
    CsvRecord record;
    long line = 1;          // the line the parser is on
    long recordLine = 1;    // where the record under way began
    long breaksInRecord = 0;
    bool afterCr = false;
    bool stopped = false;
    bool inRecord = false;
};

void onField(void* data, std::size_t len, void* user)
{
    auto& s = *static_cast<ParseState*>(user);
    if (s.stopped)
        return;
    if (!s.inRecord) {
        s.inRecord = true;
        s.recordLine = s.line;
        s.record.size = 0;
    }
    s.afterCr = false;
    if (s.record.fields.size() <= s.record.size)
        s.record.fields.emplace_back();
    CsvField& f = s.record.fields[s.record.size++];
    f.null = data == nullptr;
    if (data) {
        const char* p = static_cast<const char*>(data);
        f.text.assign(p, len);
        for (const char* end = p + len; (p = static_cast<const char*>(std::memchr(p, '\n', end - p))); ++p)
            ++s.breaksInRecord;
    } else {
        f.text.clear();
    }
}

void onRecordEnd(int c, void* user)
{
    auto& s = *static_cast<ParseState*>(user);
    if (!s.inRecord) {
        // A line break outside any record: a blank line, or the LF of a CRLF.
        if (c == '\n' && s.afterCr) {
            s.afterCr = false;
            return;
        }
        if (c == '\n' || c == '\r')
            ++s.line;
        s.afterCr = c == '\r';
        return;
    }
    s.inRecord = false;
    s.record.line = s.recordLine;
    s.line += s.breaksInRecord + (c == '\n' || c == '\r' ? 1 : 0);
    s.breaksInRecord = 0;
    s.afterCr = c == '\r';
    if (!s.stopped && !(*s.onRecord)(s.record))
        s.stopped = true;
}

} // namespace

void ReadCsv(const std::string& path, const std::function<bool(const CsvRecord&)>& onRecord,
             const std::function<void(std::uint64_t)>& onProgress)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        throw std::runtime_error("cannot read '" + path + "': " + std::strerror(errno));
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL | CSV_EMPTY_IS_NULL) != 0)
        throw std::runtime_error("out of memory");
    std::unique_ptr<csv_parser, void (*)(csv_parser*)> guard(&parser, &csv_free);
    ParseState state;
    state.onRecord = &onRecord;
    std::vector<char> block(1 << 20);
    bool first = true;
    std::uint64_t total = 0;
    auto malformed = [&] {
        return CsvError(state.inRecord ? state.recordLine : state.line,
                        "malformed CSV: a quote inside a field that is not in quotes, text after a closing quote, "
                        "or a quote that is never closed");
    };
    while (!state.stopped) {
        const std::size_t n = std::fread(block.data(), 1, block.size(), file.get());
        if (n == 0) {
            if (std::ferror(file.get()))
                throw std::runtime_error("cannot read '" + path + "': " + std::strerror(errno));
            break;
        }
        std::size_t from = 0;
        if (first && n >= 3 && std::memcmp(block.data(), "\xEF\xBB\xBF", 3) == 0)
            from = 3;
        first = false;
        if (csv_parse(&parser, block.data() + from, n - from, onField, onRecordEnd, &state) != n - from)
            throw malformed();
        total += n;
        if (onProgress)
            onProgress(total);
    }
    if (!state.stopped && csv_fini(&parser, onField, onRecordEnd, &state) != 0)
        throw malformed();
}

void CsvWriter::separator()
{
    if (!first_)
        buffer_ += ',';
    first_ = false;
}

void CsvWriter::field(std::string_view text)
{
    separator();
    // One look at each byte (find_first_of would search the four marks for every byte).
    bool plain = !text.empty();
    for (char c : text)
        plain = plain && c != ',' && c != '"' && c != '\r' && c != '\n';
    if (plain) {
        buffer_ += text;
        return;
    }
    buffer_ += '"';
    for (std::size_t from = 0;;) {
        const std::size_t quote = text.find('"', from);
        buffer_ += text.substr(from, quote == std::string_view::npos ? std::string_view::npos : quote + 1 - from);
        if (quote == std::string_view::npos)
            break;
        buffer_ += '"';
        from = quote + 1;
    }
    buffer_ += '"';
}

void CsvWriter::null() { separator(); }

void CsvWriter::endRecord()
{
    buffer_ += "\r\n";
    first_ = true;
    if (buffer_.size() > (1 << 16))
        flush();
}

void CsvWriter::flush()
{
    if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), out_) != buffer_.size())
        throw std::runtime_error(std::string("cannot write: ") + std::strerror(errno));
    buffer_.clear();
}

} // namespace wtlog
