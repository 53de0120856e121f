#include "shown_texts.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <string>
#include <vector>

#include "rules/status_text.h"
#include "rules/window_strings.h"

namespace {

constexpr const char* kWindowStrings = "WindowStrings";
constexpr const char* kStatus = "Status";

// The status line's texts in their one-line form, with the directives of
// FormatStatus: "%08X" a code, "%d" a number, "%S" text from elsewhere (the
// call client, the sound server, a device's name). Anything else a status
// may end with (" - " and a reason) is kept as it comes.
constexpr const char* kStatusFormats[] = {
    // The renderer's notifications.
    QT_TRANSLATE_NOOP("Status", "An error occurred: %08X"),
    QT_TRANSLATE_NOOP("Status", "Skype has connected!"),
    QT_TRANSLATE_NOOP("Status", "Skype has disconnected!"),
    QT_TRANSLATE_NOOP("Status", "Cannot record audio: %08X"),
    QT_TRANSLATE_NOOP("Status", "A network error occurred: %08X"),
    QT_TRANSLATE_NOOP("Status", "Playback error occurred: %08X"),
    QT_TRANSLATE_NOOP("Status", "Recording on a microphone started"),
    QT_TRANSLATE_NOOP("Status", "Recording on a microphone stopped"),
    QT_TRANSLATE_NOOP("Status", "An audio output does not start"),
    // Playback.
    QT_TRANSLATE_NOOP("Status", "Playback failed: error code %08X"),
    QT_TRANSLATE_NOOP("Status", "An error occurred during file playback: %08X"),
    QT_TRANSLATE_NOOP("Status", "Opening ..."),
    QT_TRANSLATE_NOOP("Status", "Playback completed."),
    QT_TRANSLATE_NOOP("Status", "Failed to initialize network port: %08X"),
    // The playlist.
    QT_TRANSLATE_NOOP("Status", "Adding files: %d of %d"),
    QT_TRANSLATE_NOOP("Status", "Added %d files"),
    QT_TRANSLATE_NOOP("Status", "Only local files can be added: %d ignored"),
    // The call client.
    //: The call client took the call's input from Voxreel
    QT_TRANSLATE_NOOP("Status", "CSetNetInput::OnResponse => SUCCESS"),
    QT_TRANSLATE_NOOP("Status", "Skype refused connection."),
    QT_TRANSLATE_NOOP("Status", "Skype has disconnected from the network port"),
    QT_TRANSLATE_NOOP("Status", "Call finished."),
    QT_TRANSLATE_NOOP("Status", "Cannot establish connection with Skype: %S"),
    // The sound server and the Voxreel microphone.
    QT_TRANSLATE_NOOP("Status", "The Voxreel microphone is not available: %S"),
    QT_TRANSLATE_NOOP("Status",
                      "The Voxreel microphone cannot hear itself: recording from %S instead"),
    QT_TRANSLATE_NOOP("Status", "The new output is used from the next start of Voxreel"),
};

// What a directive of a format matches in a text made from it.
QString DirectivePattern(QStringView directive)
{
    if (directive == u"%08X")
        return QStringLiteral("([0-9A-F]{8})");
    if (directive == u"%d")
        return QStringLiteral("(-?[0-9]+)");
    return QStringLiteral("(.*)"); // %S
}

const QRegularExpression& DirectiveRegex()
{
    static const QRegularExpression directive(QStringLiteral("%08X|%d|%S"));
    return directive;
}

// A format as a pattern that matches the texts made from it, capturing the
// arguments and, last, a reason appended after " - ".
QRegularExpression FormatRegex(const char* pszFormat)
{
    const QString format = QString::fromUtf8(pszFormat);
    QString pattern;
    qsizetype nDone = 0;
    for (const QRegularExpressionMatch& m : DirectiveRegex().globalMatch(format)) {
        pattern += QRegularExpression::escape(format.mid(nDone, m.capturedStart() - nDone));
        pattern += DirectivePattern(m.capturedView());
        nDone = m.capturedEnd();
    }
    pattern += QRegularExpression::escape(format.mid(nDone));
    pattern += QStringLiteral("( - .*)?");
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                              QRegularExpression::DotMatchesEverythingOption);
}

struct KnownFormat {
    const char* pszFormat;
    QRegularExpression regex;
};

const std::vector<KnownFormat>& KnownFormats()
{
    static const std::vector<KnownFormat> formats = [] {
        std::vector<KnownFormat> out;
        for (const char* pszFormat : kStatusFormats)
            out.push_back({pszFormat, FormatRegex(pszFormat)});
        return out;
    }();
    return formats;
}

// The translated format with the arguments put in its directives, in order.
QString Fill(const QString& format, const QStringList& args)
{
    QString out;
    qsizetype nDone = 0;
    qsizetype nArg = 0;
    for (const QRegularExpressionMatch& m : DirectiveRegex().globalMatch(format)) {
        out += format.mid(nDone, m.capturedStart() - nDone);
        if (nArg < args.size())
            out += args[nArg++];
        nDone = m.capturedEnd();
    }
    return out + format.mid(nDone);
}

} // namespace

QString ShownWindowString(int nId)
{
    const char* pszText = LoadWindowString(nId);
    return pszText ? QCoreApplication::translate(kWindowStrings, pszText) : QString();
}

QString ShownToolTip(int nId, bool bTransmitting)
{
    const char* pszText = ToolTipFor(nId, bTransmitting);
    return pszText ? QCoreApplication::translate(kWindowStrings, pszText) : QString();
}

QString ShownAboutText()
{
    return QCoreApplication::translate(kWindowStrings, AboutText()).remove(QLatin1Char('\r'));
}

QString ShownStatus(std::string_view strText)
{
    const QString text = QString::fromUtf8(strText.data(), static_cast<qsizetype>(strText.size()));
    for (const KnownFormat& known : KnownFormats()) {
        const QRegularExpressionMatch m = known.regex.match(text);
        if (!m.hasMatch())
            continue;
        // The last group is the reason, which a text may lack.
        const int nReason = known.regex.captureCount();
        QStringList args;
        for (int i = 1; i < nReason; ++i)
            args << m.captured(i);
        return Fill(QCoreApplication::translate(kStatus, known.pszFormat), args) +
               m.captured(nReason);
    }
    return text;
}

QString ShownCallName(std::string_view strText, std::int32_t nCallId)
{
    if (strText == "Call " + std::to_string(nCallId))
        //: An entry of the list of calls, for a call whose partner has no name
        return QCoreApplication::translate("CallList", "Call %1").arg(nCallId);
    return QString::fromUtf8(strText.data(), static_cast<qsizetype>(strText.size()));
}

std::span<const char* const> StatusFormats()
{
    return kStatusFormats;
}
