// callsim: a substitute call client for running and testing Voxreel without
// the real one.
#include "call_simulator.h"
#include "control_channel.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>

#include <unistd.h>

namespace {

const char* const kDescription = R"(A substitute call client on the session bus.

It answers the player's discover with an attach status, takes commands in
CopyData calls, replies with the command's "#id" prefix, and notifies every
attached player of each call's DURATION (every second) and STATUS. Commands:
  SEARCH ACTIVECALLS                      -> CALLS 12, 34
  GET CALL n PARTNER_DISPNAME|STATUS|DURATION
  ALTER CALL n SET_INPUT PORT="p"         -> echo, then connects to 127.0.0.1:p
                                             and records what it receives
  ALTER CALL n SET_INPUT SOUNDCARD="x"    -> echo, then disconnects
  anything else                           -> ERROR 2 Unknown command
When the input connection drops it notifies CALL n VAA_INPUT_STATUS FALSE.

Control lines on standard input:
  call ID NAME      add a call under way with the partner's display name
  status ID WORD    report a status word; FAILED FINISHED MISSED REFUSED BUSY
                    CANCELLED end the call
  end ID [WORD]     end a call (FINISHED by default)
  attach STATUS     send STATUS (number, 0x..., ok, pending, refused,
                    unavailable, available = 0x8001) to every player that
                    discovered; later discovers get it too (0 after available)
  refuse on|off     refuse input switches
  delay MS          delay the echo of input switches
  drop ID           drop the network input of a call
  hang | answer     stop answering anything | answer again
  notify TEXT       send TEXT as a notification line
  quit

Standard output has one line per event: ready, discover, attach, recv,
ignored, unanswered, send, undelivered, call added/ended, input
connected/lost/closed/dropped, control (done), control-error.)";

bool ParseCall(const QString& text, CallSimOptions& options)
{
    const qsizetype colon = text.indexOf(':');
    bool bNumber = false;
    const int callId = colon > 0 ? text.left(colon).toInt(&bNumber) : 0;
    if (!bNumber || callId < 0)
        return false;
    options.calls[callId] = text.mid(colon + 1).toStdString();
    return true;
}

bool ParseOptions(const QCoreApplication& app, CallSimOptions& options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    const QCommandLineOption call(QStringLiteral("call"),
                                  QStringLiteral("Start with a call under way (repeatable)."),
                                  QStringLiteral("ID:NAME"));
    const QCommandLineOption record(QStringLiteral("record"),
                                    QStringLiteral("Record received audio to a WAV file."),
                                    QStringLiteral("FILE.wav"));
    const QCommandLineOption attach(QStringLiteral("attach-status"),
                                    QStringLiteral("Attach status answered to discover (0)."),
                                    QStringLiteral("N"));
    const QCommandLineOption refuse(QStringLiteral("refuse-input"),
                                    QStringLiteral("Refuse input switches."));
    const QCommandLineOption delay(QStringLiteral("input-delay"),
                                   QStringLiteral("Delay the echo of input switches."),
                                   QStringLiteral("MS"));
    const QCommandLineOption interval(QStringLiteral("duration-interval"),
                                      QStringLiteral("Milliseconds between DURATION (1000)."),
                                      QStringLiteral("MS"));
    parser.addOptions({call, record, attach, refuse, delay, interval});
    parser.process(app); // --help prints and exits

    bool bOk = true;
    for (const QString& text : parser.values(call))
        bOk = bOk && ParseCall(text, options);
    options.recordPath = parser.value(record).toStdString();
    if (parser.isSet(attach))
        options.attachStatus = parser.value(attach).toUInt(&bOk, 0);
    options.bRefuseInput = parser.isSet(refuse);
    if (bOk && parser.isSet(delay))
        options.inputDelayMs = parser.value(delay).toInt(&bOk);
    if (bOk && parser.isSet(interval))
        options.durationIntervalMs = parser.value(interval).toInt(&bOk);
    return bOk && options.inputDelayMs >= 0 && options.durationIntervalMs > 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("callsim"));
    CallSimOptions options;
    if (!ParseOptions(app, options)) {
        PrintEvent("error bad options (see --help)");
        return 2;
    }
    CCallSimulator simulator(QDBusConnection::sessionBus(), std::move(options));
    if (!simulator.Start())
        return 1;
    CControlChannel control(STDIN_FILENO, [&simulator](const std::string& line) {
        PrintEvent((simulator.HandleControlLine(line) ? "control " : "control-error ") + line);
    });
    return QCoreApplication::exec();
}
