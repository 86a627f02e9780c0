#include "ui/devicetree/TreeImages.h"

#include "platform/ProgramPaths.h"

#include <QLoggingCategory>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <array>

Q_LOGGING_CATEGORY(lcTreeImages, "krnotify.ui.devicetree")

namespace TreeImages {

namespace {

QIcon Load(const QString& path)
{
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) {
        qCWarning(lcTreeImages) << "tree picture not readable:" << path;
        return {};
    }
    // Rendered once at 16 and 32 pixels, so high-density screens stay crisp.
    QIcon icon;
    for (int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

QString FileName(int index)
{
    static const char* const names[Count] = {
        "host-connected.svg",
        "host-disconnected.svg",
        "device-group.svg",
        "controllers.svg",
        "controller-online.svg",
        "controller-offline.svg",
        "door-closed.svg",
        "door-open.svg",
        "input-inactive.svg",
        "input-active.svg",
        "elevator.svg",
        "panel-controller.svg",
        "panel-door.svg",
        "lpr.svg",
        "reserved.svg",
        "reserved.svg",
        "reserved.svg",
        "reserved.svg",
        "cameras.svg",
        "dvr.svg",
        "dvr.svg",
        "dvr.svg",
        "dvr.svg",
        "dvr.svg",
        "dvr.svg",
        "dvr.svg",
        "dvr.svg",
        "camera.svg",
    };
    if (index < 0 || index >= Count)
        return {};
    return QLatin1String(names[index]);
}

QIcon Icon(int index)
{
    static const std::array<QIcon, Count> icons = [] {
        std::array<QIcon, Count> loaded;
        for (int i = 0; i < Count; ++i)
            loaded[size_t(i)] =
                Load(ProgramPaths::resourceFile(QLatin1String("icons/tree/") + FileName(i)));
        return loaded;
    }();
    if (index < 0 || index >= Count)
        return {};
    return icons[size_t(index)];
}

} // namespace TreeImages
