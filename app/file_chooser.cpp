#include "file_chooser.h"

#include <QFileDialog>
#include <QStringList>

#include "rules/audio_files.h"

std::vector<std::filesystem::path> ChooseAudioFiles(QWidget* pOwner)
{
    QStringList filters;
    for (const std::string& filter : AudioFileDialogFilters())
        filters << QString::fromStdString(filter);
    QFileDialog dialog(pOwner);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(filters);
    dialog.setOption(QFileDialog::ReadOnly);
    dialog.setSizeGripEnabled(true);
    std::vector<std::filesystem::path> paths;
    if (dialog.exec() == QDialog::Accepted) {
        for (const QString& file : dialog.selectedFiles())
            paths.emplace_back(QFile::encodeName(file).toStdString());
    }
    return paths;
}
