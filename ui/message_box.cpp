#include "ui/message_box.h"

#include "ui/application_title.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLayout>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QTextBoundaryFinder>

namespace {

// A break the user cannot see. A label wraps only between words, and a
// long name, path or number would be one word too wide for any box.
constexpr QChar kBreak(0x200B); // ZERO WIDTH SPACE

// Words as long as this stay whole; a longer one may break between any two
// of its characters.
constexpr int kLongestWholeWord = 20;

QString breakable(const QString &text)
{
    static const QRegularExpression longWord(QStringLiteral("\\S{%1,}").arg(kLongestWholeWord + 1));
    QString broken;
    qsizetype done = 0;
    for (const QRegularExpressionMatch &word : longWord.globalMatch(text)) {
        broken += QStringView(text).sliced(done, word.capturedStart() - done);
        QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, word.captured());
        for (qsizetype from = 0, to = characters.toNextBoundary(); to > 0;
             from = to, to = characters.toNextBoundary()) {
            if (from > 0)
                broken += kBreak;
            broken += word.capturedView().sliced(from, to - from);
        }
        done = word.capturedEnd();
    }
    return broken += QStringView(text).sliced(done);
}

// What a title bar needs for `title` whole: the window manager's font is
// not Qt's to know, and is often bold where Qt's is not; beside it, the
// icon, three buttons and the margins take some six bars' heights.
int titleBarWidth(const QString &title, int titleBarHeight)
{
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) + 6 * titleBarHeight;
}

class MessageBox : public QMessageBox {
public:
    MessageBox(QWidget *parent, const QString &text)
        : QMessageBox(NoIcon, QString::fromLatin1(morvane::kApplicationTitle), breakable(text), Ok, parent)
    {
        setTextFormat(Qt::PlainText);
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event); // where Qt sizes the box to its text
        if (const int width = fittingWidth(); width > this->width()) {
            // The buttons' row spans the box, and the text wraps in what is left.
            const QMargins margins = layout()->contentsMargins();
            findChild<QDialogButtonBox *>()->setMinimumWidth(width - margins.left() - margins.right());
            setText(text()); // sized again
        }
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        QMessageBox::keyPressEvent(event);
        // Windows copies the box with Ctrl+C: its words as they are.
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (event->matches(QKeySequence::Copy) && clipboard->text().contains(kBreak))
            clipboard->setText(clipboard->text().remove(kBreak));
    }

private:
    // Qt makes the box as wide as its text needs, up to a limit, and as tall
    // as the text is then. It must be wider where its title would be cut in
    // the title bar, beside the icon and the buttons, or where it would be
    // taller than the screen, as far as the screen goes.
    int fittingWidth() const
    {
        const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight);
        const QSize frame = (frameGeometry().size() - size()).expandedTo(QSize(0, titleBar));
        const QSize room = screen()->availableGeometry().size() - frame;
        int width = qMax(this->width(), titleBarWidth(windowTitle(), titleBar));
        while (width < room.width() && layout()->totalHeightForWidth(width) > room.height())
            width += qMax(room.width() / 16, 1);
        return qMin(width, room.width());
    }
};

} // namespace

void showMessageBox(QWidget *parent, const QString &message)
{
    MessageBox box(parent, QString(message).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    if (parent)
        box.setFont(parent->font());
    box.exec();
}
