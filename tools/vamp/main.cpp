// talvex-vamp: a virtual Talvex-96K bus on a pseudo-terminal, or with --tcp on
// a TCP port of 127.0.0.1 as a network RS-485 gateway. Prints what the editor's
// --port takes (the terminal's path, or tcp://127.0.0.1:PORT) as the first line
// on stdout and serves until killed.

#include "pty_server.h"
#include "tcp_server.h"
#include "virtual_amplifier.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>

using namespace talvex::vamp;

namespace {

// SIGINT and SIGTERM end the event loop, so what is printed on exit still is.
std::atomic<bool> quitAsked{false};

void quitOnSignals(QCoreApplication& app)
{
    const auto ask = [](int) { quitAsked = true; };
    std::signal(SIGINT, ask);
    std::signal(SIGTERM, ask);
    auto* poll = new QTimer(&app);
    QObject::connect(poll, &QTimer::timeout, &app, [] {
        if (quitAsked)
            QCoreApplication::quit();
    });
    poll->start(50);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    quitOnSignals(app);
    QCoreApplication::setApplicationName(QStringLiteral("talvex-vamp"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALVEX_VERSION_TEXT));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Virtual Talvex-96K amplifiers on a pseudo-terminal or, with --tcp, a TCP port."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption ids(QStringLiteral("ids"), QStringLiteral("Device IDs on the bus (default 1)."),
                                 QStringLiteral("list"), QStringLiteral("1"));
    const QCommandLineOption wirePace(QStringLiteral("wire-pace"), QStringLiteral("Send replies at 9600 baud."));
    const QCommandLineOption replyDelay(QStringLiteral("reply-delay"),
                                        QStringLiteral("Hold every reply back this many milliseconds."),
                                        QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption silent(QStringLiteral("silent"), QStringLiteral("Never reply."));
    const QCommandLineOption badIdent(QStringLiteral("bad-ident"),
                                      QStringLiteral("Reply with a wrong identification string."));
    const QCommandLineOption dropGroup(QStringLiteral("drop-group"),
                                       QStringLiteral("Lose the reply to the read of stored group N (1..20)."),
                                       QStringLiteral("N"));
    const QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Log each received frame on stderr."));
    const QCommandLineOption halfDuplex(
        QStringLiteral("half-duplex"),
        QStringLiteral("A two-wire bus: replies go byte-timed at 9600 baud after a 5 ms turnaround; bytes sent "
                       "while a reply is due or on the wire collide (logged, dropped, counted; the count is "
                       "printed on exit)."));
    const QCommandLineOption tcp(QStringLiteral("tcp"),
                                 QStringLiteral("Serve the bus as a network gateway on 127.0.0.1:PORT instead of "
                                                "a pseudo-terminal (0: any free port)."),
                                 QStringLiteral("PORT"));
    parser.addOptions({ids, wirePace, replyDelay, silent, badIdent, dropGroup, verbose, halfDuplex, tcp});
    parser.process(app);

    Faults faults;
    faults.silent = parser.isSet(silent);
    faults.badIdentification = parser.isSet(badIdent);
    if (parser.isSet(dropGroup)) {
        bool ok = false;
        faults.dropStoredGroupReply = parser.value(dropGroup).toInt(&ok);
        if (!ok || faults.dropStoredGroupReply < 1 || faults.dropStoredGroupReply > 20) {
            std::fprintf(stderr, "talvex-vamp: --drop-group takes a group number 1..20\n");
            return 2;
        }
    }

    VirtualBus bus;
    for (const QString& item : parser.value(ids).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int id = item.trimmed().toInt(&ok);
        if (!ok || id < 1 || id > 250) {
            std::fprintf(stderr, "talvex-vamp: Device ID must be 1..250: %s\n", qPrintable(item));
            return 2;
        }
        bus.add(id, faults);
    }
    if (bus.devices().empty()) {
        std::fprintf(stderr, "talvex-vamp: no Device IDs given\n");
        return 2;
    }
    if (parser.isSet(verbose)) {
        bus.onFrame = [](std::span<const std::uint8_t> frame) {
            QByteArray hex = QByteArray(reinterpret_cast<const char*>(frame.data()), qsizetype(frame.size()))
                                 .toHex(' ')
                                 .toUpper();
            std::fprintf(stderr, "RX %s\n", hex.constData());
        };
    }

    bool delayOk = false;
    const int delayMs = parser.value(replyDelay).toInt(&delayOk);
    if (!delayOk || delayMs < 0) {
        std::fprintf(stderr, "talvex-vamp: --reply-delay takes milliseconds: %s\n", qPrintable(parser.value(replyDelay)));
        return 2;
    }

    const auto serve = [&](auto& server, bool started, const char* what, const QString& location) {
        if (!started) {
            std::fprintf(stderr, "talvex-vamp: cannot open %s: %s\n", what, qPrintable(server.errorString()));
            return 1;
        }
        const bool halfDuplexLine = parser.isSet(halfDuplex);
        if (halfDuplexLine) {
            server.setHalfDuplex(true);
            server.setCollisionReport([](std::size_t count) {
                std::fprintf(stderr, "talvex-vamp: collision: %zu bytes dropped\n", count);
            });
        }
        std::printf("%s\n", qPrintable(location));
        std::fflush(stdout);
        const int status = app.exec();
        if (halfDuplexLine) {
            std::printf("collisions: %llu\n", static_cast<unsigned long long>(server.collisions()));
            std::fflush(stdout);
        }
        return status;
    };
    if (parser.isSet(tcp)) {
        bool ok = false;
        const uint port = parser.value(tcp).toUInt(&ok);
        if (!ok || port > 65535) {
            std::fprintf(stderr, "talvex-vamp: --tcp takes a port number 0..65535: %s\n", qPrintable(parser.value(tcp)));
            return 2;
        }
        TcpServer server(bus);
        server.setWirePace(parser.isSet(wirePace));
        server.setReplyDelay(delayMs);
        const bool started = server.start(quint16(port));
        return serve(server, started, "the TCP port", server.location());
    }
    PtyServer server(bus);
    server.setWirePace(parser.isSet(wirePace));
    server.setReplyDelay(delayMs);
    const bool started = server.start();
    return serve(server, started, "a pseudo-terminal", server.slavePath());
}
