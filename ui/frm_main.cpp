#include "ui/frm_main.h"

#include "core/part_file_names.h"
#include "core/resize_run.h"
#include "ui/fonts.h"
#include "ui/frmAbout.h"
#include "ui/frm_help.h"
#include "ui/frm_size.h"
#include "ui/icons.h"
#include "ui/message_box.h"
#include "ui/screen_placement.h"
#include "ui/twips.h"
#include "ui/window_style.h"

#include <QApplication>
#include <QDir>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTreeView>

namespace {

QLabel *makeLabel(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setFont(msSansSerif(8.25, FontStyle::Bold));
    return label;
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption, const QRect &geometry,
                        const QString &toolTip = QString())
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setToolTip(toolTip);
    // Enter presses the focused button; no button is the window's default.
    button->setAutoDefault(true);
    return button;
}

QLineEdit *makeFactorBox(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *box = new QLineEdit(QStringLiteral("1.00"), parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(geometry);
    makeWhiteBox(box);
    return box;
}

QRadioButton *makeOption(QGroupBox *frame, const char *name, const QString &caption, const QRect &geometry)
{
    auto *option = new QRadioButton(caption, frame);
    option->setObjectName(QLatin1String(name));
    option->setGeometry(geometry);
    option->setFont(msSansSerif(8.25));
    return option;
}

} // namespace

frm_main::frm_main(QWidget *parent) : QWidget(parent, Qt::Window | kCloseBoxOnly)
{
    setObjectName(QStringLiteral("frm_main"));
    setWindowTitle(QStringLiteral("AF99 Morvane Part Application 1.1"));
    setWindowIcon(applicationIcon());
    setFixedSize(twips(9525), twips(5700));
    setFont(msSansSerif(8.25));
    // The 3D-light face follows the desktop; its text must stand out from it
    // even where a dark theme leaves the face light.
    const QColor face = palette().color(QPalette::Midlight);
    setColour(this, QPalette::Window, face);
    setColour(this, QPalette::WindowText, readableOn(face, palette().color(QPalette::WindowText)));
    setAutoFillBackground(true);

    // Built in tab order, which gives the focus chain.
    Label4 = makeLabel(this, "Label4", QStringLiteral("Select an &AF99 part file !"), twipsRect(360, 240, 3255, 195));

    m_folders = new QFileSystemModel(this);
    m_folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_folders->setRootPath(QDir::rootPath());
    Dir1 = new QTreeView(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setGeometry(twipsRect(360, 480, 4575, 1890));
    Dir1->setToolTip(QStringLiteral("Choose folder"));
    Dir1->setAccessibleName(QStringLiteral("Folders"));
    Dir1->setModel(m_folders);
    Dir1->setHeaderHidden(true);
    for (int column = 1; column < m_folders->columnCount(); ++column)
        Dir1->hideColumn(column);
    const QModelIndex start = m_folders->index(QDir::currentPath());
    for (QModelIndex folder = start.parent(); folder.isValid(); folder = folder.parent())
        Dir1->expand(folder);
    Dir1->setCurrentIndex(start);
    keepStartFolderInView();
    Label4->setBuddy(Dir1);

    File1 = new QListWidget(this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setGeometry(twipsRect(360, 2400, 4575, 3015));
    File1->setToolTip(QStringLiteral("Select part for resizing"));
    File1->setAccessibleName(QStringLiteral("Part files"));
    File1->setSelectionMode(QAbstractItemView::SingleSelection);

    prec_frame = new QGroupBox(QStringLiteral(" Precision : "), this);
    prec_frame->setObjectName(QStringLiteral("prec_frame"));
    prec_frame->setGeometry(twipsRect(5400, 480, 3495, 1095));
    prec_frame->setToolTip(QStringLiteral("Select precision"));
    prec_frame->setFont(msSansSerif(8.25, FontStyle::Bold));
    prec_opt[0] =
        makeOption(prec_frame, "prec_opt(0)", QStringLiteral("AF&99 Precision"), twipsRect(240, 360, 1815, 255));
    prec_opt[1] =
        makeOption(prec_frame, "prec_opt(1)", QStringLiteral("AF&5 Precision"), twipsRect(240, 720, 2055, 255));

    Label1 = makeLabel(this, "Label1", QStringLiteral("Scale along &RIGHT axis :"), twipsRect(5400, 1950, 2175, 255));
    right_sc = makeFactorBox(this, "right_sc", twipsRect(7680, 1920, 1215, 285));
    Label1->setBuddy(right_sc);
    Label2 = makeLabel(this, "Label2", QStringLiteral("Scale along &FORE axis :"), twipsRect(5400, 2550, 2175, 255));
    fore_sc = makeFactorBox(this, "fore_sc", twipsRect(7680, 2520, 1215, 285));
    Label2->setBuddy(fore_sc);
    Label3 = makeLabel(this, "Label3", QStringLiteral("Scale along &UP axis :"), twipsRect(5400, 3150, 2055, 255));
    up_sc = makeFactorBox(this, "up_sc", twipsRect(7680, 3120, 1215, 285));
    Label3->setBuddy(up_sc);

    Command2 = makeButton(this, "Command2", QStringLiteral("Execute &Morvane !"), twipsRect(5400, 3720, 3495, 735));
    Command2->setIcon(applicationIcon());
    Command2->setIconSize(QSize(24, 24));
    Command1 = makeButton(this, "Command1", QStringLiteral("E&xit"), twipsRect(7920, 4680, 975, 735),
                          QStringLiteral("Exit application"));
    bt_hlp = makeButton(this, "bt_hlp", QStringLiteral("&Help"), twipsRect(5400, 4680, 975, 735),
                        QStringLiteral("How to use application"));
    bt_about = makeButton(this, "bt_about", QStringLiteral("A&bout"), twipsRect(6720, 4680, 975, 735),
                          QStringLiteral("About application"));

    connect(Dir1->selectionModel(), &QItemSelectionModel::currentChanged, this, &frm_main::Dir1_Change);
    connect(Command2, &QPushButton::clicked, this, &frm_main::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &frm_main::Command1_Click);
    connect(bt_hlp, &QPushButton::clicked, this, &frm_main::bt_hlp_Click);
    connect(bt_about, &QPushButton::clicked, this, &frm_main::bt_about_Click);
    // A part's size window opens as its properties do in a file manager:
    // double-click, the context menu, or Alt+Enter.
    connect(File1, &QListWidget::itemDoubleClicked, this, &frm_main::showSize);
    File1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(File1, &QWidget::customContextMenuRequested, this, &frm_main::File1_ContextMenu);
    connect(new QShortcut(Qt::SHIFT | Qt::Key_F10, File1, nullptr, nullptr, Qt::WidgetShortcut), &QShortcut::activated,
            this, [this] { File1_ContextMenu(File1->visualItemRect(File1->currentItem()).center()); });
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter})
        connect(new QShortcut(Qt::ALT | key, this), &QShortcut::activated, this, &frm_main::showSize);
    for (QLineEdit *box : {right_sc, fore_sc, up_sc})
        connect(box, &QLineEdit::textChanged, this, [this] { emit settingsChanged(resizeSettings()); });
    connect(prec_opt[1], &QRadioButton::toggled, this, [this] { emit settingsChanged(resizeSettings()); });

    // Load
    prec_opt[0]->setChecked(true);
    setListedFolder(start.isValid() ? m_folders->filePath(start) : QDir::currentPath());
    Dir1->setFocus();
    centreOnScreen(this);
}

frm_main::~frm_main()
{
    for (const auto &[part, size] : m_sizes)
        delete size.data();
}

QString frm_main::selectedFileName() const
{
    const QList<QListWidgetItem *> selected = File1->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

morvane::ResizeSettings frm_main::resizeSettings() const
{
    return {right_sc->text().toStdString(), fore_sc->text().toStdString(), up_sc->text().toStdString(),
            prec_opt[1]->isChecked() ? morvane::PrecisionMode::AF5 : morvane::PrecisionMode::AF99};
}

void frm_main::Dir1_Change() { setListedFolder(m_folders->filePath(Dir1->currentIndex())); }

void frm_main::Command2_Click()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const morvane::ResizeOutcome outcome = morvane::runResize({m_listedFolder, selectedFileName()}, resizeSettings());
    QApplication::restoreOverrideCursor();
    showMessageBox(this, morvane::outcomeMessage(outcome));
    if (std::holds_alternative<morvane::Created>(outcome))
        refreshFileList();
}

void frm_main::Command1_Click()
{
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

// The model reads and sorts folders in the background, which pushes the
// starting folder out of view; follow it until the user works the tree.
void frm_main::keepStartFolderInView()
{
    const auto follow = [this] {
        if (m_followStartFolder)
            Dir1->scrollTo(Dir1->currentIndex(), QAbstractItemView::PositionAtCenter);
    };
    const auto stop = [this] { m_followStartFolder = false; };
    connect(m_folders, &QFileSystemModel::layoutChanged, Dir1, follow);
    connect(m_folders, &QFileSystemModel::rowsInserted, Dir1, follow);
    connect(Dir1, &QTreeView::pressed, this, stop);
    connect(Dir1, &QTreeView::expanded, this, stop);
    connect(Dir1, &QTreeView::collapsed, this, stop);
    connect(Dir1->verticalScrollBar(), &QScrollBar::actionTriggered, this, stop);
    connect(Dir1->selectionModel(), &QItemSelectionModel::currentChanged, this, stop);
}

void frm_main::bt_hlp_Click()
{
    // A closed window is on its way out; Help then loads a new one.
    if (!m_help || !m_help->isVisible()) {
        auto *help = new frm_help;
        if (!help->loadError().isEmpty()) {
            showMessageBox(this, help->loadError());
            delete help;
            return;
        }
        centreOnScreen(help);
        m_help = help;
    }
    bringUp(m_help);
}

void frm_main::bt_about_Click()
{
    if (!m_about || !m_about->isVisible()) {
        m_about = new frmAbout;
        centreOnScreen(m_about);
    }
    bringUp(m_about);
}

void frm_main::showSize()
{
    const QString name = selectedFileName();
    if (name.isEmpty())
        return;
    std::erase_if(m_sizes, [](const auto &entry) { return entry.second.isNull(); });
    QPointer<frm_size> &size = m_sizes[{m_listedFolder, name}];
    if (!size || !size->isVisible()) {
        size = new frm_size({m_listedFolder, name}, resizeSettings());
        connect(this, &frm_main::settingsChanged, size, &frm_size::setSettings);
        connect(size, &frm_size::factorsChosen, this, &frm_main::takeFactors);
        centreOnScreen(size);
    }
    bringUp(size);
}

// `position` is in the list's viewport.
void frm_main::File1_ContextMenu(const QPoint &position)
{
    if (selectedFileName().isEmpty())
        return;
    auto *menu = new QMenu(File1);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("&Size and picture\u2026"), this, &frm_main::showSize);
    menu->popup(File1->viewport()->mapToGlobal(position));
}

// Only typed into the boxes: Execute stays the one way to a new file.
void frm_main::takeFactors(const QStringList &factors)
{
    right_sc->setText(factors.value(0));
    fore_sc->setText(factors.value(1));
    up_sc->setText(factors.value(2));
}

// Shows a window of its own, or brings it to the front when it is open.
void frm_main::bringUp(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

void frm_main::setListedFolder(const QString &folder)
{
    m_listedFolder = folder;
    File1->clear();
    File1->addItems(morvane::partFileNames(folder));
}

// Reads the folder again; the selected file stays selected.
void frm_main::refreshFileList()
{
    const QString selected = selectedFileName();
    setListedFolder(m_listedFolder);
    const QList<QListWidgetItem *> again = File1->findItems(selected, Qt::MatchExactly);
    if (!again.isEmpty())
        File1->setCurrentItem(again.first());
}
