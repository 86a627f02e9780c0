// The event popup: its markup built from a row with host texts (device names, the message id,
// the time), then rendered. A host text never becomes markup: no picture is loaded for a row
// without pictures. Odd first byte: the rest is markup for the renderer as it stands, with
// pictures served by a stub instead of the file system.

#include "events/EventRow.h"
#include "ui/eventlist/EventPopupText.h"

#include <QGuiApplication>
#include <QImage>
#include <QTextDocument>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("KRNOTIFY_PROGRAM_DIR"))
        qputenv("KRNOTIFY_PROGRAM_DIR", KRNOTIFY_RESOURCES); // the string table
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    int pictures = 0;
    PopupPictureCache cache;
    cache.setLoader([&pictures](const QString&, const QSize& box) {
        ++pictures;
        QImage picture(qBound(1, box.width(), 64), qBound(1, box.height(), 64),
                       QImage::Format_RGB888);
        picture.fill(Qt::gray);
        return picture;
    });
    QTextDocument document;

    if (in.ConsumeBool()) {
        RenderPopupMarkup(QString::fromStdString(in.ConsumeRemainingBytesAsString()), document,
                          cache);
        return 0;
    }
    EVENT row;
    row.messageId = in.ConsumeIntegral<qint32>();
    if (in.ConsumeBool()) {
        row.log = std::make_unique<CEventLogData>(in.ConsumeIntegral<qint32>());
        row.log->messageId = in.ConsumeIntegral<qint32>();
    }
    row.localTime = COleDateTime(in.ConsumeFloatingPoint<double>());
    const QString deviceText = QString::fromStdString(in.ConsumeRemainingBytesAsString());
    RenderPopupMarkup(BuildEventPopupText(row, deviceText), document, cache);
    if (pictures != 0)
        std::abort(); // a host text turned into a picture element
    return 0;
}
