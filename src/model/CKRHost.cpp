#include "model/CKRHost.h"

CKRHost::CKRHost(qint32 id) : guidText(NewGuidText()), hostId(id) {}

QString CKRHost::FormatGuid(const QUuid& uuid)
{
    return QString::asprintf("%08X-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X", uint(uuid.data1),
                             uint(uuid.data2), uint(uuid.data3), uint(uuid.data4[0]),
                             uint(uuid.data4[1]), uint(uuid.data4[2]), uint(uuid.data4[3]),
                             uint(uuid.data4[4]), uint(uuid.data4[5]), uint(uuid.data4[6]),
                             uint(uuid.data4[7]));
}

QString CKRHost::NewGuidText()
{
    return FormatGuid(QUuid::createUuid());
}

void CKRHost::ClearRights()
{
    readRights.fill(0);
    writeRights.fill(0);
    executeRights.fill(0);
}

void CKRHost::ResetLoginState()
{
    connected = 0;
    loggedIn = false;
    connectionId = 0;
    privilegeMask = 0;
    ClearRights();
    key = 0;
}
