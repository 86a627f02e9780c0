#include "connection/TnClientDlg.h"

#include "connection/TnClientCallback.h"
#include "tnclient/ClientControl.h"

CTnClientDlg::CTnClientDlg(ClientControl& control, CTnClientCallback& callback)
    : m_control(control), m_callback(callback)
{
    connect(&m_control, &ClientControl::OnReceive, this, [this](const QString& command, long id) {
        m_callback.OnReceive(kContext, command, id);
    });
    connect(&m_control, &ClientControl::OnReceive2, this, [this](const QString& command, long id) {
        m_callback.OnReceive2(kContext, command, id);
    });
    connect(&m_control, &ClientControl::OnConnected, this,
            [this](long id) { m_callback.OnConnected(kContext, id); });
    connect(&m_control, &ClientControl::OnConnectFailed, this,
            [this](long id) { m_callback.OnConnectFailed(kContext, id); });
    connect(&m_control, &ClientControl::OnClose, this,
            [this](long id) { m_callback.OnClose(kContext, id); });
}

CTnClientDlg::~CTnClientDlg()
{
    if (m_created)
        m_control.Uninitialize();
}

bool CTnClientDlg::Create()
{
    m_created = true;
    return m_control.Initialize(kContext);
}
