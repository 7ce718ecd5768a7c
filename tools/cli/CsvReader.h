// Reads the host's CSV files line by line: a header naming the columns, then
// rows of cells. Lines starting with # and blank lines are skipped. Every
// complaint names the file and the line (and ends `karvel` with status 2).
#pragma once

#include <cstddef>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace karvel::cli {

class CsvReader {
public:
    // `what` names the kind of file in messages ("motion file").
    CsvReader(const std::string& path, const std::string& what);

    // The header's cells; fails when the file has none (`expected` says what it should hold).
    std::vector<std::string> header(const std::string& expected);
    // The next row's cells, checked to be as many as the header's; false at the end.
    bool nextRow(std::vector<std::string>& cells);

    // Throws UsageError "PATH:LINE: what".
    [[noreturn]] void fail(const std::string& what) const;
    // The cell as a finite number, else fails naming the column.
    double number(const std::string& column, const std::string& cell) const;

private:
    bool nextLine(std::string& line);

    std::string path_;
    std::ifstream input_;
    int line_ = 0;
    std::size_t columns_ = 0;
};

// Where `name` stands in the header; fails when it is there twice.
std::optional<std::size_t> findColumn(const CsvReader& reader, const std::vector<std::string>& header,
                                      const std::string& name);
// The same for a column the file must have.
std::size_t requireColumn(const CsvReader& reader, const std::vector<std::string>& header, const std::string& name);

} // namespace karvel::cli
