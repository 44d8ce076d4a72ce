#ifndef NUVRIXCONFIG_TEXTTABLE_H
#define NUVRIXCONFIG_TEXTTABLE_H

#include <string>
#include <vector>

namespace nuvrixconfig {

// Rows of text cells printed in aligned columns, two spaces apart, below a
// heading row. Columns marked numeric are right-aligned. Widths
// count bytes, which is exact for the ASCII names and keys it shows.
class TextTable {
public:
    explicit TextTable(std::vector<std::string> headings, std::vector<bool> numeric = {});

    void addRow(std::vector<std::string> cells);
    // The table, each line indented by indent spaces, the last one ending
    // with a line break.
    std::string render(std::size_t indent = 0) const;

private:
    std::vector<std::vector<std::string>> rows;  // the headings first
    std::vector<bool> numeric;
};

}  // namespace nuvrixconfig

#endif
