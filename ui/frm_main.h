#pragma once

#include "core/rules/resize_settings.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <map>
#include <utility>

class frm_help;
class frm_size;
class frmAbout;
class QFileSystemModel;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTreeView;

// The main window: pick a folder and a part file, type the three factors,
// choose the precision and execute the resize.
class frm_main : public QWidget {
    Q_OBJECT

public:
    explicit frm_main(QWidget *parent = nullptr);
    // Takes its size windows along, their reading stopped, so that no part
    // is still read as the program ends.
    ~frm_main() override;

    // The part file selected in File1; empty for none.
    QString selectedFileName() const;

signals:
    // The factors or the precision changed: the inputs of a run as they are now.
    void settingsChanged(const morvane::ResizeSettings &settings);

private slots:
    void Dir1_Change();
    void Command2_Click();
    void Command1_Click();
    void bt_hlp_Click();
    void bt_about_Click();
    void showSize();
    void File1_ContextMenu(const QPoint &position);
    void takeFactors(const QStringList &factors);

private:
    // The inputs of a run, exactly as the controls hold them.
    morvane::ResizeSettings resizeSettings() const;
    static void bringUp(QWidget *window);
    void keepStartFolderInView();
    void setListedFolder(const QString &folder);
    void refreshFileList();

    QLabel *Label4;
    QTreeView *Dir1;
    QFileSystemModel *m_folders;
    QListWidget *File1;
    QGroupBox *prec_frame;
    std::array<QRadioButton *, 2> prec_opt;
    QLabel *Label1;
    QLineEdit *right_sc;
    QLabel *Label2;
    QLineEdit *fore_sc;
    QLabel *Label3;
    QLineEdit *up_sc;
    QPushButton *Command2;
    QPushButton *Command1;
    QPushButton *bt_hlp;
    QPushButton *bt_about;

    // The help and About windows have no owner; each exists once.
    QPointer<frm_help> m_help;
    QPointer<frmAbout> m_about;
    // A size window for each part, by folder and name.
    std::map<std::pair<QString, QString>, QPointer<frm_size>> m_sizes;

    QString m_listedFolder;
    bool m_followStartFolder = true;
};
