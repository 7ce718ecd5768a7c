#include "CsvReader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "UsageError.h"

namespace karvel::cli {

namespace {

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr int kLinesPerProgress = 8192;

constexpr char kBlanks[] = " \t\r";
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool skipped(const std::string& line) {
    const auto first = line.find_first_not_of(kBlanks);
    return first == std::string::npos || line[first] == '#';
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The header's separator: a comma, else a semicolon or a tab where the header
// uses one (outside quotes).
char separatorOf(const std::string& header) {
    std::size_t commas = 0, semicolons = 0, tabs = 0;
    bool quoted = false;
    for (const char c : header) {
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        commas += c == ',';
        semicolons += c == ';';
        tabs += c == '\t';
    }
    if (commas > 0) return ',';
    if (semicolons > 0) return ';';
    return tabs > 0 ? '\t' : ',';
}

std::optional<double> numberIn(const std::string& cell) {
    char* end = nullptr;
    const double value = std::strtod(cell.c_str(), &end);
    if (cell.empty() || *end != '\0' || !std::isfinite(value)) return std::nullopt;
    return value;
}

bool isNumber(const std::string& cell) { return numberIn(cell).has_value(); }

} // namespace

CsvReader::CsvReader(const std::string& path, const std::string& what, ReadProgress progress)
    : path_(path), input_(std::filesystem::u8path(path), std::ios::binary), progress_(std::move(progress)) {
    if (!input_) throw UsageError("cannot open the " + what + " " + path);
    std::error_code error;
    size_ = std::filesystem::file_size(std::filesystem::u8path(path), error);
    if (error) size_ = 0;
}

bool CsvReader::nextLine(std::string& line) {
    while (std::getline(input_, line)) {
        ++line_;
        read_ += line.size() + 1;
        if (progress_ && line_ % kLinesPerProgress == 0) progress_(read_, size_);
        if (line_ == 1) {
            if (line.rfind("\xFF\xFE", 0) == 0 || line.rfind("\xFE\xFF", 0) == 0)
                fail("the file is UTF-16 text: save it as UTF-8 (or plain ASCII)");
            if (line.rfind(kUtf8Mark, 0) == 0) line.erase(0, sizeof kUtf8Mark - 1);
        }
        if (!skipped(line)) return true;
    }
    if (progress_) progress_(read_, size_);
    return false;
}

void CsvReader::split(const std::string& line, std::vector<std::string>& cells) const {
    std::size_t count = 0;
    std::size_t at = 0;
    for (;;) {
        if (cells.size() <= count) cells.emplace_back();
        std::string& cell = cells[count++];
        cell.clear();
        const std::size_t start = line.find_first_not_of(" \r", at);
        if (start != std::string::npos && line[start] == '"') {
            // A quoted cell: up to the closing quote, "" standing for one.
            for (at = start + 1; at < line.size(); ++at) {
                if (line[at] != '"') {
                    cell.push_back(line[at]);
                } else if (at + 1 < line.size() && line[at + 1] == '"') {
                    cell.push_back('"');
                    ++at;
                } else {
                    ++at;
                    break;
                }
            }
            const std::size_t next = line.find(separator_, at);
            at = next == std::string::npos ? line.size() : next;
        } else {
            const std::size_t next = line.find(separator_, at);
            const std::size_t end = next == std::string::npos ? line.size() : next;
            std::size_t first = at, last = end;
            while (first < last && isBlank(line[first])) ++first;
            while (last > first && isBlank(line[last - 1])) --last;
            cell.assign(line, first, last - first);
            at = end;
        }
        if (at >= line.size()) break;
        ++at; // the separator
    }
    cells.resize(count);
}

std::vector<std::string> CsvReader::header(const std::string& expected) {
    std::string line;
    if (!nextLine(line)) fail("no header line (" + expected + ")");
    separator_ = separatorOf(line);
    split(line, written_);
    if (std::all_of(written_.begin(), written_.end(), isNumber))
        fail("the first line holds numbers, not column names: start the file with the header " + expected);
    std::vector<std::string> names;
    for (const std::string& name : written_) names.push_back(lowerCase(name));
    return names;
}

std::string CsvReader::columnsFound() const {
    if (written_.size() == 1 && written_[0].find(' ') != std::string::npos)
        return "one column, '" + written_[0] + "' (separate the names with commas)";
    std::string list;
    for (const std::string& name : written_) list += (list.empty() ? "'" : ", '") + name + "'";
    return "the columns " + list;
}

bool CsvReader::nextRow(std::vector<std::string>& row) {
    std::string line;
    if (!nextLine(line)) return false;
    split(line, row);
    if (row.size() != written_.size()) {
        std::string what =
            "expected " + std::to_string(written_.size()) + " values, found " + std::to_string(row.size());
        if (row.size() > written_.size() && separator_ == ',' && line.find('"') == std::string::npos)
            what += " (a decimal comma splits a value in two: write 0.5, not 0,5)";
        fail(what);
    }
    return true;
}

void CsvReader::fail(const std::string& what) const {
    throw UsageError(path_ + ":" + std::to_string(line_) + ": " + what);
}

double CsvReader::number(const std::string& column, const std::string& cell) const {
    if (const std::optional<double> value = numberIn(cell)) return *value;
    std::string pointed = cell;
    std::replace(pointed.begin(), pointed.end(), ',', '.');
    if (pointed != cell && isNumber(pointed))
        fail(column + " '" + cell + "' is not a number: write a decimal point (" + pointed + ")");
    fail(column + " '" + cell + "' is not a number");
}

std::optional<std::size_t> findColumn(const CsvReader& reader, const std::vector<std::string>& header,
                                      const std::string& name) {
    const auto found = std::find(header.begin(), header.end(), name);
    if (found == header.end()) return std::nullopt;
    const auto column = static_cast<std::size_t>(found - header.begin());
    const auto again = std::find(found + 1, header.end(), name);
    if (again != header.end()) {
        const std::string& first = reader.writtenName(column);
        const std::string& second = reader.writtenName(static_cast<std::size_t>(again - header.begin()));
        reader.fail("column '" + name + "' twice" + (first != second ? " ('" + first + "' and '" + second + "')" : ""));
    }
    return column;
}

std::size_t requireColumn(const CsvReader& reader, const std::vector<std::string>& header, const std::string& name) {
    const std::optional<std::size_t> column = findColumn(reader, header, name);
    if (!column) reader.fail("the header lacks the column '" + name + "': it has " + reader.columnsFound());
    return *column;
}

} // namespace karvel::cli
