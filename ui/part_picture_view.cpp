#include "ui/part_picture_view.h"

#include "core/part_picture.h"
#include "core/rules/part_lines.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

using morvane::PartPicture;

constexpr std::array<const char *, 3> kViewNames = {"From above", "From the front", "From the side"};

// `colour` where it stands out from `background`, else as light or as dark
// as it must be to: a dark theme may keep a dark accent.
QColor standingOut(QColor colour, const QColor &background)
{
    const bool darkBackground = qGray(background.rgb()) < 128;
    if (std::abs(qGray(colour.rgb()) - qGray(background.rgb())) < 96)
        colour.setHsl(colour.hslHue(), colour.hslSaturation(), darkBackground ? 185 : 70);
    return colour;
}

// A view's occupied cells in `colour`, `merged` cells across and up to a
// pixel so that none is thinner than one, the first row at the top; more
// opaque with more points, by the logarithm, so that a few points still
// show beside a crowded cell.
QImage densityImage(const PartPicture &picture, std::size_t view, const QColor &colour, int mostAlpha,
                    std::pair<int, int> merged)
{
    const auto [across, up] = PartPicture::kViews[view];
    const auto [acrossMerged, upMerged] = merged;
    const int width = (picture.lastCell(across) - picture.firstCell(across)) / acrossMerged + 1;
    const int height = (picture.lastCell(up) - picture.firstCell(up)) / upMerged + 1;
    std::vector<std::uint64_t> counts(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int cellUp = picture.firstCell(up); cellUp <= picture.lastCell(up); ++cellUp)
        for (int cellAcross = picture.firstCell(across); cellAcross <= picture.lastCell(across); ++cellAcross)
            counts[static_cast<std::size_t>((picture.lastCell(up) - cellUp) / upMerged * width
                                            + (cellAcross - picture.firstCell(across)) / acrossMerged)] +=
                picture.count(view, cellAcross, cellUp);
    const double most = std::log1p(static_cast<double>(*std::ranges::max_element(counts)));
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const std::uint64_t count = counts[static_cast<std::size_t>(y * width + x)];
            if (count == 0)
                continue;
            const int alpha = 130 + static_cast<int>((mostAlpha - 130) * std::log1p(static_cast<double>(count)) / most);
            line[x] = qPremultiply(qRgba(colour.red(), colour.green(), colour.blue(), alpha));
        }
    }
    return image;
}

// How many cells `size` pixels wide make a dot of two pixels, which shows
// a lone point where one pixel, on a laptop's screen, hardly would.
int cellsPerDot(double size)
{
    const double cells = 2 / std::abs(size);
    return cells >= PartPicture::kCells ? PartPicture::kCells : std::max(1, static_cast<int>(std::ceil(cells)));
}

// The lowest and the highest value an axis's occupied cells reach.
std::pair<double, double> extent(const PartPicture &picture, std::size_t axis)
{
    return {picture.origin(axis) + picture.firstCell(axis) * picture.cellWidth(axis),
            picture.origin(axis) + (picture.lastCell(axis) + 1) * picture.cellWidth(axis)};
}

// A side of an image, in pixels of the view, never thinner than one pixel.
double visible(double scale, int cells)
{
    return std::abs(scale) * cells >= 1 ? scale : std::copysign(1.0, scale) / cells;
}

} // namespace

PartPictureView::PartPictureView(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(3 * 210, 200);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void PartPictureView::setPicture(std::shared_ptr<const PartPicture> picture)
{
    m_picture = std::move(picture);
    m_drawn = {};
    update();
}

void PartPictureView::setFactors(const std::optional<std::array<double, 3>> &factors)
{
    m_factors = factors;
    update();
}

void PartPictureView::setSizes(const QStringList &before, const QStringList &after)
{
    m_before = before;
    m_after = after;
    QString words;
    const auto inWords = [](const QStringList &sizes) {
        QStringList each;
        for (qsizetype axis = 0; axis < sizes.size(); ++axis)
            each << sizes[axis] + ' ' + morvane::kAxisNames[static_cast<std::size_t>(axis)];
        return each.join(QStringLiteral(" by "));
    };
    if (!before.isEmpty())
        words = QStringLiteral("Before: %1.").arg(inWords(before));
    if (!after.isEmpty())
        words += QStringLiteral(" After: %1.").arg(inWords(after));
    setAccessibleDescription(words.isEmpty() ? QStringLiteral("No points to draw.") : words);
    update();
}

void PartPictureView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        m_drawn = {};
    QWidget::changeEvent(event);
}

// Before in the text colour, lighter, after in the accent colour.
QColor PartPictureView::colour(bool after) const
{
    return standingOut(palette().color(after ? QPalette::Highlight : QPalette::WindowText),
                       palette().color(QPalette::Window));
}

const QImage &PartPictureView::image(std::size_t view, bool after, std::pair<int, int> merged) const
{
    Drawn &drawn = m_drawn[view][after];
    if (drawn.image.isNull() || drawn.merged != merged)
        drawn = {densityImage(*m_picture, view, colour(after), after ? 255 : 150, merged), merged};
    return drawn.image;
}

void PartPictureView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const int line = fontMetrics().height();
    paintLegend(painter, QRect(0, 0, width(), line));
    const int columnWidth = width() / 3;
    for (std::size_t view = 0; view < 3; ++view)
        paintView(painter, view,
                  QRect(static_cast<int>(view) * columnWidth, line + 2, columnWidth, height() - line - 2));
}

// What the two colours stand for.
void PartPictureView::paintLegend(QPainter &painter, const QRect &row) const
{
    const int box = row.height() * 2 / 3;
    int left = row.left() + 4;
    for (const bool after : {false, true}) {
        if (after && !m_factors)
            break;
        QColor swatch = colour(after);
        swatch.setAlpha(after ? 255 : 150);
        painter.fillRect(QRect(left, row.center().y() - box / 2, box, box), swatch);
        left += box + 4;
        const QString words = after ? QStringLiteral("After the resize") : QStringLiteral("As it is");
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(left, row.top(), row.width(), row.height()), Qt::AlignLeft | Qt::AlignVCenter, words);
        left += fontMetrics().horizontalAdvance(words) + 16;
    }
}

// One view in its column: its name above, the across axis below, the up
// axis on the left, and the part before and after in one scale, world y up.
void PartPictureView::paintView(QPainter &painter, std::size_t view, const QRect &column) const
{
    const auto [across, up] = PartPicture::kViews[view];
    const int line = fontMetrics().height();
    const QColor text = palette().color(QPalette::WindowText);
    const auto axisText = [this](std::size_t axis) {
        QString words = QLatin1String(morvane::kAxisNames[axis]);
        if (m_before.size() == 3)
            words += ' ' + m_before[static_cast<qsizetype>(axis)];
        if (m_after.size() == 3)
            words += QStringLiteral(" \u2192 ") + m_after[static_cast<qsizetype>(axis)];
        return words;
    };
    painter.setPen(text);
    painter.drawText(QRect(column.left(), column.top(), column.width(), line), Qt::AlignCenter,
                     QLatin1String(kViewNames[view]));
    painter.drawText(QRect(column.left(), column.bottom() - line, column.width(), line), Qt::AlignCenter,
                     axisText(across));
    painter.save();
    painter.translate(column.left(), column.center().y());
    painter.rotate(-90);
    painter.drawText(QRect(-column.height() / 2, 0, column.height(), line), Qt::AlignCenter, axisText(up));
    painter.restore();

    const QRectF plot = QRectF(column).adjusted(line + 4, line + 4, -6, -line - 4);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(plot);
    if (!m_picture || m_picture->empty())
        return;

    const std::array<double, 3> factors = m_factors.value_or(std::array<double, 3>{1, 1, 1});
    const auto [acrossLow, acrossHigh] = extent(*m_picture, across);
    const auto [upLow, upHigh] = extent(*m_picture, up);
    // What both cover, before and after.
    const auto covered = [&](double low, double high, double factor) {
        return std::pair{std::min({low, high, low * factor, high * factor}),
                         std::max({low, high, low * factor, high * factor})};
    };
    const auto [left, right] = covered(acrossLow, acrossHigh, factors[across]);
    const auto [bottom, top] = covered(upLow, upHigh, factors[up]);
    // One scale for both axes; a cell never wider than a few pixels, so that
    // a part of one point is a dot.
    const QRectF inner = plot.adjusted(4, 4, -4, -4);
    const double scale = std::min({inner.width() / (right - left), inner.height() / (top - bottom),
                                   4 / std::max(m_picture->cellWidth(across), m_picture->cellWidth(up))});
    const QPointF centre = inner.center();
    const double middleX = (left + right) / 2;
    const double middleY = (bottom + top) / 2;
    const auto draw = [&](bool after, double acrossFactor, double upFactor) {
        // Pixel (x, y) of the image is the cell at acrossLow + x merged
        // cells, upHigh - y merged cells, multiplied by the factors.
        const double acrossScale = acrossFactor * m_picture->cellWidth(across) * scale;
        const double upScale = upFactor * m_picture->cellWidth(up) * scale;
        const std::pair merged{cellsPerDot(acrossScale), cellsPerDot(upScale)};
        const QImage &drawn = image(view, after, merged);
        painter.setTransform(QTransform(visible(acrossScale * merged.first, drawn.width()), 0, 0,
                                        visible(upScale * merged.second, drawn.height()),
                                        centre.x() + (acrossFactor * acrossLow - middleX) * scale,
                                        centre.y() - (upFactor * upHigh - middleY) * scale));
        painter.drawImage(0, 0, drawn);
        painter.resetTransform();
    };
    // The part as it is over the part after, which is most often the
    // larger: its lighter dots let the accent through.
    painter.setClipRect(plot);
    if (m_factors)
        draw(true, factors[across], factors[up]);
    draw(false, 1, 1);
    painter.setClipping(false);
}
