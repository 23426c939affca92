#pragma once

#include <QFile>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;

// Shows the help text file that lies beside the program.
class frm_help : public QWidget {
    Q_OBJECT

public:
    static QString helpFilePath();

    // Loads the help text at once; see loadError().
    explicit frm_help(QWidget *parent = nullptr);

    // Why an existing help file could not be read; empty when all is well.
    QString loadError() const { return m_loadError; }

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void Command1_Click();

private:
    void load();

    QPlainTextEdit *hlp_text;
    QPushButton *Command1;
    QFile m_helpStream;
    QString m_loadError;
};
