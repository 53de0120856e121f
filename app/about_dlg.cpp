#include "about_dlg.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "app_icons.h"
#include "i18n/shown_texts.h"
#include "rules/window_ids.h"

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent)
{
    setWindowTitle(QCoreApplication::translate("CAboutDlg", "About Voxreel"));
    auto* pIcon = new QLabel;
    pIcon->setPixmap(ProgramIcon().pixmap(48, 48));
    auto* pHead = new QHBoxLayout;
    pHead->addWidget(pIcon);
    pHead->addWidget(
        new QLabel(QCoreApplication::translate("CAboutDlg", "Voxreel Version %1").arg("1.0")), 1);

    auto* pText = new QPlainTextEdit;
    pText->setProperty("controlId", IDC_ABOUT_TEXT);
    pText->setObjectName(QStringLiteral("control%1").arg(IDC_ABOUT_TEXT));
    pText->setReadOnly(true);
    pText->setTabStopDistance(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 8);
    pText->setPlainText(ShownAboutText());
    pText->setAccessibleName(
        QCoreApplication::translate("CAboutDlg", "Libraries used and keyboard shortcuts"));
    pText->setMinimumSize(440, 260);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* pMain = new QVBoxLayout(this);
    pMain->addLayout(pHead);
    pMain->addWidget(pText, 1);
    pMain->addWidget(pButtons);
}
