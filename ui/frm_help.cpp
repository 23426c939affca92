#include "ui/frm_help.h"

#include "ui/fonts.h"
#include "ui/icons.h"
#include "ui/twips.h"
#include "ui/window_style.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QStringDecoder>
#include <QStyle>

namespace {

// More than any help text needs; a larger file is cut, so that a wrong
// file in its place never freezes the window or fills the memory.
constexpr qint64 kMaxHelpBytes = 1024 * 1024;

// The help file is 8-bit text: UTF-8 where it is valid, else Latin-1, and
// any line end shows as a line break.
QString helpTextFrom(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

QString frm_help::helpFilePath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Morvanehlp.txt"));
}

frm_help::frm_help(QWidget *parent) : QWidget(parent, Qt::Window | kCloseBoxOnly)
{
    setObjectName(QStringLiteral("frm_help"));
    setWindowTitle(QStringLiteral("AF99 Morvane Part Application 1.1 : Help"));
    setWindowIcon(helpIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twips(9645), twips(9405));
    setFont(msSansSerif(8.25));
    setColour(this, QPalette::Window, colours::kBlue);
    setAutoFillBackground(true);

    hlp_text = new QPlainTextEdit(this);
    hlp_text->setObjectName(QStringLiteral("hlp_text"));
    hlp_text->setGeometry(twipsRect(240, 240, 9135, 8295));
    hlp_text->setAccessibleName(QStringLiteral("Help text"));
    hlp_text->setReadOnly(true);
    hlp_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    hlp_text->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    hlp_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    hlp_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    hlp_text->setFont(msSansSerif(9.75));
    makeWhiteBox(hlp_text);

    Command1 = new QPushButton(QStringLiteral("&Close"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twipsRect(3720, 8760, 1815, 495));
    Command1->setAutoDefault(true);
    connect(Command1, &QPushButton::clicked, this, &frm_help::Command1_Click);
    // Close is the cancel button: Escape presses it from anywhere in the window.
    connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, Command1, &QPushButton::click);

    // A screen too small for the window, title bar and all, takes what it
    // lacks from the text box, which scrolls; Close stays centred below it.
    const QSize lack =
        (size() + QSize(0, style()->pixelMetric(QStyle::PM_TitleBarHeight)) - screen()->availableGeometry().size())
            .expandedTo(QSize(0, 0));
    setFixedSize(size() - lack);
    hlp_text->resize(hlp_text->size() - lack);
    Command1->move(Command1->pos() - QPoint(lack.width() / 2, lack.height()));

    load();
    hlp_text->setFocus();
}

void frm_help::load()
{
    const QString path = helpFilePath();
    const QFileInfo file(path);
    if (!file.exists()) {
        hlp_text->setPlainText(QStringLiteral("ERROR : Help file is missing ! Please reinstall application"));
        return;
    }
    // A FIFO would never end its opening, a device its reading.
    if (!file.isFile()) {
        m_loadError = QStringLiteral("The help file %1 could not be read: it is not a plain file.")
                          .arg(QDir::toNativeSeparators(path));
        return;
    }
    m_helpStream.setFileName(path);
    if (!m_helpStream.open(QIODevice::ReadOnly)) {
        m_loadError = QStringLiteral("The help file %1 could not be opened: %2.")
                          .arg(QDir::toNativeSeparators(path), m_helpStream.errorString());
        return;
    }
    QByteArray bytes = m_helpStream.read(kMaxHelpBytes + 1);
    if (m_helpStream.error() != QFileDevice::NoError) {
        m_loadError = QStringLiteral("The help file %1 could not be read: %2.")
                          .arg(QDir::toNativeSeparators(path), m_helpStream.errorString());
        m_helpStream.close();
        return;
    }
    QString text;
    if (bytes.size() > kMaxHelpBytes) {
        // Cut after the last whole line, so that no character is cut in two;
        // where there is none, before the UTF-8 letter that would be.
        const qsizetype lineEnd = bytes.lastIndexOf('\n', kMaxHelpBytes - 1);
        qsizetype cut = lineEnd >= 0 ? lineEnd + 1 : kMaxHelpBytes;
        for (int back = 0; lineEnd < 0 && back < 3 && (bytes[cut] & 0xC0) == 0x80; ++back)
            --cut;
        bytes.truncate(cut);
        text = helpTextFrom(bytes) + (lineEnd < 0 ? QStringLiteral("\n") : QString())
            + QStringLiteral("[The help text is cut here: the file is longer than 1 MiB.]");
    } else {
        text = helpTextFrom(bytes);
    }
    // Qt wraps a word wider than the box in a time that grows with the
    // square of its length: a text holding one longer than any help text
    // needs wraps anywhere, or the window would freeze for half a minute.
    static const QRegularExpression hugeWord(QStringLiteral("\\S{10000}"));
    if (text.contains(hugeWord))
        hlp_text->setWordWrapMode(QTextOption::WrapAnywhere);
    hlp_text->setPlainText(text);
}

void frm_help::Command1_Click() { close(); }

// However the window closes, its stream is closed with it.
void frm_help::closeEvent(QCloseEvent *event)
{
    m_helpStream.close();
    event->accept();
}
