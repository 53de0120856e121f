#include "loudness_choice.h"

#include <QComboBox>
#include <QCoreApplication>

#include <optional>

#include "track_gains.h"

namespace {

struct Target {
    const char* pszValue;
    const char* pszText;
};
const Target kTargets[] = {
    {"Off", QT_TRANSLATE_NOOP("CSettingsDlg", "Off (files play as they are)")},
    {"-23", QT_TRANSLATE_NOOP("CSettingsDlg", "-23 LUFS (quieter, broadcast level)")},
    {"-18", QT_TRANSLATE_NOOP("CSettingsDlg", "-18 LUFS (recommended)")},
    {"-16", QT_TRANSLATE_NOOP("CSettingsDlg", "-16 LUFS")},
    {"-14", QT_TRANSLATE_NOOP("CSettingsDlg", "-14 LUFS (louder, streaming level)")},
};

} // namespace

QComboBox* NewLoudnessChoice(const std::string& strCurrent)
{
    auto* pCombo = new QComboBox;
    pCombo->setObjectName(QStringLiteral("loudnessTarget"));
    pCombo->setToolTip(QCoreApplication::translate(
        "CSettingsDlg", "Every file is brought to this loudness, for the call and for you alike"));
    for (const Target& target : kTargets)
        pCombo->addItem(QCoreApplication::translate("CSettingsDlg", target.pszText),
                        QString::fromLatin1(target.pszValue));
    // The stored text, read as the program reads it (an odd one means the default).
    const QString current =
        QString::fromStdString(LoudnessTargetText(ParseLoudnessTarget(strCurrent)));
    int nIndex = pCombo->findData(current);
    if (nIndex < 0) {
        pCombo->addItem(QCoreApplication::translate("CSettingsDlg", "%1 LUFS").arg(current),
                        current);
        nIndex = pCombo->count() - 1;
    }
    pCombo->setCurrentIndex(nIndex);
    return pCombo;
}

std::string ChosenLoudnessTarget(const QComboBox* pCombo)
{
    return pCombo->currentData().toString().toStdString();
}
