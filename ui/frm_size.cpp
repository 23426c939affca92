#include "ui/frm_size.h"

#include "core/part_picture.h"
#include "core/rules/number_text.h"
#include "core/rules/part_lines.h"
#include "core/rules/part_size.h"
#include "ui/fonts.h"
#include "ui/icons.h"
#include "ui/part_picture_view.h"
#include "ui/window_style.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

using morvane::kAxisNames;

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text, const QString &description)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setAccessibleDescription(description);
    return label;
}

// A label of words that may be long: they wrap in their column.
QLabel *makeWordsLabel(QWidget *parent, const QString &name, const QString &description)
{
    QLabel *label = makeLabel(parent, name, QString(), description);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

QString axisName(std::size_t axis) { return QLatin1String(kAxisNames[axis]); }

} // namespace

frm_size::frm_size(const morvane::ShownPart &part, const morvane::ResizeSettings &settings, QWidget *parent)
    : QWidget(parent, Qt::Window | kCloseBoxOnly), m_part(part), m_settings(settings)
{
    setObjectName(QStringLiteral("frm_size"));
    setWindowTitle(part.fileName + QStringLiteral(" - Size and picture"));
    setWindowIcon(applicationIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(msSansSerif(8.25));
    const QFont bold = msSansSerif(8.25, FontStyle::Bold);

    lblPart = makeLabel(this, QStringLiteral("lblPart"), part.fileName, QStringLiteral("The part file"));
    lblPart->setFont(bold);
    lblLines = makeLabel(this, QStringLiteral("lblLines"), QStringLiteral("Reading the part\u2026"),
                         QStringLiteral("How many coordinate lines the part has"));
    prgScan = new QProgressBar(this);
    prgScan->setObjectName(QStringLiteral("prgScan"));
    prgScan->setAccessibleName(QStringLiteral("Reading the part"));
    prgScan->setAccessibleDescription(QStringLiteral("How much of the part has been read"));
    prgScan->setRange(0, 1000);
    prgScan->setTextVisible(false);
    prgScan->hide();
    lblStatus = makeWordsLabel(this, QStringLiteral("lblStatus"), QStringLiteral("Why the part has no size"));
    lblStatus->hide();

    auto *grid = new QGridLayout;
    const std::array<const char *, 5> headings = {"Smallest", "Largest", "Size now", "Size after", "Wanted size"};
    for (std::size_t column = 0; column < headings.size(); ++column) {
        lblHeading[column] = makeLabel(this, QStringLiteral("lblHeading(%1)").arg(column),
                                       QLatin1String(headings[column]), QStringLiteral("Column heading"));
        lblHeading[column]->setFont(bold);
        grid->addWidget(lblHeading[column], 0, static_cast<int>(column) + 1);
    }
    for (std::size_t axis = 0; axis < 3; ++axis) {
        const QString name = axisName(axis);
        const auto row = static_cast<int>(axis) + 1;
        const auto valueLabel = [&](const char *control, const QString &description) {
            return makeLabel(this, QStringLiteral("%1(%2)").arg(QLatin1String(control)).arg(axis), QString(),
                             description.arg(name));
        };
        lblAxis[axis] = makeLabel(this, QStringLiteral("lblAxis(%1)").arg(axis), name, QStringLiteral("Axis"));
        lblAxis[axis]->setFont(bold);
        lblSmallest[axis] = valueLabel("lblSmallest", QStringLiteral("The smallest %1 value"));
        lblLargest[axis] = valueLabel("lblLargest", QStringLiteral("The largest %1 value"));
        lblSizeNow[axis] = valueLabel("lblSizeNow", QStringLiteral("The %1 size now"));
        lblSizeAfter[axis] = makeWordsLabel(this, QStringLiteral("lblSizeAfter(%1)").arg(axis),
                                            QStringLiteral("The %1 size after the resize, and its ends").arg(name));
        txtWanted[axis] = new QLineEdit(this);
        txtWanted[axis]->setObjectName(QStringLiteral("txtWanted(%1)").arg(axis));
        txtWanted[axis]->setAccessibleName(QStringLiteral("Wanted %1 size").arg(name));
        txtWanted[axis]->setAccessibleDescription(QStringLiteral("The %1 size the factors are to give").arg(name));
        txtWanted[axis]->setMaximumWidth(100);
        // Until the part's size is known there is nothing to fit.
        txtWanted[axis]->setReadOnly(true);
        lblFit[axis] = makeWordsLabel(this, QStringLiteral("lblFit(%1)").arg(axis),
                                      QStringLiteral("Why no factor gives the wanted %1 size").arg(name));
        for (int column = 0; QWidget * cell : std::initializer_list<QWidget *>{
                                 lblAxis[axis], lblSmallest[axis], lblLargest[axis], lblSizeNow[axis],
                                 lblSizeAfter[axis], txtWanted[axis], lblFit[axis]})
            grid->addWidget(cell, row, column++);
        connect(txtWanted[axis], &QLineEdit::textEdited, this, [this, axis] { wantedEdited(axis); });
    }
    grid->setColumnMinimumWidth(4, 190);
    grid->setColumnMinimumWidth(6, 170);
    grid->setColumnStretch(4, 1);
    grid->setColumnStretch(6, 1);
    grid->setHorizontalSpacing(12);

    chkKeep = new QCheckBox(QStringLiteral("&Keep proportions"), this);
    chkKeep->setObjectName(QStringLiteral("chkKeep"));
    chkKeep->setAccessibleDescription(QStringLiteral("One wanted size sets all three factors"));
    chkKeep->setChecked(true);
    cmdUse = new QPushButton(QStringLiteral("&Use these factors"), this);
    cmdUse->setObjectName(QStringLiteral("cmdUse"));
    cmdUse->setAccessibleDescription(
        QStringLiteral("Writes the factors that give the wanted sizes into the main window"));
    cmdUse->setAutoDefault(true);
    picPart = new PartPictureView(this);
    picPart->setObjectName(QStringLiteral("picPart"));
    picPart->setAccessibleName(QStringLiteral("Picture of the part"));
    picPart->setSizes({}, {});
    cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAccessibleDescription(QStringLiteral("Closes this window"));
    cmdClose->setAutoDefault(true);

    // Room for the caption beside the style's margins, whatever the font.
    for (QPushButton *button : {cmdUse, cmdClose})
        button->setMinimumWidth(button->sizeHint().width() + 2 * style()->pixelMetric(QStyle::PM_ButtonMargin));

    auto *top = new QHBoxLayout;
    top->addWidget(lblPart);
    top->addStretch();
    top->addWidget(lblLines);
    auto *fitting = new QHBoxLayout;
    fitting->addWidget(chkKeep);
    fitting->addStretch();
    fitting->addWidget(cmdUse);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(prgScan);
    layout->addWidget(lblStatus);
    layout->addLayout(grid);
    layout->addLayout(fitting);
    layout->addWidget(picPart, 1);
    layout->addLayout(bottom);

    connect(chkKeep, &QCheckBox::toggled, this, [this] {
        if (chkKeep->isChecked() && m_size)
            wantedEdited(m_lastWanted);
        showFits();
    });
    connect(cmdUse, &QPushButton::clicked, this, &frm_size::cmdUse_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, cmdClose, &QPushButton::click);

    // The bar shows only once reading takes long enough to be waited for.
    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(50);
    connect(m_progressTimer, &QTimer::timeout, this, &frm_size::showProgress);
    m_fileSize = QFileInfo(QDir(part.folder).filePath(part.fileName)).size();
    m_scanTime.start();
    m_progressTimer->start();
    m_scan = std::jthread([this, part](std::stop_token stop) {
        auto picture = std::make_shared<morvane::PartPicture>();
        morvane::ScanOptions options;
        options.goOn = [this, &stop](std::uint64_t bytesRead) {
            m_bytesRead = bytesRead;
            return !stop.stop_requested();
        };
        options.picture = picture.get();
        const morvane::ScanOutcome outcome = morvane::scanPart(part, options);
        QMetaObject::invokeMethod(
            this, [this, outcome, picture] { scanned(outcome, picture); }, Qt::QueuedConnection);
    });
    cmdClose->setFocus();
}

frm_size::~frm_size()
{
    m_scan.request_stop();
    m_scan.join();
}

void frm_size::closeEvent(QCloseEvent *event)
{
    m_scan.request_stop();
    event->accept();
}

void frm_size::showProgress()
{
    if (m_scanTime.elapsed() < 300)
        return;
    prgScan->show();
    if (m_fileSize > 0)
        prgScan->setValue(static_cast<int>(std::min<std::uint64_t>(m_bytesRead * 1000 / m_fileSize, 1000)));
    else
        prgScan->setRange(0, 0);
}

void frm_size::scanned(const morvane::ScanOutcome &outcome, const std::shared_ptr<const morvane::PartPicture> &picture)
{
    if (std::holds_alternative<morvane::ScanStopped>(outcome))
        return;
    m_progressTimer->stop();
    prgScan->hide();
    lblStatus->show();
    if (const auto *failed = std::get_if<morvane::Failed>(&outcome)) {
        lblLines->setText(QStringLiteral("Morvane cannot resize this part:"));
        lblStatus->setText(morvane::failureReason(failed->error));
        return;
    }
    if (std::holds_alternative<morvane::NoFileSelected>(outcome)) {
        lblLines->clear();
        lblStatus->setText(morvane::outcomeMessage(morvane::NoFileSelected{}));
        return;
    }
    const morvane::PartSize &size = std::get<morvane::Scanned>(outcome).size;
    lblLines->setText(QStringLiteral("Coordinate lines: %1").arg(size.lines));
    if (size.lines == 0) {
        lblStatus->setText(QStringLiteral("The part has no coordinate lines, so it has no size."));
        return;
    }
    m_size = size;
    lblStatus->hide();
    for (std::size_t axis = 3; axis-- > 0;)
        if (!flat(axis))
            m_lastWanted = axis;
    picPart->setPicture(picture);
    showSizes();
}

void frm_size::setSettings(const morvane::ResizeSettings &settings)
{
    m_settings = settings;
    if (m_size)
        showSizes();
}

bool frm_size::flat(std::size_t axis) const { return m_size->axes[axis].min == m_size->axes[axis].max; }

// Every number as the rules write it at the main window's precision.
void frm_size::showSizes()
{
    const morvane::AxisFactors factors = morvane::readFactors(m_settings);
    const auto written = [this](double value) {
        return QString::fromStdString(morvane::writtenNumber(value, m_settings.precision));
    };
    QStringList before;
    QStringList after;
    std::array<double, 3> drawn{};
    for (std::size_t axis = 0; axis < 3; ++axis) {
        const morvane::AxisRange &range = m_size->axes[axis];
        lblSmallest[axis]->setText(written(range.min));
        lblLargest[axis]->setText(written(range.max));
        const auto now = morvane::axisSize(range, axis);
        lblSizeNow[axis]->setText(now ? written(*now) : morvane::wordsOf(now.error()));
        before << lblSizeNow[axis]->text();
        // The first failure of the three steps is the one told.
        std::expected<morvane::AxisRange, morvane::LineError> ends = std::unexpected(morvane::LineError{});
        std::expected<double, morvane::LineError> sizeAfter = std::unexpected(morvane::LineError{});
        if (!factors.factor[axis])
            sizeAfter = std::unexpected(factors.factor[axis].error());
        else if (ends = morvane::rangeAfter(range, *factors.factor[axis], axis, m_settings.precision); !ends)
            sizeAfter = std::unexpected(ends.error());
        else
            sizeAfter = morvane::axisSize(*ends, axis);
        if (sizeAfter) {
            after << written(*sizeAfter);
            drawn[axis] = *factors.factor[axis];
            lblSizeAfter[axis]->setText(
                QStringLiteral("%1, from %2 to %3").arg(after.last(), written(ends->min), written(ends->max)));
        } else {
            lblSizeAfter[axis]->setText(morvane::wordsOf(sizeAfter.error()));
        }
        if (!m_wantedEdited)
            txtWanted[axis]->setText(sizeAfter ? after.last() : lblSizeNow[axis]->text());
        txtWanted[axis]->setReadOnly(flat(axis));
    }
    if (after.size() < 3)
        after.clear();
    picPart->setFactors(after.isEmpty() ? std::nullopt : std::optional(drawn));
    picPart->setSizes(before, after);
    showFits();
}

// With proportions kept, the other wanted sizes follow the one typed.
void frm_size::wantedEdited(std::size_t axis)
{
    m_lastWanted = axis;
    m_wantedEdited = true;
    const auto fitted = morvane::fittedFactor(txtWanted[axis]->text().toStdString(), m_size->axes[axis], axis, false);
    if (chkKeep->isChecked() && fitted) {
        const double factor = *morvane::parseNumber(*fitted);
        for (std::size_t other = 0; other < 3; ++other) {
            // A size past the largest number stays unwritten.
            const double size = (m_size->axes[other].max - m_size->axes[other].min) * factor;
            if (other != axis)
                txtWanted[other]->setText(
                    std::isfinite(size) ? QString::fromStdString(morvane::writtenNumber(size, m_settings.precision))
                                        : QString());
        }
    }
    showFits();
}

// The factor each axis is to take, or why it cannot; a negative factor in
// the main window keeps its mirror. A flat axis has no size to fit: apart,
// it keeps its factor; with proportions kept, it takes the others'.
void frm_size::showFits()
{
    if (!m_size)
        return;
    const morvane::AxisFactors factors = morvane::readFactors(m_settings);
    const std::array<std::string, 3> current = {m_settings.right, m_settings.fore, m_settings.up};
    const bool keep = chkKeep->isChecked();
    for (std::size_t axis = 0; axis < 3; ++axis) {
        const bool mirrored = factors.factor[axis] && *factors.factor[axis] < 0;
        const std::size_t from = keep ? m_lastWanted : axis;
        m_fits[axis] = morvane::fittedFactor(txtWanted[from]->text().toStdString(), m_size->axes[from], from, mirrored);
        if (!keep && flat(axis))
            m_fits[axis] = current[axis];
        QString note;
        if (flat(axis))
            note = morvane::wordsOf(morvane::fittedFactor("0", {}, axis, false).error());
        else if (from == axis && !m_fits[axis])
            note = morvane::wordsOf(m_fits[axis].error());
        lblFit[axis]->setText(note);
    }
}

// Where a size cannot be fitted, the note beside it says why: the button
// then takes the user there, and writes nothing.
void frm_size::cmdUse_Click()
{
    const auto unfit = std::ranges::find_if(m_fits, [](const auto &fit) { return !fit.has_value(); });
    if (!m_size || unfit != m_fits.end()) {
        QApplication::beep();
        if (m_size)
            txtWanted[chkKeep->isChecked() ? m_lastWanted : static_cast<std::size_t>(unfit - m_fits.begin())]
                ->setFocus();
        return;
    }
    QStringList chosen;
    for (const auto &fit : m_fits)
        chosen << QString::fromStdString(fit.value_or(std::string()));
    emit factorsChosen(chosen);
}
