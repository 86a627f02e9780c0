#include "events/EventRow.h"
#include "i18n/StringTable.h"
#include "ui/eventlist/CEventPopup.h"
#include "ui/eventlist/EventPopupText.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QtTest>

namespace {

const QString kRule = QStringLiteral("<br><hr><br><h2> </h2><br>");

QString imageElement(const QString& path)
{
    return QStringLiteral("<jpg file='%1' width='480' height='360'>").arg(path);
}

bool writePicture(const QString& path, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return image.save(path, "JPG");
}

} // namespace

class tst_EventPopup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void markup_data();
    void markup();
    void messageTextComesFromTheLogRecord();
    void fit_data();
    void fit();
    void renderedPictureSizes();
    void hostTextsStayText();
    void popupShowsOnlyWithContent();
};

void tst_EventPopup::markup_data()
{
    QTest::addColumn<int>("readable"); // how many of the row's snapshots exist
    QTest::addColumn<int>("paths");
    QTest::newRow("no readable snapshot") << 0 << 2;
    QTest::newRow("no snapshot paths") << 0 << 0;
    QTest::newRow("one of two readable") << 1 << 2;
    QTest::newRow("two readable") << 2 << 2;
}

void tst_EventPopup::markup()
{
    QFETCH(int, readable);
    QFETCH(int, paths);
    QTemporaryDir dir;
    // A folder name with a quote: the path must survive the attribute quoting.
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("it's")));
    EVENT e;
    e.localTime = COleDateTime(45000.5);
    QStringList escaped;
    for (int i = 0; i < paths; ++i) {
        const QString path = dir.filePath(QStringLiteral("it's/EV-%1.jpg").arg(i + 1));
        e.snapshotPaths << path;
        if (i < readable) {
            QVERIFY(writePicture(path, QSize(64, 48)));
            escaped << imageElement(QString(path).replace("'", "&#39;"));
        }
    }
    const QString expected = QStringLiteral(" <h1>N/A</h1><br><h2> </h2><br> Front . Lobby<br> ") +
                             e.localTime.toDisplayText() + kRule +
                             escaped.join(QStringLiteral("  "));
    QCOMPARE(BuildEventPopupText(e, QStringLiteral("Front . Lobby")), expected);
}

void tst_EventPopup::messageTextComesFromTheLogRecord()
{
    EVENT e;
    e.log = std::make_unique<CEventLogData>(7);
    e.log->messageId = 0x2E; // shares the text of 0x21
    const QString text = BuildEventPopupText(e, QStringLiteral("N/A"));
    QVERIFY(text.startsWith(
        QStringLiteral(" <h1>%1</h1>")
            .arg(CStringTable::Instance().GetText(QStringLiteral("TAV_IDS_EVENT_MSG_21")))));
    QVERIFY(text.endsWith(kRule));
}

void tst_EventPopup::fit_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("shown");
    QTest::newRow("full HD") << QSize(1920, 1080) << QSize(480, 270);
    QTest::newRow("small keeps its size") << QSize(320, 240) << QSize(320, 240);
    QTest::newRow("exactly the box") << QSize(480, 360) << QSize(480, 360);
    QTest::newRow("tall") << QSize(300, 1200) << QSize(90, 360);
    QTest::newRow("wide strip") << QSize(2000, 30) << QSize(480, 7);
}

void tst_EventPopup::fit()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, shown);
    QCOMPARE(FitPopupPicture(picture, QSize(480, 360)), shown);
}

void tst_EventPopup::renderedPictureSizes()
{
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.jpg"));
    const QString small = dir.filePath(QStringLiteral("small.jpg"));
    QVERIFY(writePicture(big, QSize(1920, 1080)));
    QVERIFY(writePicture(small, QSize(320, 240)));
    EVENT e;
    e.snapshotPaths = {big, small};
    QTextDocument document;
    PopupPictureCache cache;
    RenderPopupMarkup(BuildEventPopupText(e, QStringLiteral("Gate")), document, cache);
    const QSize sizes[] = {QSize(480, 270), QSize(320, 240)};
    for (int i = 0; i < 2; ++i) {
        const QImage shown = document
                                 .resource(QTextDocument::ImageResource,
                                           QUrl(QStringLiteral("krnpicture:%1").arg(i)))
                                 .value<QImage>();
        QCOMPARE(shown.size(), sizes[i]);
    }
    QCOMPARE(cache.size(), 2);
}

void tst_EventPopup::hostTextsStayText()
{
    // Device names come from the host: they must neither format the popup nor load a file.
    const QString hostile = QStringLiteral("Gate<jpg file='/etc/passwd' width='480' "
                                           "height='360'></h1><hr> & Co");
    EVENT e;
    const QString markup = BuildEventPopupText(e, hostile);
    QVERIFY(!markup.contains(QStringLiteral("<jpg")));
    QTextDocument document;
    PopupPictureCache cache;
    QStringList loaded;
    cache.setLoader([&](const QString& path, const QSize&) {
        loaded << path;
        return QImage();
    });
    RenderPopupMarkup(markup, document, cache);
    QCOMPARE(loaded, QStringList{});
    QVERIFY(document.toPlainText().contains(hostile));
    QCOMPARE(document.toHtml().count(QStringLiteral("<hr")), 1); // only the popup's own rule
}

void tst_EventPopup::popupShowsOnlyWithContent()
{
    QWidget owner;
    owner.resize(200, 200);
    owner.show();
    CEventPopup popup(&owner);
    QString content;
    QPoint asked;
    popup.setContentProvider([&](const QPoint& p) {
        asked = p;
        return content;
    });
    popup.PointerMoved(QPoint(40, 50));
    QVERIFY(popup.isPending());
    QVERIFY(!popup.isVisible());
    popup.ShowNow(); // the delay ended
    QCOMPARE(asked, QPoint(40, 50));
    QVERIFY(!popup.isVisible()); // off the rows: nothing to show

    content = QStringLiteral(" <h1>Door forced</h1><br><h2> </h2><br> Gate");
    popup.PointerMoved(QPoint(60, 70));
    QTRY_VERIFY(popup.isVisible()); // after the 100 ms rest
    QVERIFY(popup.document().toPlainText().contains(QStringLiteral("Door forced")));
    popup.PointerMoved(QPoint(61, 70)); // every movement hides it and starts again
    QVERIFY(!popup.isVisible());
}

QTEST_MAIN(tst_EventPopup)
#include "tst_EventPopup.moc"
