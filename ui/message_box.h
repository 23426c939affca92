#pragma once

class QString;
class QWidget;

// Shows `message` in a modal message box over `parent`, titled with the
// application title, with one OK button and no icon; a bare carriage return
// ends a line. The title and every character of the text show, however
// long a name or number in it, within the screen.
void showMessageBox(QWidget *parent, const QString &message);
