#include "ui/frmAbout.h"

#include "ui/fonts.h"
#include "ui/icons.h"
#include "ui/twips.h"
#include "ui/window_style.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace {

// Labels show plain text and take no clicks, the e-mail address included.
QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, const QRect &geometry, const QFont &font,
                  const QColor &colour = QColor())
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    if (colour.isValid()) {
        setColour(label, QPalette::WindowText, colour);
    }
    return label;
}

} // namespace

const frmAbout::RuleLine frmAbout::Line1[2] = {
    {705, 6254, 2880, colours::kWhite, 2},
    {690, 6254, 2880, colours::kGrey, 1},
};

frmAbout::frmAbout(QWidget *parent) : QDialog(parent, Qt::Dialog | kCloseBoxOnly)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About AF99 Morvane Application 1.1"));
    setWindowIcon(applicationIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twips(6660), twips(4455));
    setFont(msSansSerif(8.25));
    // The labels' colours are fixed, so the face they sit on is too.
    setColour(this, QPalette::Window, colours::kLightFace);
    setColour(this, QPalette::WindowText, colours::kBlack);

    const QFont bold = msSansSerif(8.25, FontStyle::Bold);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsRect(5040, 3120, 1260, 1065));
    // Both the default and the cancel button: QDialog closes on Escape.
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setGeometry(twipsRect(240, 240, 540, 540));
    picIcon->setPixmap(applicationIcon().pixmap(picIcon->size()));
    picIcon->setAccessibleName(QStringLiteral("Morvane"));

    lblDescription = makeLabel(this, "lblDescription",
                               QStringLiteral("This application provides resizing or bending parts created under AF5 "
                                              "or AF99 application by Abacus."),
                               twipsRect(1050, 2160, 5205, 450), bold, colours::kBlack);
    lblDescription->setWordWrap(true);
    lblDisclaimer = makeLabel(this, "lblDisclaimer", QStringLiteral("Warning:"), twipsRect(720, 3120, 1110, 225), bold,
                              colours::kRed);
    lblTitle =
        makeLabel(this, "lblTitle", QStringLiteral("AF99 Morvane Part Application"), twipsRect(1050, 360, 5325, 600),
                  msSansSerif(18, FontStyle::Bold | FontStyle::Underlined), colours::kBlue);
    lblVersion =
        makeLabel(this, "lblVersion", QStringLiteral("V1.1 - November 2001."), twipsRect(1050, 1560, 3885, 225), bold);
    Label1 = makeLabel(this, "Label1", QStringLiteral("By Morvane team"), twipsRect(1050, 1080, 1575, 255), bold,
                       colours::kBlue);
    Label2 = makeLabel(this, "Label2", QString(), twipsRect(720, 3840, 3015, 255), bold, colours::kRed);
    Label3 = makeLabel(this, "Label3", QString(), twipsRect(720, 3480, 3255, 255), bold, colours::kRed);
    Label4 = makeLabel(this, "Label4", QStringLiteral("morvane@example.org"), twipsRect(2880, 1080, 3375, 255),
                       msSansSerif(8.25, FontStyle::Underlined), colours::kBlue);
}

void frmAbout::cmdOK_Click() { close(); }

void frmAbout::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    QPainter painter(this);
    for (const RuleLine &line : Line1)
        painter.fillRect(
            QRect(QPoint(twips(line.fromX), twips(line.y)), QPoint(twips(line.toX), twips(line.y) + line.width - 1)),
            line.colour);
}
