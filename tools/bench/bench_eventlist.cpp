// The event list: a stream of new events added to the list's model (which keeps the newest
// kMaxRows), on its own and with the event list shown and repainted after every event.

#include "BenchTiming.h"
#include "events/EventListModel.h"
#include "i18n/StringTable.h"
#include "platform/ProgramPaths.h"
#include "ui/eventlist/CEventListCtrl.h"

#include <QApplication>

#include <cstdio>
#include <memory>

namespace {

constexpr int kEvents = 10000;
constexpr int kRuns = 5;

// Event n of the stream: newest so far, from one of three hosts, one second after the last.
std::unique_ptr<EVENT> MakeEvent(int n)
{
    auto e = std::make_unique<EVENT>();
    e->hostId = n % 3;
    e->logType = 2;
    e->logId = n;
    e->messageId = 1030;
    e->controllerId = 1 + n % 50;
    e->doorId = n % 4;
    e->utcTime = COleDateTime(46000.0 + n / 86400.0);
    e->localTime = COleDateTime(46000.125 + n / 86400.0);
    return e;
}

} // namespace

int main(int argc, char** argv)
{
    Bench::UseOffscreenByDefault();
    QApplication app(argc, argv);
    CStringTable::Install(std::make_unique<CStringTable>(
        ProgramPaths::resourceFile(QStringLiteral("KRNotify.StringTable")), 0x0409));

    int next = 0;
    Bench::PrintUs("eventlist",
                   QStringLiteral("AddEvent, %1 events into %2 rows")
                       .arg(kEvents)
                       .arg(CEventListModel::kMaxRows),
                   Bench::PerItem(Bench::Measure(kRuns,
                                                 [&] {
                                                     CEventListModel model;
                                                     for (int i = 0; i < kEvents; ++i)
                                                         model.AddEvent(MakeEvent(next++));
                                                 }),
                                  kEvents));

    // Events a little out of order (hosts report late): each lands inside the list.
    Bench::PrintUs("eventlist", QStringLiteral("AddEvent, arriving out of order"),
                   Bench::PerItem(Bench::Measure(kRuns,
                                                 [&] {
                                                     CEventListModel model;
                                                     for (int i = 0; i < kEvents; ++i)
                                                         model.AddEvent(
                                                             MakeEvent(next++ - (i * 7919) % 250));
                                                 }),
                                  kEvents));

    CEventListModel model;
    CEventListCtrl list(nullptr, model, nullptr);
    list.resize(420, 600);
    list.show();
    for (int i = 0; i < CEventListModel::kMaxRows; ++i)
        model.AddEvent(MakeEvent(next++));
    QApplication::processEvents();
    Bench::PaintCounter counter;
    list.viewport()->installEventFilter(&counter);
    Bench::PrintUs("eventlist", QStringLiteral("AddEvent + list repaint, %1 events").arg(kEvents),
                   Bench::PerItem(Bench::Measure(kRuns,
                                                 [&] {
                                                     for (int i = 0; i < kEvents; ++i) {
                                                         model.AddEvent(MakeEvent(next++));
                                                         QApplication::processEvents();
                                                     }
                                                 }),
                                  kEvents));
    std::printf("eventlist: %.0f list paints per %d events\n", counter.paints / double(kRuns + 1),
                kEvents);

    // What one frame of a busy list costs: every shown tile painted again.
    constexpr int kRepaints = 200;
    Bench::PrintUs("eventlist",
                   QStringLiteral("repaint of the shown tiles (%1 tiles)")
                       .arg(list.viewport()->height() / qMax(1, list.sizeHintForRow(0))),
                   Bench::PerItem(Bench::Measure(kRuns,
                                                 [&] {
                                                     for (int i = 0; i < kRepaints; ++i)
                                                         list.viewport()->repaint();
                                                 }),
                                  kRepaints));
    return 0;
}
