// Reads the host's CSV files line by line: a header naming the columns, then
// rows of cells. Lines starting with # and blank lines are skipped. Files as
// spreadsheets write them are taken as they come: a UTF-8 byte order mark,
// cells in double quotes, columns separated by semicolons or tabs (when the
// header is), names in any case. Every complaint names the file and the line
// (and ends `karvel` with status 2), says what to change where it can, and
// one about the header lists the columns found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace karvel::cli {

class CsvReader {
public:
    // Told now and then how far the reading is: bytes read, and the file's size.
    using ReadProgress = std::function<void(std::uint64_t read, std::uint64_t size)>;

    // `what` names the kind of file in messages ("motion file").
    CsvReader(const std::string& path, const std::string& what, ReadProgress progress = {});

    // The header's column names, in lower case; fails when the file has none
    // (`expected` is the header it should have).
    std::vector<std::string> header(const std::string& expected);
    // The name of column `column` as the file writes it.
    const std::string& writtenName(std::size_t column) const { return written_[column]; }
    // "'Zeit', 'pitch', 'roll'" and what to change when the names run together.
    std::string columnsFound() const;

    // The next row's cells, checked to be as many as the header's; false at the end.
    bool nextRow(std::vector<std::string>& cells);

    // Throws UsageError "PATH:LINE: what".
    [[noreturn]] void fail(const std::string& what) const;
    // The cell as a finite number, else fails naming the column.
    double number(const std::string& column, const std::string& cell) const;

private:
    bool nextLine(std::string& line);
    void split(const std::string& line, std::vector<std::string>& cells) const;

    std::string path_;
    std::ifstream input_;
    ReadProgress progress_;
    std::uint64_t size_ = 0, read_ = 0;
    int line_ = 0;
    char separator_ = ',';
    std::vector<std::string> written_;
};

// Where `name` (lower case) stands in the header; fails when it is there twice.
std::optional<std::size_t> findColumn(const CsvReader& reader, const std::vector<std::string>& header,
                                      const std::string& name);
// The same for a column the file must have.
std::size_t requireColumn(const CsvReader& reader, const std::vector<std::string>& header, const std::string& name);

} // namespace karvel::cli
