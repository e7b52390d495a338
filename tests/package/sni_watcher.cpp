// SPDX-License-Identifier: GPL-3.0-or-later
// A StatusNotifierItem watcher and host for tests, on the session bus: the
// part of a KDE Plasma or GNOME (AppIndicator) desktop that tray icons
// register with. Prints "REGISTERED <service> <path>" for each item, so a
// test can read the item's properties and click it with dbus-send.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>

#include <cstdio>

class Watcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    QStringList items() const { return items_; }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public slots:
    void RegisterStatusNotifierItem(const QString& serviceOrPath) {
        // An item names either its bus name or, registered under the
        // sender's own name, its object path.
        QString service = serviceOrPath, path = "/StatusNotifierItem";
        if (serviceOrPath.startsWith('/')) {
            service = message().service();
            path = serviceOrPath;
        }
        items_ << service + path;
        std::printf("REGISTERED %s %s\n", qPrintable(service), qPrintable(path));
        std::fflush(stdout);
        emit StatusNotifierItemRegistered(service + path);
    }
    void RegisterStatusNotifierHost(const QString&) {}

signals:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();

private:
    QStringList items_;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Watcher watcher;
    if (!bus.registerObject("/StatusNotifierWatcher", &watcher,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties |
                                QDBusConnection::ExportAllSignals) ||
        !bus.registerService("org.kde.StatusNotifierWatcher")) {
        std::fprintf(stderr, "sni_watcher: cannot own org.kde.StatusNotifierWatcher: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("WATCHING\n");
    std::fflush(stdout);
    return app.exec();
}

#include "sni_watcher.moc"
