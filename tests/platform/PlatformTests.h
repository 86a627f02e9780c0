#pragma once

#include <QObject>

class TestProfileFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readString_data();
    void readString();
    void encodings_data();
    void encodings();
    void readInt_data();
    void readInt();
    void writeString_data();
    void writeString();
    void writeKeepsEncoding_data();
    void writeKeepsEncoding();
    void writeRoundTripsAwkwardValues_data();
    void writeRoundTripsAwkwardValues();
    void writeRefusesWithoutDamage();
    void writeSeveralKeysAtOnce();
    void malformedFilesReadSafely_data();
    void malformedFilesReadSafely();
    void editedFileSeenAtNextLookup();
    void concurrentReadersAndWriter();
};

class TestProgramPaths : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void resourceFileSearchOrder();
    void writableDataDirFallsBackToConfig();
    void snapshotRootRefusesPlantedFolders();
    void removeSnapshotRootKeepsLinkTargets();
    void manualTickWrapsLikeGetTickCount();
};

class TestUnsyncedSaveFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void replacesWholeOrNotAtAll();
};
