#include "output/TextTable.h"

#include <algorithm>
#include <utility>

namespace nuvrixconfig {

TextTable::TextTable(std::vector<std::string> headings, std::vector<bool> numericIn) : numeric(std::move(numericIn)) {
    rows.push_back(std::move(headings));
}

void TextTable::addRow(std::vector<std::string> cells) { rows.push_back(std::move(cells)); }

std::string TextTable::render(std::size_t indent) const {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], row[column].size());
        }
    }
    std::string text;
    for (const auto& row : rows) {
        std::string line(indent, ' ');
        for (std::size_t column = 0; column < row.size(); ++column) {
            const std::string& cell = row[column];
            const std::string padding(widths[column] - cell.size(), ' ');
            const bool right = column < numeric.size() && numeric[column];
            if (column > 0) {
                line += "  ";
            }
            line += right ? padding + cell : cell + padding;
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        text += line + '\n';
    }
    return text;
}

}  // namespace nuvrixconfig
