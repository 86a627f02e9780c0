#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <map>
#include <optional>

// A simulated host as a scenario file describes it (docs/scenario.md).
namespace Sim {

struct User
{
    QString name;
    QString password;
    qint32 privilege = 0;
    qint32 gp = 0;
    QString read, write, execute; // 1000 characters of '0'/'1' once loaded
};

struct Camera
{
    qint32 dvr = -1;
    qint32 camera = -1;
    qint32 delay = 0;
};

struct Door
{
    qint32 id = 0;
    QString name;
    qint32 status = 0;
    qint32 workMode = 3;
    qint32 format = 2;     // 2: DVR ids; anything else: DVR name + camera
    Camera video1, video2; // format 2
    QString dvrName;       // older format
    qint32 dvrCamera = 0;  // older format
};

struct Input
{
    qint32 id = 0;
    bool enabled = true;
    qint32 active = 0;
    Camera video1, video2;
};

struct Controller
{
    qint32 id = 0;
    qint32 group = 0;
    qint32 type = 1;
    QString name, address, loginId, loginPassword;
    qint32 status = 6;
    QStringList inputNames;  // up to 48
    QStringList outputNames; // up to 32
    std::map<qint32, Input> inputs;
    std::map<qint32, Door> doors;
};

struct Dvr
{
    qint32 id = 0;
    qint32 group = 0;
    QString name;
    qint32 type = 1;
    qint32 brand = 0;
    QString user, password, address;
    qint32 port = 0, viewLogPort = 0, cmdPort = 0;
    QStringList cameras;
};

struct Step
{
    double at = 0.0;    // seconds after the first successful login
    double every = 0.0; // > 0: repeat
    int count = 0;      // repeats at most this often (0: no limit)
    QString action;
    QJsonObject params;
    QList<QJsonObject> variants; // cycled through, one per run, over params
};

struct Host
{
    QString name = QStringLiteral("Simulated Host");
    int port = -1; // -1: not given
    QString guid = QStringLiteral("{6d1c2b8e-0000-4000-8000-00000000a001}");
    qint32 version = 0x4030000;
    qint32 key = 0x1234;
    bool dvrsFirst = false;
    qint32 firstLogId = 1;
    QList<User> users;
    std::map<qint32, QString> groups;
    std::map<qint32, Controller> controllers;
    std::map<qint32, Dvr> dvrs;
    QList<Step> timeline;
    QString baseDir; // for relative picture paths
};

// Reads a scenario: {"hosts":[...]} or one host object. nullopt with *error on any fault.
std::optional<QList<Host>> loadScenario(const QString& path, QString* error);
std::optional<QList<Host>> parseScenario(const QByteArray& json, const QString& baseDir,
                                         QString* error);
// A host with one user "operator"/"demo", one group, controller and door, for a bare start.
Host defaultHost();

// An integer written as a number or as a text ("4096", "0x1000"); wider values keep their low
// 32 bits (masks). fallback for anything else, numbers beyond 64 bits included.
qint32 toInt(const QJsonValue& v, qint32 fallback);

// A DVR object (scenario "dvrs", timeline "dvr_add"); missing members take their defaults.
Dvr parseDvr(const QJsonObject& o);
// "all", "none", a list of group ids, or a literal '0'/'1' text.
std::optional<QString> parseRights(const QJsonValue& v);

} // namespace Sim
