#include "SiteMessages.h"

namespace Sim {
namespace {

using TnWire::Field;

constexpr double kOleEpochToUnixDays = 25569.0; // 1899-12-30 to 1970-01-01
constexpr double kMsPerDay = 86400000.0;

Field i(qint32 v)
{
    return Field::ofInt(v);
}
Field s(const QString& v)
{
    return Field::ofText(v);
}

} // namespace

double oleDateUtc(const QDateTime& t)
{
    return kOleEpochToUnixDays + double(t.toMSecsSinceEpoch()) / kMsPerDay;
}

double oleDateLocal(const QDateTime& t)
{
    return kOleEpochToUnixDays +
           double(t.toMSecsSinceEpoch() + qint64(t.offsetFromUtc()) * 1000) / kMsPerDay;
}

Message hostParam(const Host& host)
{
    return {QStringLiteral("HOST_PARAM"), {{"H_NAME", s(host.name)}}};
}

Message allDeviceGroups(const Host& host)
{
    Message m{QStringLiteral("ALL_DEVICE_GROUPS_PARAM"), {{"DG_COUNT", i(host.groups.size())}}};
    int n = 0;
    for (const auto& [id, name] : host.groups) {
        m.fields.insert(QStringLiteral("DG_ID_%1").arg(n), i(id));
        m.fields.insert(QStringLiteral("DG_NAME_%1").arg(n), s(name));
        ++n;
    }
    return m;
}

Message ctrlParam(const Controller& c)
{
    QString doorList;
    for (const auto& [id, door] : c.doors)
        doorList += QString::number(id) + QLatin1Char(',');
    return {QStringLiteral("CTRL_PARAM"),
            {{"DEVICE_GROUP_ID", i(c.group)},
             {"C_ID", i(c.id)},
             {"C_TYPE", i(c.type)},
             {"C_NAME", s(c.name)},
             {"C_ADDR", s(c.address)},
             {"C_CRTL_ID", s(c.loginId)},
             {"C_CTRL_PASSWD", s(c.loginPassword)},
             {"C_DOOR_ID_LIST", s(doorList)}}};
}

Message ctrlIoNames(const Controller& c)
{
    Message m{QStringLiteral("CTRL_IO_NAMES"), {{"C_ID", i(c.id)}}};
    for (int n = 0; n < c.inputNames.size(); ++n)
        m.fields.insert(QStringLiteral("I_ID_%1").arg(n), s(c.inputNames[n]));
    for (int n = 0; n < c.outputNames.size(); ++n)
        m.fields.insert(QStringLiteral("O_ID_%1").arg(n), s(c.outputNames[n]));
    return m;
}

Message inputParam(const Controller& c, const Input& in)
{
    Message m{QStringLiteral("CTRL_INPUT_PARAM"),
              {{"C_ID", i(c.id)}, {"I_ID", i(in.id)}, {"I_ENABLE", i(in.enabled ? 1 : 0)}}};
    if (in.enabled) {
        m.fields.insert("I_VIDEO_1_DVR_ID", i(in.video1.dvr));
        m.fields.insert("I_VIDEO_1_CAM_ID", i(in.video1.camera));
        m.fields.insert("I_VIDEO_1_DELAY_SNAPSHOT", i(in.video1.delay));
        m.fields.insert("I_VIDEO_2_DVR_ID", i(in.video2.dvr));
        m.fields.insert("I_VIDEO_2_CAM_ID", i(in.video2.camera));
        m.fields.insert("I_VIDEO_2_DELAY_SNAPSHOT", i(in.video2.delay));
    }
    return m;
}

Message doorParam(const Controller& c, const Door& d)
{
    Message m{QStringLiteral("DOOR_PARAM"),
              {{"C_ID", i(c.id)},
               {"D_ID", i(d.id)},
               {"D_NAME", s(d.name)},
               {"VER", i(d.format)},
               {"D_WORKMODE", i(d.workMode)}}};
    if (d.format == 2) {
        m.fields.insert("D_VIDEO_1_DVR_ID", i(d.video1.dvr));
        m.fields.insert("D_VIDEO_1_CAM_ID", i(d.video1.camera));
        m.fields.insert("D_VIDEO_2_DVR_ID", i(d.video2.dvr));
        m.fields.insert("D_VIDEO_2_CAM_ID", i(d.video2.camera));
    } else {
        m.fields.insert("D_VIDEO_DVR_NAME", s(d.dvrName));
        m.fields.insert("D_VIDEO_CAM", i(d.dvrCamera));
    }
    return m;
}

Message ctrlStatus(const Controller& c)
{
    return {QStringLiteral("CTRL_STATUS"), {{"C_ID", i(c.id)}, {"C_STATUS", i(c.status)}}};
}

Message doorStatus(qint32 controller, qint32 door, qint32 status)
{
    return {QStringLiteral("DOOR_STATUS"),
            {{"C_ID", i(controller)}, {"D_ID", i(door)}, {"D_STATUS", i(status)}}};
}

Message doorWorkMode(qint32 controller, qint32 door, qint32 workMode)
{
    return {QStringLiteral("DOOR_WORKMODE"),
            {{"C_ID", i(controller)}, {"D_ID", i(door)}, {"D_WORKMODE", i(workMode)}}};
}

Message inputStatus(qint32 controller, qint32 input, qint32 active)
{
    return {QStringLiteral("CTRL_INPUT_STATUS"),
            {{"C_ID", i(controller)}, {"I_ID", i(input)}, {"I_ACTIVE", i(active)}}};
}

Message dvrParam(const Dvr& d)
{
    Message m{QStringLiteral("DVR_PARAM"),
              {{"DEVICE_GROUP_ID", i(d.group)},
               {"DVR_ID", i(d.id)},
               {"DVR_NAME", s(d.name)},
               {"DVR_TYPE", i(d.type)},
               {"DVR_BRAND", i(d.brand)},
               {"DVR_USERNAME", s(d.user)},
               {"DVR_PASSWORD", s(d.password)},
               {"DVR_ADDRESS", s(d.address)},
               {"DVR_PORT", i(d.port)},
               {"DVR_VIEWLOG_PORT", i(d.viewLogPort)},
               {"DVR_CMD_PORT", i(d.cmdPort)},
               {"DVR_CAMERA_COUNT", i(d.cameras.size())}}};
    for (int n = 0; n < d.cameras.size(); ++n)
        m.fields.insert(QStringLiteral("CAMERA_NAME_%1").arg(n), s(d.cameras[n]));
    return m;
}

Message dvrRemove(qint32 id)
{
    return {QStringLiteral("DVR_REMOVE"), {{"VER", i(2)}, {"DVR_ID", i(id)}}};
}

ConfigurationStream::ConfigurationStream(const Host& host) : m_site(host)
{
    m_nextController = m_site.controllers.cbegin();
    m_ready.push_back(hostParam(m_site));
    m_ready.push_back(allDeviceGroups(m_site));
    if (m_site.dvrsFirst) {
        for (const auto& [id, dvr] : m_site.dvrs)
            m_ready.push_back(dvrParam(dvr));
        m_dvrsSent = true;
    }
}

Message ConfigurationStream::next()
{
    Message m = std::move(m_ready.front());
    m_ready.pop_front();
    if (m_ready.empty())
        refill();
    return m;
}

void ConfigurationStream::refill()
{
    if (m_nextController != m_site.controllers.cend()) {
        const Controller& c = m_nextController->second;
        ++m_nextController;
        m_ready.push_back(ctrlParam(c));
        m_ready.push_back(ctrlIoNames(c));
        for (const auto& [iid, in] : c.inputs)
            m_ready.push_back(inputParam(c, in));
        for (const auto& [did, d] : c.doors)
            m_ready.push_back(doorParam(c, d));
        m_ready.push_back(ctrlStatus(c));
        for (const auto& [did, d] : c.doors)
            m_ready.push_back(doorStatus(c.id, d.id, d.status));
        for (const auto& [iid, in] : c.inputs)
            m_ready.push_back(inputStatus(c.id, in.id, in.active));
        return;
    }
    if (!m_dvrsSent) {
        for (const auto& [id, dvr] : m_site.dvrs)
            m_ready.push_back(dvrParam(dvr));
        m_dvrsSent = true;
    }
}

} // namespace Sim
