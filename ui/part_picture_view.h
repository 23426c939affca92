#pragma once

#include <QImage>
#include <QStringList>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <utility>

namespace morvane {
class PartPicture;
}

// A part's points from above, from the front and from the side: before a
// resize in the palette's text colour, after it in its accent colour, the
// two to one scale in each view, and each axis named with its sizes.
class PartPictureView : public QWidget {
    Q_OBJECT

public:
    explicit PartPictureView(QWidget *parent = nullptr);

    void setPicture(std::shared_ptr<const morvane::PartPicture> picture);
    // The factors of the resize; none where one does not read, and then
    // only the part as it is is drawn.
    void setFactors(const std::optional<std::array<double, 3>> &factors);
    // The sizes written along the axes, as the window writes them; `after`
    // empty where there is none.
    void setSizes(const QStringList &before, const QStringList &after);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // A view's image before or after, its cells merged in pairs of across
    // and up cells; made again when these change.
    QColor colour(bool after) const;
    const QImage &image(std::size_t view, bool after, std::pair<int, int> merged) const;
    void paintView(QPainter &painter, std::size_t view, const QRect &column) const;
    void paintLegend(QPainter &painter, const QRect &row) const;

    std::shared_ptr<const morvane::PartPicture> m_picture;
    std::optional<std::array<double, 3>> m_factors;
    QStringList m_before;
    QStringList m_after;
    struct Drawn {
        QImage image;
        std::pair<int, int> merged;
    };
    mutable std::array<std::array<Drawn, 2>, 3> m_drawn;
};
