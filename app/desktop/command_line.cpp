#include "command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

namespace {
QString Tr(const char* pszText)
{
    return QCoreApplication::translate("CommandLine", pszText);
}
} // namespace

CCommandLine ParseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(Tr(QT_TRANSLATE_NOOP(
        "CommandLine", "Plays audio files into a voice call, mixed with your microphone.\n"
                       "Files, folders and M3U playlists given here are added to the "
                       "playlist; a\nrunning Voxreel takes them instead of a second one "
                       "starting.")));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption play(
        QStringLiteral("play"),
        Tr(QT_TRANSLATE_NOOP("CommandLine", "Start playing the first file added.")));
    parser.addOption(play);
    parser.addPositionalArgument(
        QStringLiteral("files"),
        Tr(QT_TRANSLATE_NOOP("CommandLine", "Audio files, folders or M3U playlists.")),
        QStringLiteral("[FILE|FOLDER|PLAYLIST.m3u ...]"));
    parser.process(arguments);

    CCommandLine line;
    line.bPlay = parser.isSet(play);
    std::error_code ec;
    for (const QString& argument : parser.positionalArguments()) {
        // Absolute now: the running instance may sit in another folder.
        const std::filesystem::path path(QFile::encodeName(argument).toStdString());
        const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
        line.paths.push_back(ec ? path : absolute.lexically_normal());
    }
    return line;
}
