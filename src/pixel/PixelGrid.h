#pragma once

#include <QHashFunctions>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>
#include <vector>

namespace vorn {

// A rectangle in cell units: x and y count cells from the grid's top-left corner.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A picture as rows of characters, one square cell per character. The rows are shared between
// copies, so views and tables pass grids around without copying them.
class PixelGrid {
public:
    PixelGrid();
    explicit PixelGrid(QStringList rows);

    const QStringList& rows() const;
    int width() const;  // cells in the longest row; 0 without rows
    int height() const; // number of rows

    // Every maximal horizontal stretch of cells equal to `cell`, row by row from the top and left to
    // right within a row, each one cell high. A cell is one user-perceived character.
    std::vector<PixelRect> runs(QStringView cell) const;
    std::vector<PixelRect> runs(QChar cell) const;

    friend bool operator==(const PixelGrid& a, const PixelGrid& b);

private:
    struct Data;
    std::shared_ptr<const Data> m_data;
};

size_t qHash(const PixelGrid& grid, size_t seed = 0) noexcept;

} // namespace vorn
