#pragma once

#include <QObject>

class ClientControl;
class CTnClientCallback;

// Hosts the one client control: initialises it with the context number and forwards its events
// to the callback with that number first. Initialised by Create(), released on destruction.
class CTnClientDlg : public QObject
{
    Q_OBJECT

public:
    static constexpr short kContext = 200;

    CTnClientDlg(ClientControl& control, CTnClientCallback& callback);
    ~CTnClientDlg() override;

    // Initialize(kContext); false means the main dialog cannot be created.
    bool Create();

private:
    ClientControl& m_control;
    CTnClientCallback& m_callback;
    bool m_created = false; // Initialize was called: release the control on destruction
};
