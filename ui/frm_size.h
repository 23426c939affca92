#pragma once

#include "core/part_scan.h"
#include "core/rules/resize_settings.h"

#include <QElapsedTimer>
#include <QWidget>

#include <array>
#include <atomic>
#include <expected>
#include <memory>
#include <optional>
#include <thread>

class PartPictureView;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

// A part's size along each axis, now and after a resize by the main
// window's factors, a picture of its points, and the factors that give it
// the sizes wanted. The part is read on a thread of its own, so that the
// window answers however large the part.
class frm_size : public QWidget {
    Q_OBJECT

public:
    frm_size(const morvane::ShownPart &part, const morvane::ResizeSettings &settings, QWidget *parent = nullptr);
    ~frm_size() override;

public slots:
    // The main window's factors and precision, as they change.
    void setSettings(const morvane::ResizeSettings &settings);

signals:
    // The factors for the main window's boxes, RIGHT, FORE and UP.
    void factorsChosen(const QStringList &factors);

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void cmdUse_Click();

private:
    void showProgress();
    void scanned(const morvane::ScanOutcome &outcome, const std::shared_ptr<const morvane::PartPicture> &picture);
    void showSizes();
    void wantedEdited(std::size_t axis);
    void showFits();
    bool flat(std::size_t axis) const;

    QLabel *lblPart;
    QLabel *lblLines;
    QProgressBar *prgScan;
    QLabel *lblStatus;
    std::array<QLabel *, 5> lblHeading;
    std::array<QLabel *, 3> lblAxis;
    std::array<QLabel *, 3> lblSmallest;
    std::array<QLabel *, 3> lblLargest;
    std::array<QLabel *, 3> lblSizeNow;
    std::array<QLabel *, 3> lblSizeAfter;
    std::array<QLineEdit *, 3> txtWanted;
    std::array<QLabel *, 3> lblFit;
    QCheckBox *chkKeep;
    QPushButton *cmdUse;
    PartPictureView *picPart;
    QPushButton *cmdClose;
    QTimer *m_progressTimer;

    morvane::ShownPart m_part;
    morvane::ResizeSettings m_settings;
    std::optional<morvane::PartSize> m_size; // once the part is read
    std::array<std::expected<std::string, morvane::LineError>, 3> m_fits;
    std::size_t m_lastWanted = 0; // the wanted size that sets the others
    bool m_wantedEdited = false;

    qint64 m_fileSize = 0;
    QElapsedTimer m_scanTime;
    std::atomic<std::uint64_t> m_bytesRead = 0;
    // Last, so that it is stopped and joined before the rest goes.
    std::jthread m_scan;
};
