#pragma once

#include <optional>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMap>
#include <QVariantMap>

namespace tavrenode {

// Every object BlueZ has, by path, with its interfaces' properties.
using BluezObjects = QMap<QString, QMap<QString, QVariantMap>>;

// BlueZ's answer to ObjectManager.GetManagedObjects, a{oa{sa{sv}}}; none when the reply is
// an error or of another shape.
inline std::optional<BluezObjects> bluezObjects(const QDBusMessage &reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty() ||
        reply.signature() != QLatin1StringView("a{oa{sa{sv}}}"))
        return std::nullopt;
    BluezObjects objects;
    const auto argument = reply.arguments().constFirst().value<QDBusArgument>();
    argument.beginMap();
    while (!argument.atEnd()) {
        QDBusObjectPath path;
        QMap<QString, QVariantMap> interfaces;
        argument.beginMapEntry();
        argument >> path >> interfaces;
        argument.endMapEntry();
        objects.insert(path.path(), interfaces);
    }
    argument.endMap();
    return objects;
}

} // namespace tavrenode
