#include "bridge/bridge_options.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QUrl>

namespace talvex::bridge {

namespace {

const QString kDefaultHaPrefix = QStringLiteral("homeassistant");

// A bare --homeassistant (last, or followed by another option) takes the default prefix.
QStringList withHomeAssistantDefault(QStringList arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] != QLatin1String("--homeassistant"))
            continue;
        const bool valueFollows = i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1Char('-'));
        if (!valueFollows)
            arguments[i] = QStringLiteral("--homeassistant=") + kDefaultHaPrefix;
    }
    return arguments;
}

std::variant<std::string, QString> readPassword(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the password file %1: %2").arg(path, file.errorString());
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line.toStdString();
}

} // namespace

std::variant<PortOption, QString> parsePortOption(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^([A-Za-z0-9_-]+)=(.+?)(?:@([0-9]+(?:,[0-9]+)*))?$"));
    const auto match = form.match(text);
    if (!match.hasMatch())
        return QStringLiteral("--port takes NAME=PATH or NAME=PATH@ID,ID,... with NAME of A-Z, a-z, 0-9, _ and -: %1")
            .arg(text);
    PortOption option{match.captured(1), match.captured(2), {}};
    if (match.hasCaptured(3)) {
        for (const QString& item : match.captured(3).split(QLatin1Char(','))) {
            const int id = item.toInt();
            if (id < 1 || id > 250)
                return QStringLiteral("Device IDs are 1 to 250: %1").arg(text);
            if (std::find(option.deviceIds.begin(), option.deviceIds.end(), id) == option.deviceIds.end())
                option.deviceIds.push_back(id);
        }
    }
    return option;
}

std::optional<QString> parseBrokerUrl(const QString& text, MqttSettings& settings)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts")))
        return QStringLiteral("--mqtt takes mqtt://HOST:PORT or mqtts://HOST:PORT: %1").arg(text);
    if (!url.userInfo().isEmpty())
        return QStringLiteral("--mqtt takes no user or password; use --username and --password-file");
    settings.tls = scheme == QLatin1String("mqtts");
    settings.host = url.host().toStdString();
    settings.port = url.port(settings.tls ? 8883 : 1883);
    return std::nullopt;
}

std::variant<BridgeOptions, QString> parseBridgeOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Publishes every Talvex-96K amplifier on the given serial ports and network gateways on an MQTT broker, "
        "zigbee2mqtt style: retained state and availability per amplifier, commands on its set topic, Home "
        "Assistant discovery on request."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption config(QStringLiteral("config"),
                                    QStringLiteral("Read options from this INI file; the command line wins."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("A bus: NAME=PATH, PATH a serial device or tcp://HOST:PORT; "
                                                 "NAME=PATH@1,2,5 names its Device IDs instead of a search of 1 "
                                                 "to 250. Repeatable."),
                                  QStringLiteral("NAME=PATH"));
    const QCommandLineOption mqtt(QStringLiteral("mqtt"),
                                  QStringLiteral("The broker: mqtt://HOST:PORT, or mqtts://HOST:PORT with --cafile "
                                                 "(default mqtt://localhost:1883)."),
                                  QStringLiteral("URL"));
    const QCommandLineOption cafile(QStringLiteral("cafile"), QStringLiteral("CA certificate for mqtts://."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption username(QStringLiteral("username"), QStringLiteral("User name at the broker."),
                                      QStringLiteral("USER"));
    const QCommandLineOption passwordFile(QStringLiteral("password-file"),
                                          QStringLiteral("File whose first line is the broker password."),
                                          QStringLiteral("FILE"));
    const QCommandLineOption base(QStringLiteral("base"),
                                  QStringLiteral("Base topic (default talvex); one per bridge on a shared broker."),
                                  QStringLiteral("TOPIC"));
    const QCommandLineOption homeAssistant(QStringLiteral("homeassistant"),
                                           QStringLiteral("Publish Home Assistant discovery under PREFIX "
                                                          "(default homeassistant)."),
                                           QStringLiteral("PREFIX"));
    const QCommandLineOption clientId(QStringLiteral("client-id"),
                                      QStringLiteral("MQTT client id (default talvex-bridge-HOST-BASE)."),
                                      QStringLiteral("ID"));
    parser.addOptions({config, port, mqtt, cafile, username, passwordFile, base, homeAssistant, clientId});
    parser.process(withHomeAssistantDefault(arguments));

    // Each value: the command line's, else the config file's, else empty.
    std::optional<QSettings> file;
    if (parser.isSet(config)) {
        const QString path = parser.value(config);
        if (!QFileInfo(path).isReadable())
            return QStringLiteral("cannot read the config file %1").arg(path);
        file.emplace(path, QSettings::IniFormat);
        if (file->status() != QSettings::NoError)
            return QStringLiteral("the config file %1 is not a valid INI file").arg(path);
        if (file->contains(QStringLiteral("password")))
            return QStringLiteral("the config file holds no password; name a password_file");
    }
    const auto value = [&](const QCommandLineOption& option, const QString& key) -> QString {
        if (parser.isSet(option))
            return parser.value(option);
        if (!file)
            return {};
        // A value with commas comes back as a list: join it again.
        return file->value(key).toStringList().join(QLatin1Char(','));
    };

    BridgeOptions options;
    QStringList portTexts = parser.values(port);
    if (portTexts.isEmpty() && file) {
        file->beginGroup(QStringLiteral("ports"));
        for (const QString& key : file->childKeys())
            portTexts << key + QLatin1Char('=') + file->value(key).toStringList().join(QLatin1Char(','));
        file->endGroup();
    }
    if (portTexts.isEmpty())
        return QStringLiteral("no port given: --port NAME=PATH");
    for (const QString& text : portTexts) {
        auto option = parsePortOption(text);
        if (auto* error = std::get_if<QString>(&option))
            return *error;
        auto& parsed = std::get<PortOption>(option);
        if (parsed.name == QLatin1String("bridge"))
            return QStringLiteral("the port name bridge is taken by the bridge's own topics");
        for (const PortOption& other : options.ports)
            if (other.name == parsed.name)
                return QStringLiteral("two ports are named %1").arg(parsed.name);
        options.ports.push_back(std::move(parsed));
    }

    const QString url = value(mqtt, QStringLiteral("mqtt"));
    if (auto error = parseBrokerUrl(url.isEmpty() ? QStringLiteral("mqtt://localhost:1883") : url, options.mqtt))
        return *error;
    options.mqtt.cafile = value(cafile, QStringLiteral("cafile")).toStdString();
    if (options.mqtt.tls && options.mqtt.cafile.empty())
        return QStringLiteral("mqtts:// needs --cafile");
    options.mqtt.username = value(username, QStringLiteral("username")).toStdString();
    const QString passwordPath = value(passwordFile, QStringLiteral("password_file"));
    if (!passwordPath.isEmpty()) {
        auto password = readPassword(passwordPath);
        if (auto* error = std::get_if<QString>(&password))
            return *error;
        options.mqtt.password = std::move(std::get<std::string>(password));
    }
    const QString baseTopic = value(base, QStringLiteral("base"));
    if (!baseTopic.isEmpty())
        options.base = baseTopic;
    if (options.base.contains(QLatin1Char('+')) || options.base.contains(QLatin1Char('#')) ||
        options.base.endsWith(QLatin1Char('/')))
        return QStringLiteral("--base takes a topic without + or # and without a trailing /");
    const QString prefix = value(homeAssistant, QStringLiteral("homeassistant"));
    if (!prefix.isEmpty())
        options.homeAssistantPrefix = prefix;
    QString id = value(clientId, QStringLiteral("client_id"));
    if (id.isEmpty())
        id = QStringLiteral("talvex-bridge-%1-%2").arg(QHostInfo::localHostName(), options.base).replace(QLatin1Char('/'), QLatin1Char('-'));
    options.mqtt.clientId = id.toStdString();
    options.mqtt.willTopic = (options.base + QStringLiteral("/bridge/state")).toStdString();
    options.mqtt.willPayload = "offline";
    return options;
}

} // namespace talvex::bridge
