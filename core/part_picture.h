#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace morvane {

// Where a part's points lie, seen from above, from the front and from the
// side: one grid of point counts per view, gathered point by point in one
// pass; a count stops at 65535, which shading cannot tell from more, and
// keeps the grids small enough to stay in a processor's cache. Each axis is cut into kCells cells of one width; a point
// outside them doubles the width, merging neighbours, until it is inside. Memory is the grids', whatever the part; time
// is linear, as the cells double at most a few hundred times.
class PartPicture {
public:
    static constexpr int kCells = 256;
    static_assert(kCells % 2 == 0, "cells merge in pairs");

    // The axes a view shows across and up: RIGHT by FORE from above, RIGHT
    // by UP from the front, FORE by UP from the side.
    struct View {
        std::size_t across;
        std::size_t up;
    };
    static constexpr std::array<View, 3> kViews = {{{0, 1}, {0, 2}, {1, 2}}};

    PartPicture();

    // Takes in one point: its RIGHT, FORE and UP values. A point the cells
    // cannot reach, past the largest doubles, is left out.
    void add(const double *values);

    bool empty() const { return m_points == 0; }
    std::uint64_t points() const { return m_points; }
    // Points in cell (across, up) of a view, the first cell at the lowest values.
    std::uint16_t count(std::size_t view, int across, int up) const
    {
        return m_counts[view][static_cast<std::size_t>(up) * kCells + static_cast<std::size_t>(across)];
    }
    // The most points in one cell of a view.
    std::uint16_t mostInACell(std::size_t view) const;
    // Where cell 0 of an axis begins, and the width of its cells.
    double origin(std::size_t axis) const { return m_axes[axis].origin; }
    double cellWidth(std::size_t axis) const { return m_axes[axis].width; }
    // The first and the last cell of an axis that hold a point.
    int firstCell(std::size_t axis) const { return m_axes[axis].first; }
    int lastCell(std::size_t axis) const { return m_axes[axis].last; }

private:
    struct Axis {
        double origin = 0;
        double width = 0;
        double inverse = 0;
        int first = kCells;
        int last = -1;
    };
    std::optional<int> cellOf(std::size_t axis, double value);
    void widen(std::size_t axis, const Axis &wider);

    std::array<Axis, 3> m_axes;
    std::array<std::vector<std::uint16_t>, 3> m_counts;
    std::uint64_t m_points = 0;
};

} // namespace morvane
