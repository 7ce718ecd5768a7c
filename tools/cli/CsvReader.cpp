#include "CsvReader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "UsageError.h"

namespace karvel::cli {

namespace {

std::vector<std::string> cells(const std::string& line) {
    std::vector<std::string> result;
    std::stringstream stream(line);
    for (std::string cell; std::getline(stream, cell, ',');) {
        const auto first = cell.find_first_not_of(" \t\r");
        const auto last = cell.find_last_not_of(" \t\r");
        result.push_back(first == std::string::npos ? "" : cell.substr(first, last - first + 1));
    }
    if (!line.empty() && line.back() == ',') result.emplace_back();
    return result;
}

bool skipped(const std::string& line) {
    const auto first = line.find_first_not_of(" \t\r");
    return first == std::string::npos || line[first] == '#';
}

} // namespace

CsvReader::CsvReader(const std::string& path, const std::string& what) : path_(path), input_(path) {
    if (!input_) throw UsageError("cannot open the " + what + " " + path);
}

bool CsvReader::nextLine(std::string& line) {
    while (std::getline(input_, line)) {
        ++line_;
        if (!skipped(line)) return true;
    }
    return false;
}

std::vector<std::string> CsvReader::header(const std::string& expected) {
    std::string line;
    if (!nextLine(line)) fail("no header line (" + expected + ")");
    std::vector<std::string> result = cells(line);
    columns_ = result.size();
    return result;
}

bool CsvReader::nextRow(std::vector<std::string>& row) {
    std::string line;
    if (!nextLine(line)) return false;
    row = cells(line);
    if (row.size() != columns_)
        fail("expected " + std::to_string(columns_) + " values, found " + std::to_string(row.size()));
    return true;
}

void CsvReader::fail(const std::string& what) const {
    throw UsageError(path_ + ":" + std::to_string(line_) + ": " + what);
}

double CsvReader::number(const std::string& column, const std::string& cell) const {
    char* end = nullptr;
    const double value = std::strtod(cell.c_str(), &end);
    if (cell.empty() || *end != '\0' || !std::isfinite(value)) fail(column + " '" + cell + "' is not a number");
    return value;
}

std::optional<std::size_t> findColumn(const CsvReader& reader, const std::vector<std::string>& header,
                                      const std::string& name) {
    const auto found = std::find(header.begin(), header.end(), name);
    if (found == header.end()) return std::nullopt;
    if (std::count(header.begin(), header.end(), name) > 1) reader.fail("column '" + name + "' twice");
    return static_cast<std::size_t>(found - header.begin());
}

std::size_t requireColumn(const CsvReader& reader, const std::vector<std::string>& header, const std::string& name) {
    const std::optional<std::size_t> column = findColumn(reader, header, name);
    if (!column) reader.fail("the header lacks the column '" + name + "'");
    return *column;
}

} // namespace karvel::cli
