#include "core/part_picture.h"

#include <algorithm>
#include <cmath>

namespace morvane {

namespace {

constexpr std::size_t kGridSize = static_cast<std::size_t>(PartPicture::kCells) * PartPicture::kCells;

} // namespace

PartPicture::PartPicture()
{
    for (auto &grid : m_counts)
        grid.assign(kGridSize, 0);
}

void PartPicture::add(const double *values)
{
    if (m_points == 0) {
        // Cells a billionth of the first value's magnitude wide, centred on
        // it: any part's spread is reached in a few dozen doublings.
        for (std::size_t axis = 0; axis < 3; ++axis) {
            const double magnitude = std::fabs(values[axis]);
            const int exponent = magnitude == 0 ? -30 : std::max(std::ilogb(magnitude) - 30, -1000);
            m_axes[axis].width = std::ldexp(1.0, exponent);
            m_axes[axis].inverse = std::ldexp(1.0, -exponent);
            m_axes[axis].origin = values[axis] - kCells / 2 * m_axes[axis].width;
        }
    }
    std::array<int, 3> cells;
    for (std::size_t axis = 0; axis < 3; ++axis) {
        // Widths are powers of two: times the inverse is the quotient, exactly.
        const double cell = (values[axis] - m_axes[axis].origin) * m_axes[axis].inverse;
        if (cell >= 0 && cell < kCells) [[likely]] {
            cells[axis] = static_cast<int>(cell);
            continue;
        }
        const auto reached = cellOf(axis, values[axis]);
        if (!reached)
            return;
        cells[axis] = *reached;
    }
    for (std::size_t axis = 0; axis < 3; ++axis) {
        m_axes[axis].first = std::min(m_axes[axis].first, cells[axis]);
        m_axes[axis].last = std::max(m_axes[axis].last, cells[axis]);
    }
    for (std::size_t view = 0; view < kViews.size(); ++view) {
        std::uint16_t &count = m_counts[view][static_cast<std::size_t>(cells[kViews[view].up]) * kCells
                                              + static_cast<std::size_t>(cells[kViews[view].across])];
        count += count != UINT16_MAX;
    }
    ++m_points;
}

std::uint16_t PartPicture::mostInACell(std::size_t view) const
{
    return *std::max_element(m_counts[view].begin(), m_counts[view].end());
}

// The cell of a value along an axis, the cells widened until one holds it;
// nothing where they would have to reach past the largest doubles.
std::optional<int> PartPicture::cellOf(std::size_t axis, double value)
{
    Axis wider = m_axes[axis];
    while (true) {
        const double cell = std::floor((value - wider.origin) / wider.width);
        if (cell >= 0 && cell < kCells)
            break;
        // Doubled towards the value: the cells so far become the half of
        // the new ones on the other side.
        if (cell < 0)
            wider.origin -= kCells * wider.width;
        wider.width *= 2;
        if (!std::isfinite(wider.origin) || !std::isfinite(wider.origin + kCells * wider.width))
            return std::nullopt;
    }
    if (wider.width != m_axes[axis].width)
        widen(axis, wider);
    return static_cast<int>(std::floor((value - wider.origin) / wider.width));
}

// Moves the counts of every view across `axis` into its wider cells.
void PartPicture::widen(std::size_t axis, const Axis &wider)
{
    Axis &narrow = m_axes[axis];
    const auto newCell = [&](int cell) {
        const double centre = narrow.origin + (cell + 0.5) * narrow.width;
        return std::clamp(static_cast<int>(std::floor((centre - wider.origin) / wider.width)), 0, kCells - 1);
    };
    std::vector<std::uint16_t> counts(kGridSize);
    for (std::size_t view = 0; view < kViews.size(); ++view) {
        const View shown = kViews[view];
        if (shown.across != axis && shown.up != axis)
            continue;
        std::fill(counts.begin(), counts.end(), 0);
        for (int up = m_axes[shown.up].first; up <= m_axes[shown.up].last; ++up)
            for (int across = m_axes[shown.across].first; across <= m_axes[shown.across].last; ++across) {
                const std::uint16_t count =
                    m_counts[view][static_cast<std::size_t>(up) * kCells + static_cast<std::size_t>(across)];
                if (count == 0)
                    continue;
                const int newUp = shown.up == axis ? newCell(up) : up;
                const int newAcross = shown.across == axis ? newCell(across) : across;
                std::uint16_t &merged =
                    counts[static_cast<std::size_t>(newUp) * kCells + static_cast<std::size_t>(newAcross)];
                merged = static_cast<std::uint16_t>(std::min(merged + count, UINT16_MAX));
            }
        m_counts[view].swap(counts);
    }
    if (narrow.last >= narrow.first) {
        narrow.first = newCell(narrow.first);
        narrow.last = newCell(narrow.last);
    }
    narrow.origin = wider.origin;
    narrow.width = wider.width;
    narrow.inverse = 1 / wider.width;
}

} // namespace morvane
