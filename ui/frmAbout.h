#pragma once

#include <QColor>
#include <QDialog>

class QLabel;
class QPushButton;

// Title, version, credit and description of the application.
class frmAbout : public QDialog {
    Q_OBJECT

public:
    explicit frmAbout(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private slots:
    void cmdOK_Click();

private:
    // The etched rule under the description, in twips; drawn in order, so
    // the grey line lies over the white one.
    struct RuleLine {
        int fromX;
        int toX;
        int y;
        QColor colour;
        int width; // pixels
    };
    static const RuleLine Line1[2];

    QPushButton *cmdOK;
    QLabel *picIcon;
    QLabel *lblDescription;
    QLabel *lblDisclaimer;
    QLabel *lblTitle;
    QLabel *lblVersion;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
};
