#pragma once

#include "../connection/FakeClientControl.h"
#include "connection/ConnectionManager.h"
#include "platform/TickSource.h"
#include "ui/mainwindow/CTNClientTestDlg.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// Keeps the snapshot folder of every dialog in a temporary folder of its own: the dialog
// deletes that folder when it goes, and must never touch the user's.
inline void UsePrivateSnapshotFolder(const QTemporaryDir& dir)
{
    qputenv("KRNOTIFY_SNAPSHOT_DIR", dir.filePath(QStringLiteral("KRNotifyPic")).toLocal8Bit());
}

// The real main dialog over a fake client control and a manual clock; the host list lives in
// a temporary folder. The dialog is created (Create()) but not shown.
struct DialogFixture
{
    QTemporaryDir dir;
    FakeClientControl* control = nullptr; // owned by the dialog
    ManualTickSource* ticks = nullptr;    // owned by the dialog
    std::unique_ptr<CTNClientTestDlg> dialog;

    explicit DialogFixture(bool create = true)
    {
        auto fake = std::make_unique<FakeClientControl>();
        auto clock = std::make_unique<ManualTickSource>(1000);
        control = fake.get();
        ticks = clock.get();
        dialog = std::make_unique<CTNClientTestDlg>(std::move(fake), std::move(clock));
        dialog->manager().setHostListPath(hostListPath());
        if (create)
            QVERIFY(dialog->Create());
    }

    QString hostListPath() const { return dir.filePath(QStringLiteral("KRNotifyHosts")); }
    CConnectionManager& manager() { return dialog->manager(); }
};
