// The About box: the program's icon and version, the libraries it uses and
// the keyboard shortcuts.
#pragma once

#include <QDialog>

class CAboutDlg final : public QDialog {
public:
    explicit CAboutDlg(QWidget* pParent = nullptr);
};
